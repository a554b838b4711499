// The dark/reference snapshot of the configuration that is not current
// ("DarkRef.mem") and the colour tile (".ctf"). A file that is missing or
// has the wrong length is reported and changes nothing.
#include "datacontrol/dark_ref_files.h"

#include "datacontrol/data_control.h"
#include "datacontrol/messages.h"
#include "platform/files.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <new>

namespace quillon {

namespace fs = std::filesystem;

void appendFloats(std::string &bytes, std::span<const float> values) {
    for (const float value : values) {
        const auto word = std::bit_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<char>((word >> shift) & 0xFFu));
        }
    }
}

std::optional<std::vector<float>> decodeFloats(std::string_view bytes, std::size_t count) {
    if (bytes.size() != count * 4) {
        return std::nullopt;
    }
    std::vector<float> values(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t word = 0;
        for (int b = 3; b >= 0; --b) {
            word = (word << 8) |
                   static_cast<unsigned char>(bytes[i * 4 + static_cast<std::size_t>(b)]);
        }
        values[i] = std::bit_cast<float>(word);
    }
    return values;
}

bool writeFloatFile(const fs::path &target, std::initializer_list<std::span<const float>> arrays) {
    std::string bytes;
    for (const auto &values : arrays) {
        appendFloats(bytes, values);
    }
    return platform::replaceBinaryFile(target, bytes);
}

std::optional<std::vector<float>> readFloatFile(const fs::path &file, std::size_t count) {
    const auto bytes = platform::readWholeFile(file);
    if (!bytes) {
        return std::nullopt;
    }
    return decodeFloats(*bytes, count);
}

int DataControl::SaveDarkRef() {
    if (flags.option.test(option_bits::kMemoryMode)) {
        return 1;
    }
    saveCurrentConfiguration();
    if (!writeFloatFile(programFolder / kDarkRefSnapshot, {buffers.dark, buffers.reference})) {
        prompter.message(messages::kSaveDarkRef);
        return -1;
    }
    return 1;
}

// The snapshot is read and checked before anything changes, so a missing
// or damaged file leaves the current configuration as it was.
int DataControl::SwapConfiguration() {
    const std::size_t otherPixels = saved.geometry.activePixels;
    const auto other = readFloatFile(programFolder / kDarkRefSnapshot, 2 * otherPixels);
    if (!other) {
        prompter.message(messages::kSwapDarkRef);
        return -1;
    }
    const fs::path temporary = programFolder / kDarkRefTemporary;
    if (!writeFloatFile(temporary, {buffers.dark, buffers.reference})) {
        prompter.message(messages::kSwapDarkRef);
        return -1;
    }
    std::swap(saved.geometry, geometry);
    std::swap(saved.acquisition, acquisition);
    std::swap(saved.display, display);
    std::swap(saved.model, model);
    std::swap(saved.limits, limits);
    const std::uint16_t otherStatus = saved.statusWord;
    saved.statusWord = flags.status.load();
    flags.status.assignMasked(static_cast<std::uint16_t>(~status_bits::kThreadControl),
                              otherStatus);
    if (buffers.dark.size() != otherPixels && AllocatePixelBuffers() != 1) {
        return -1;
    }
    std::copy_n(other->begin(), otherPixels, buffers.dark.begin());
    std::copy_n(other->begin() + static_cast<std::ptrdiff_t>(otherPixels), otherPixels,
                buffers.reference.begin());
    std::error_code error;
    fs::rename(temporary, programFolder / kDarkRefSnapshot, error);
    if (error) {
        platform::removeFileQuietly(temporary);
        prompter.message(messages::kSwapDarkRef);
        return -1;
    }
    return ReapplyIntegrationTime();
}

int DataControl::SaveColorTile(const fs::path &path) {
    const std::size_t active = geometry.activePixels;
    std::vector<float> ratios(active, 0.0f);
    for (std::size_t p = 0; p < active; ++p) {
        const double sample = static_cast<double>(buffers.spectrum[p]) - buffers.dark[p];
        // No signal from the tile gives no ratio rather than an infinite one.
        ratios[p] =
            sample != 0.0
                ? static_cast<float>((static_cast<double>(buffers.reference[p]) - buffers.dark[p]) /
                                     sample)
                : 0.0f;
    }
    if (!writeFloatFile(path, {ratios})) {
        prompter.message(messages::kColorTileFile);
        return -1;
    }
    return 1;
}

int DataControl::LoadColorTile(const fs::path &path) {
    const std::size_t active = geometry.activePixels;
    const auto ratios = readFloatFile(path, active);
    if (!ratios) {
        prompter.message(messages::kColorTileFile);
        return -1;
    }
    for (std::size_t p = 0; p < active; ++p) {
        const float ratio = std::isfinite((*ratios)[p]) ? (*ratios)[p] : 0.0f;
        buffers.reference[p] = buffers.dark[p] + (buffers.spectrum[p] - buffers.dark[p]) * ratio;
    }
    RefreshReferenceMinusDark();
    return 1;
}

} // namespace quillon

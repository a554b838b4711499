// The dark/reference snapshot and the colour tile files of DataControl. A
// file that is missing or has the wrong length is reported and changes
// nothing.
#include "datacontrol/dark_ref_snapshot.h"

#include "datacontrol/dark_ref_files.h"
#include "datacontrol/messages.h"
#include "datacontrol/scan_pipeline.h"
#include "platform/files.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace fs = std::filesystem;

OpResult DarkRefSnapshot::SaveDarkRef() {
    if (s.flags.option.test(option_bits::kMemoryMode)) {
        return OpResult::Done;
    }
    s.saveCurrentConfiguration();
    if (!writeFloatFile(s.programFolder / kDarkRefSnapshot,
                        {s.buffers.dark, s.buffers.reference})) {
        prompter.message(messages::kSaveDarkRef);
        return OpResult::Failed;
    }
    return OpResult::Done;
}

// The snapshot is read and checked before anything changes, so a missing
// or damaged file leaves the current configuration as it was.
OpResult DarkRefSnapshot::SwapConfiguration() {
    const std::size_t otherPixels = s.saved.geometry.activePixels;
    const auto other = readFloatFile(s.programFolder / kDarkRefSnapshot, 2 * otherPixels);
    if (!other) {
        prompter.message(messages::kSwapDarkRef);
        return OpResult::Failed;
    }
    const fs::path temporary = s.programFolder / kDarkRefTemporary;
    if (!writeFloatFile(temporary, {s.buffers.dark, s.buffers.reference})) {
        prompter.message(messages::kSwapDarkRef);
        return OpResult::Failed;
    }
    std::swap(s.saved.geometry, s.geometry);
    std::swap(s.saved.acquisition, s.acquisition);
    std::swap(s.saved.display, s.display);
    std::swap(s.saved.model, s.model);
    std::swap(s.saved.limits, s.limits);
    const std::uint16_t otherStatus = s.saved.statusWord;
    s.saved.statusWord = s.flags.status.load();
    s.flags.status.assignMasked(static_cast<std::uint16_t>(~status_bits::kThreadControl),
                                otherStatus);
    if (s.buffers.dark.size() != otherPixels && pipeline.AllocatePixelBuffers() != OpResult::Done) {
        return OpResult::Failed;
    }
    std::copy_n(other->begin(), otherPixels, s.buffers.dark.begin());
    std::copy_n(other->begin() + static_cast<std::ptrdiff_t>(otherPixels), otherPixels,
                s.buffers.reference.begin());
    std::error_code error;
    fs::rename(temporary, s.programFolder / kDarkRefSnapshot, error);
    if (error) {
        platform::removeFileQuietly(temporary);
        prompter.message(messages::kSwapDarkRef);
        return OpResult::Failed;
    }
    return OpResult::Done;
}

OpResult DarkRefSnapshot::SaveColorTile(const fs::path &path) {
    const std::size_t active = s.geometry.activePixels;
    std::vector<float> ratios(active, 0.0f);
    for (std::size_t p = 0; p < active; ++p) {
        const double sample = static_cast<double>(s.buffers.spectrum[p]) - s.buffers.dark[p];
        // No signal from the tile gives no ratio rather than an infinite one.
        ratios[p] =
            sample != 0.0
                ? static_cast<float>(
                      (static_cast<double>(s.buffers.reference[p]) - s.buffers.dark[p]) / sample)
                : 0.0f;
    }
    if (!writeFloatFile(path, {ratios})) {
        prompter.message(messages::kColorTileFile);
        return OpResult::Failed;
    }
    return OpResult::Done;
}

OpResult DarkRefSnapshot::LoadColorTile(const fs::path &path) {
    const std::size_t active = s.geometry.activePixels;
    const auto ratios = readFloatFile(path, active);
    if (!ratios) {
        prompter.message(messages::kColorTileFile);
        return OpResult::Failed;
    }
    for (std::size_t p = 0; p < active; ++p) {
        const float ratio = std::isfinite((*ratios)[p]) ? (*ratios)[p] : 0.0f;
        s.buffers.reference[p] =
            s.buffers.dark[p] + (s.buffers.spectrum[p] - s.buffers.dark[p]) * ratio;
    }
    return OpResult::Done;
}

} // namespace quillon

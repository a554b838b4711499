#include "datafiles/scan_data_file.h"

#include "datacontrol/display_flags.h"
#include "datafiles/byte_codec.h"
#include "datafiles/record_codec.h"
#include "platform/files.h"
#include "platform/mapped_file.h"

#include <algorithm>
#include <cmath>

namespace quillon {

using namespace datafiles;

namespace {

constexpr std::size_t kFixedHeaderBytes = kModelRecordBytes + kGeometryRecordBytes +
                                          kAcquisitionRecordBytes + kDisplayRecordBytes +
                                          kLimitsRecordBytes + 4;

std::size_t currentHeaderBytes(std::size_t pixels) {
    return kFixedHeaderBytes + 8 * pixels + 8;
}

// Writes in pieces of about this size, so that a file of any length needs
// no more memory than one piece.
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

std::uint16_t withoutExternalTrigger(std::uint16_t option) {
    return static_cast<std::uint16_t>(option & ~option_bits::kExternalTrigger);
}

std::vector<float> padded(const std::vector<float> &values, std::size_t n) {
    std::vector<float> out(
        values.begin(), values.begin() + static_cast<std::ptrdiff_t>(std::min(values.size(), n)));
    out.resize(n, 0.0f);
    return out;
}

// A float that is not a number becomes 0, so that a damaged file cannot
// put NaN into the display ranges or the spectra.
float finiteOrZero(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

std::optional<ScanDataFile> readCurrentForm(platform::MappedFile mapped, std::string &error) {
    ScanDataFile result;
    ScanDataContext &c = result.context;
    ByteReader in(mapped.bytes());
    c.model = readModel(in);
    c.geometry = readGeometry(in);
    c.acquisition = readAcquisition(in);
    c.display = readDisplay(in);
    c.limits = readLimits(in);
    c.statusWord = in.u16();
    c.optionWord = in.u16();
    if (!in.ok()) {
        error = "the file ends inside its header";
        return std::nullopt;
    }
    if (std::string problem = problemOfGeometry(c.geometry); !problem.empty()) {
        error = "the file's sensor record is damaged: " + problem;
        return std::nullopt;
    }
    const std::size_t n = c.geometry.activePixels;
    if (mapped.size() < currentHeaderBytes(n)) {
        error = "the file ends before its dark and reference spectra";
        return std::nullopt;
    }
    c.dark.resize(n);
    in.floats(c.dark);
    c.darkOb = in.f32();
    c.reference.resize(n);
    in.floats(c.reference);
    c.referenceOb = in.f32();
    const std::size_t itemsStart = in.position();
    const std::size_t record = memoryItemBytes(n);
    const std::size_t count = in.remaining() / record;
    result.droppedBytes = in.remaining() % record;
    result.items = MemoryList::overMapping(std::move(mapped), itemsStart, count, n);
    return result;
}

// The early form: doubles where the current form has floats, no scan
// values, and a binning value one higher.
std::optional<ScanDataFile> readEarlyForm(std::span<const std::byte> bytes, std::string &error) {
    ScanDataFile result;
    result.earlyForm = true;
    ScanDataContext &c = result.context;
    ByteReader in(bytes);
    {
        // 72 bytes and a double, of which the first 76 bytes are the model record.
        ByteReader model(bytes.first(std::min<std::size_t>(bytes.size(), kModelRecordBytes)));
        c.model = readModel(model);
        in.skip(72 + 8);
    }
    {
        const std::size_t start = in.position();
        c.geometry = readGeometry(in); // the integer fields; the polynomials follow as doubles
        in.seek(start + 28);
        for (float &v : c.geometry.wavelengthOfPixel) {
            v = static_cast<float>(in.f64());
        }
        for (float &v : c.geometry.pixelOfWavelength) {
            v = static_cast<float>(in.f64());
        }
        c.geometry.spare = static_cast<float>(in.f64());
    }
    c.acquisition = readAcquisition(in);
    if (c.acquisition.binningAverage > 0) {
        --c.acquisition.binningAverage;
    }
    c.display.pixelStart = in.i32();
    c.display.pixelEnd = in.i32();
    c.display.countMin = in.i32();
    c.display.countMax = in.i32();
    for (float *v :
         {&c.display.wavelengthStart, &c.display.wavelengthEnd, &c.display.wavelengthStep,
          &c.display.trMin, &c.display.trMax, &c.display.absMin, &c.display.absMax,
          &c.display.irrMin, &c.display.irrMax, &c.display.spare}) {
        *v = static_cast<float>(in.f64());
    }
    c.limits = readLimits(in);
    c.statusWord = in.u16();
    c.optionWord = in.u16();
    if (!in.ok()) {
        error = "the file is not a scan data file: it is shorter than any header";
        return std::nullopt;
    }
    if (std::string problem = problemOfGeometry(c.geometry); !problem.empty()) {
        error = "the file is not a scan data file: " + problem;
        return std::nullopt;
    }
    const std::size_t n = c.geometry.activePixels;
    if (in.remaining() < 16 * n) {
        error = "the file ends before its dark and reference spectra";
        return std::nullopt;
    }
    c.dark.resize(n);
    c.reference.resize(n);
    for (float &v : c.dark) {
        v = static_cast<float>(in.f64());
    }
    for (float &v : c.reference) {
        v = static_cast<float>(in.f64());
    }
    const std::size_t record = memoryItemBytes(n, false);
    std::vector<std::int32_t> counts(n);
    while (in.remaining() >= record) {
        MemoryItemTexts texts;
        texts.projectName = in.text(kItemTextBytes);
        texts.sampleName = in.text(kItemTextBytes);
        texts.captureTime = in.text(kItemTextBytes);
        for (auto &v : counts) {
            v = in.i32();
        }
        result.items.append(texts, counts, 0);
    }
    result.droppedBytes = in.remaining();
    result.items.markSaved();
    return result;
}

void sanitise(ScanDataContext &c) {
    for (float *v : {&c.display.wavelengthStart, &c.display.wavelengthEnd,
                     &c.display.wavelengthStep, &c.display.trMin, &c.display.trMax,
                     &c.display.absMin, &c.display.absMax, &c.display.irrMin, &c.display.irrMax,
                     &c.display.spare, &c.darkOb, &c.referenceOb, &c.model.scanValue}) {
        *v = finiteOrZero(*v);
    }
    for (auto *values : {&c.dark, &c.reference}) {
        std::transform(values->begin(), values->end(), values->begin(), finiteOrZero);
    }
    for (auto *poly : {&c.geometry.wavelengthOfPixel, &c.geometry.pixelOfWavelength}) {
        std::transform(poly->begin(), poly->end(), poly->begin(), finiteOrZero);
    }
    c.optionWord = withoutExternalTrigger(c.optionWord);
}

} // namespace

std::string encodeScanDataHeader(const ScanDataContext &c) {
    const std::size_t n = c.geometry.activePixels;
    std::string bytes;
    bytes.reserve(currentHeaderBytes(n));
    ByteWriter out(bytes);
    ModelRecord model = c.model;
    model.name = std::string(modelNameOfBoard(c.geometry.boardType));
    writeModel(out, model);
    writeGeometry(out, c.geometry);
    writeAcquisition(out, c.acquisition);
    writeDisplay(out, c.display);
    writeLimits(out, c.limits);
    out.u16(c.statusWord);
    out.u16(withoutExternalTrigger(c.optionWord));
    out.floats(padded(c.dark, n));
    out.f32(c.darkOb);
    out.floats(padded(c.reference, n));
    out.f32(c.referenceOb);
    return bytes;
}

std::string writeScanDataFile(const std::filesystem::path &target, const ScanDataContext &context,
                              const MemoryList &items) {
    if (items.pixels() != context.geometry.activePixels) {
        return "the stored spectra have " + std::to_string(items.pixels()) + " pixels, the unit " +
               std::to_string(context.geometry.activePixels);
    }
    platform::FileReplacement file(target);
    std::string chunk = encodeScanDataHeader(context);
    for (int i = 1; i <= static_cast<int>(items.size()) && !file.failed(); ++i) {
        const auto record = items.item(i).fileBytes();
        chunk.append(reinterpret_cast<const char *>(record.data()), record.size());
        if (chunk.size() >= kWriteChunk) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    file.commit();
    return file.error();
}

std::optional<ScanDataFile> readScanDataFile(const std::filesystem::path &path,
                                             std::string &error) {
    auto mapped = platform::MappedFile::open(path, error);
    if (!mapped) {
        return std::nullopt;
    }
    ByteReader name(mapped->bytes());
    const bool current = isKnownModelName(name.text(kModelNameBytes));
    std::optional<ScanDataFile> file;
    if (current) {
        file = readCurrentForm(std::move(*mapped), error);
    } else {
        file = readEarlyForm(mapped->bytes(), error);
    }
    if (file) {
        sanitise(file->context);
    }
    return file;
}

} // namespace quillon

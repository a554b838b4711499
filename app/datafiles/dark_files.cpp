#include "datafiles/dark_files.h"

#include "datafiles/byte_codec.h"
#include "datafiles/record_codec.h"

#include <algorithm>
#include <cmath>

namespace quillon {

using namespace datafiles;

namespace {
std::size_t fileBytes(SpectrumFileKind kind, std::size_t pixels) {
    const std::size_t common =
        kModelRecordBytes + kGeometryRecordBytes + kAcquisitionRecordBytes + 4 * pixels;
    return kind == SpectrumFileKind::Dark ? common + kDarkConditionBytes + 4 : common;
}
} // namespace

std::string encodeSpectrumFile(SpectrumFileKind kind, const SpectrumFile &file) {
    std::string bytes;
    ByteWriter out(bytes);
    writeModel(out, file.model);
    writeGeometry(out, file.geometry);
    writeAcquisition(out, file.acquisition);
    std::vector<float> spectrum = file.spectrum;
    spectrum.resize(file.geometry.activePixels, 0.0f);
    out.floats(spectrum);
    if (kind == SpectrumFileKind::Dark) {
        writeDarkCondition(out, file.condition);
        out.f32(file.trailingValue);
    }
    return bytes;
}

std::optional<SpectrumFile> decodeSpectrumFile(SpectrumFileKind kind, std::string_view bytes,
                                               std::string &error) {
    ByteReader in(bytes);
    SpectrumFile file;
    file.model = readModel(in);
    file.geometry = readGeometry(in);
    file.acquisition = readAcquisition(in);
    if (!in.ok()) {
        error = "the file is shorter than its header";
        return std::nullopt;
    }
    if (std::string problem = problemOfGeometry(file.geometry); !problem.empty()) {
        error = "the file's sensor record is damaged: " + problem;
        return std::nullopt;
    }
    const std::size_t expected = fileBytes(kind, file.geometry.activePixels);
    if (bytes.size() != expected) {
        error = "the file has " + std::to_string(bytes.size()) +
                " bytes where its header calls for " + std::to_string(expected);
        return std::nullopt;
    }
    file.spectrum.resize(file.geometry.activePixels);
    in.floats(file.spectrum);
    if (kind == SpectrumFileKind::Dark) {
        file.condition = readDarkCondition(in);
        file.trailingValue = in.f32();
    }
    if (!std::all_of(file.spectrum.begin(), file.spectrum.end(),
                     [](float v) { return std::isfinite(v); })) {
        error = "the file's spectrum holds values that are not numbers";
        return std::nullopt;
    }
    return file;
}

} // namespace quillon

// The dark (".dak") and reference (".ref") files: model record (its value
// at byte 72 the optical-black level of the spectrum), sensor geometry,
// acquisition record and the spectrum; the dark file adds the dark
// condition and the dark's optical-black level.
#ifndef QUILLON_APP_DATAFILES_DARK_FILES_H
#define QUILLON_APP_DATAFILES_DARK_FILES_H

#include "datacontrol/records.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

inline constexpr const char *kDarkFileExtension = ".dak";
inline constexpr const char *kReferenceFileExtension = ".ref";

enum class SpectrumFileKind { Dark, Reference };

struct SpectrumFile {
    ModelRecord model; // scanValue: the optical-black level of the spectrum
    SensorGeometry geometry;
    AcquisitionRecord acquisition;
    std::vector<float> spectrum; // active pixels
    DarkCondition condition;     // dark files only
    float trailingValue = 0.0f;  // dark files only: the dark's optical-black level again
};

std::string encodeSpectrumFile(SpectrumFileKind kind, const SpectrumFile &file);
// Nothing, with the reason, when the bytes are not a whole file of the kind.
std::optional<SpectrumFile> decodeSpectrumFile(SpectrumFileKind kind, std::string_view bytes,
                                               std::string &error);

} // namespace quillon

#endif

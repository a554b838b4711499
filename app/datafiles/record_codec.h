// The fixed records of the measurement object as the data files carry
// them, each with its size and its field offsets.
#ifndef QUILLON_APP_DATAFILES_RECORD_CODEC_H
#define QUILLON_APP_DATAFILES_RECORD_CODEC_H

#include "datacontrol/records.h"
#include "datafiles/byte_codec.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillon::datafiles {

inline constexpr std::size_t kModelRecordBytes = 76;    // name[64], BoardType @64, value @72
inline constexpr std::size_t kGeometryRecordBytes = 72; // u16 fields, polynomials from @28
inline constexpr std::size_t kAcquisitionRecordBytes = 16;
inline constexpr std::size_t kDisplayRecordBytes = 56;
inline constexpr std::size_t kLimitsRecordBytes = 12;
inline constexpr std::size_t kDarkConditionBytes = 20;
inline constexpr std::size_t kModelNameBytes = 64;

void writeModel(ByteWriter &out, const ModelRecord &model);
void writeGeometry(ByteWriter &out, const SensorGeometry &geometry);
void writeAcquisition(ByteWriter &out, const AcquisitionRecord &acquisition);
void writeDisplay(ByteWriter &out, const DisplayRecord &display);
void writeLimits(ByteWriter &out, const IntegrationLimits &limits);
void writeDarkCondition(ByteWriter &out, const DarkCondition &condition);

ModelRecord readModel(ByteReader &in);
SensorGeometry readGeometry(ByteReader &in);
AcquisitionRecord readAcquisition(ByteReader &in);
DisplayRecord readDisplay(ByteReader &in);
IntegrationLimits readLimits(ByteReader &in);
DarkCondition readDarkCondition(ByteReader &in);

// The model name that files carry for a sensor code.
std::string_view modelNameOfBoard(int boardType);
// Whether a file's first 64 bytes name one of the known models (any case).
bool isKnownModelName(std::string_view name);

// Why a geometry read from a file cannot be used, or empty. Files are read
// only as far as the geometry's pixel counts allow.
std::string problemOfGeometry(const SensorGeometry &geometry);

} // namespace quillon::datafiles

#endif

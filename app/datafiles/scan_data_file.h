// The scan data file: the measurement context of the unit (model, sensor
// geometry, acquisition and display records, integration limits, flag
// words, dark and reference) followed by the memory items, which run to the
// end of the file. The time line writes the same header and appends items.
#ifndef QUILLON_APP_DATAFILES_SCAN_DATA_FILE_H
#define QUILLON_APP_DATAFILES_SCAN_DATA_FILE_H

#include "datacontrol/records.h"
#include "datafiles/memory_list.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

inline constexpr const char *kScanDataExtension = ".sdf";

struct ScanDataContext {
    ModelRecord model;
    SensorGeometry geometry;
    AcquisitionRecord acquisition;
    DisplayRecord display;
    IntegrationLimits limits;
    std::uint16_t statusWord = 0;
    std::uint16_t optionWord = 0;
    std::vector<float> dark;      // active pixels
    float darkOb = 0.0f;          // first value of the scan parameters
    std::vector<float> reference; // active pixels
    float referenceOb = 0.0f;     // second value
};

// The header in its current form: the model name is replaced by the
// sensor's and the external-trigger bit of the option word is cleared.
std::string encodeScanDataHeader(const ScanDataContext &context);

// Header then every item, written beside `target` and renamed over it.
// Empty on success, else the reason.
std::string writeScanDataFile(const std::filesystem::path &target, const ScanDataContext &context,
                              const MemoryList &items);

struct ScanDataFile {
    ScanDataContext context;
    MemoryList items;
    bool earlyForm = false;
    // Bytes after the last whole item: a record cut short (a crash while
    // recording) that was left out.
    std::size_t droppedBytes = 0;
};

// Reads either form; a file that is not a scan data file, or whose header
// is cut short or damaged, gives nothing and the reason in `error`. The
// items of a current-form file stay in the file's mapping.
std::optional<ScanDataFile> readScanDataFile(const std::filesystem::path &file, std::string &error);

} // namespace quillon

#endif

// The texts of the printed data sheet, kept in the "Print Page" section of
// the main settings file: the header (organisation, operator, sample) and
// the factory box (slit, grating, filter, sensor, I/O board and its serial).
// The Customize sheet edits them and printing reads them. A missing or
// empty key reads as its default.
//
// A write loads the whole file, changes these keys and replaces the file
// whole (as the close sequence does, which keeps the section because it
// too starts from the file on disk), so nothing else in the file is lost.
#ifndef QUILLON_APP_DATACONTROL_PRINT_PAGE_H
#define QUILLON_APP_DATACONTROL_PRINT_PAGE_H

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace quillon {

namespace print_page_messages {
inline constexpr const char *kOpenInCustomInit =
    "Failed to open the initial setup file in OnInitDialog() of PageCustom class...";
inline constexpr const char *kOpenInCustomOk =
    "Failed to open the initial setup file in OnOK() of PageCustom class...";
inline constexpr const char *kOpenInUnitInit =
    "Failed to open the initial setup file in On InitDialog() of CPageUnit class...";
inline constexpr const char *kOpenInUnitOk =
    "Failed to open the initial setup file in OnOK() of PageUnit class...";
} // namespace print_page_messages

inline constexpr const char *kPrintPageSection = "Print Page";

struct PrintPageTexts {
    // Header of the sheet.
    std::string organization = "Orvantis";
    std::string operatorName = "Manager";
    std::string sample = "Sample";
    // Factory unit information.
    std::string slit = "Slit";
    std::string grating = "Grating";
    std::string filter = "Filter";
    std::string ccd = "CCD";
    std::string ioBoard = "IOBoard";
    std::string boardSerial = "BoardSerial";
};

// The texts each page of the Customize sheet edits.
enum class PrintPageGroup { Header, UnitInformation };

class PrintPageFile {
public:
    explicit PrintPageFile(std::filesystem::path settingsFile) : path(std::move(settingsFile)) {}

    // The texts of the file, defaults for missing or empty keys (also when
    // the file does not exist yet). Nothing when the file is there but
    // cannot be read; `error` then says why.
    std::optional<PrintPageTexts> Read(std::string &error) const;
    // Stores the texts of `groups` and keeps everything else of the file.
    // False when the file cannot be read or written (`error` says why); it
    // is then left as it was.
    [[nodiscard]] bool Write(const PrintPageTexts &texts, std::span<const PrintPageGroup> groups,
                             std::string &error) const;

    const std::filesystem::path &Path() const { return path; }

private:
    std::filesystem::path path;
};

// A message for the operator: one of the fixed texts above, then the file
// and the reason.
std::string printPageFailure(const char *fixedText, const std::filesystem::path &file,
                             const std::string &reason);

} // namespace quillon

#endif

#include "datacontrol/print_page.h"

#include "datacontrol/data_control.h"
#include "datacontrol/profile_file.h"
#include "datacontrol/settings.h"
#include "platform/files.h"

#include <algorithm>
#include <array>

namespace quillon {

namespace {

struct PrintPageKey {
    const char *name;
    PrintPageGroup group;
    std::string PrintPageTexts::*field;
};

const std::array<PrintPageKey, 9> kKeys{{
    {"Organization", PrintPageGroup::Header, &PrintPageTexts::organization},
    {"Operator", PrintPageGroup::Header, &PrintPageTexts::operatorName},
    {"Sample", PrintPageGroup::Header, &PrintPageTexts::sample},
    {"Slit", PrintPageGroup::UnitInformation, &PrintPageTexts::slit},
    {"Grating", PrintPageGroup::UnitInformation, &PrintPageTexts::grating},
    {"Filter", PrintPageGroup::UnitInformation, &PrintPageTexts::filter},
    {"CCD", PrintPageGroup::UnitInformation, &PrintPageTexts::ccd},
    {"IOBoard", PrintPageGroup::UnitInformation, &PrintPageTexts::ioBoard},
    {"BoardSerial", PrintPageGroup::UnitInformation, &PrintPageTexts::boardSerial},
}};

// The file as it is on disk; false when it exists but cannot be read, so
// that a write never replaces content it could not see.
bool loadExisting(ProfileFile &file, std::string &error) {
    if (file.Load() || !platform::fileExists(file.Path())) {
        return true;
    }
    error = file.LastError().empty() ? "the file cannot be read" : file.LastError();
    return false;
}

} // namespace

std::optional<PrintPageTexts> PrintPageFile::Read(std::string &error) const {
    ProfileFile file;
    file.SetPath(path);
    if (!loadExisting(file, error)) {
        return std::nullopt;
    }
    PrintPageTexts texts;
    const PrintPageTexts defaults;
    for (const PrintPageKey &key : kKeys) {
        texts.*key.field = readText(file, kPrintPageSection, key.name, defaults.*key.field);
    }
    return texts;
}

bool PrintPageFile::Write(const PrintPageTexts &texts, std::span<const PrintPageGroup> groups,
                          std::string &error) const {
    ProfileFile file;
    file.SetPath(path);
    if (!loadExisting(file, error)) {
        return false;
    }
    for (const PrintPageKey &key : kKeys) {
        if (std::find(groups.begin(), groups.end(), key.group) != groups.end()) {
            // A line end in a value would start a new entry in the file.
            std::string value = texts.*key.field;
            std::replace_if(
                value.begin(), value.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
            file.PutText(kPrintPageSection, key.name, value);
        }
    }
    if (!file.Save()) {
        error = "the file cannot be written";
        return false;
    }
    return true;
}

std::string printPageFailure(const char *fixedText, const std::filesystem::path &file,
                             const std::string &reason) {
    return std::string(fixedText) + "\n" + platform::pathText(file) + ": " + reason;
}

// DataControl's side: the main settings file, and the messages of the pages.

std::optional<PrintPageTexts> DataControl::ReadPrintPage(PrintPageGroup page) {
    const PrintPageFile file(state.mainSettingsPath);
    std::string why;
    std::optional<PrintPageTexts> texts = file.Read(why);
    if (!texts) {
        prompter.message(printPageFailure(page == PrintPageGroup::Header
                                              ? print_page_messages::kOpenInCustomInit
                                              : print_page_messages::kOpenInUnitInit,
                                          file.Path(), why));
    }
    return texts;
}

bool DataControl::WritePrintPage(const PrintPageTexts &texts,
                                 std::span<const PrintPageGroup> pages) {
    const PrintPageFile file(state.mainSettingsPath);
    std::string why;
    if (file.Write(texts, pages, why)) {
        return true;
    }
    // One file for all pages: the first page's message tells it.
    const bool header = pages.empty() || std::find(pages.begin(), pages.end(),
                                                   PrintPageGroup::Header) != pages.end();
    prompter.message(printPageFailure(header ? print_page_messages::kOpenInCustomOk
                                             : print_page_messages::kOpenInUnitOk,
                                      file.Path(), why));
    return false;
}

} // namespace quillon

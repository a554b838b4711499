// An INI text file held in memory: ordered sections of key=value text
// entries with typed access. Every settings reader and writer of the program
// goes through it; one object serves one job (load, read or change, save).
#ifndef QUILLON_APP_DATACONTROL_PROFILE_FILE_H
#define QUILLON_APP_DATACONTROL_PROFILE_FILE_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon {

class ProfileFile {
public:
    // Longest line taken from a file; the rest of a longer line is dropped.
    static constexpr std::size_t kMaxLineLength = 2047;
    // Largest file loaded; a larger one is refused whole, as is anything
    // that is not a regular file (a FIFO, a device).
    static constexpr std::size_t kMaxFileSize = std::size_t{16} << 20;

    inline static const std::string kErrorCannotOpen = "Unable to open ini file.";
    inline static const std::string kErrorNoSection = "Unable to locate specified key.";
    inline static const std::string kErrorNoKey = "Unable to locate specified value.";

    ProfileFile() = default;
    // Creates the file empty when it cannot be opened for reading.
    explicit ProfileFile(std::filesystem::path path);

    void SetPath(std::filesystem::path newPath) { path = std::move(newPath); }
    const std::filesystem::path &Path() const { return path; }
    const std::string &LastError() const { return lastError; }

    // Appends the file's sections and entries. False without an error text
    // when the file does not exist, false with one when it cannot be read,
    // is not a regular file or is larger than kMaxFileSize.
    bool Load();
    // The same from a text in memory (an EEPROM text before it is written).
    void LoadText(std::string_view text);
    // Writes all sections that hold entries, replacing the file whole. False
    // when the file could not be written; it is then left as it was.
    [[nodiscard]] bool Save() const;

    int FindSection(std::string_view section) const;
    int FindEntry(int sectionIndex, std::string_view key) const;

    std::string GetText(std::string_view section, std::string_view key);
    std::int32_t GetInt(std::string_view section, std::string_view key);
    // The 32-bit value of the text, so that what PutLong wrote reads back.
    std::uint32_t GetLong(std::string_view section, std::string_view key);
    double GetReal(std::string_view section, std::string_view key);

    bool PutText(std::string_view section, std::string_view key, std::string_view value,
                 bool create = true);
    bool PutInt(std::string_view section, std::string_view key, std::int32_t value,
                bool create = true);
    bool PutLong(std::string_view section, std::string_view key, std::uint32_t value,
                 bool create = true);
    bool PutReal(std::string_view section, std::string_view key, double value, bool create = true);

    bool RemoveEntry(std::string_view section, std::string_view key);
    void Clear() {
        sections.clear();
        sectionsByName.clear();
    }

    std::size_t SectionCount() const { return sections.size(); }
    const std::string &SectionName(std::size_t index) const { return sections[index].name; }
    std::size_t EntryCount(std::size_t index) const { return sections[index].keys.size(); }
    const std::string &KeyName(std::size_t index, std::size_t entry) const {
        return sections[index].keys[entry];
    }

    // The whole content as it would be saved, with '\n' line ends.
    std::string ToText() const;

private:
    // Lookup by name without building a std::string for each query.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept {
            return std::hash<std::string_view>{}(name);
        }
    };
    using NameIndex = std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>>;

    // The lists keep the order of the file; the index finds a key in
    // constant time, so loading a large file stays linear.
    struct Section {
        std::string name;
        std::vector<std::string> keys;
        std::vector<std::string> values;
        NameIndex keyIndex;
    };

    void loadLine(std::string &line, std::string &currentSection);

    std::filesystem::path path;
    std::vector<Section> sections;
    NameIndex sectionsByName;
    std::string lastError;
};

// Conversions of stored text, with the rules of the C library's atoi/atol/atof
// but without their undefined overflow and independent of the locale.
std::int64_t parseLeadingInteger(std::string_view text);
double parseLeadingReal(std::string_view text);
// "%-7.2f": two decimals, left-aligned in seven characters.
std::string formatReal(double value);

} // namespace quillon

#endif

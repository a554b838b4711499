// The spectra the operator stored during the run (or loaded from a scan
// data file), in order, with the playback selection. Each item is kept in
// its file form (three 64-byte texts, the counts, the scan value), either in
// memory of its own or in the read-only mapping of the file it came from,
// so that a file of any length loads without being copied.
#ifndef QUILLON_APP_DATAFILES_MEMORY_LIST_H
#define QUILLON_APP_DATAFILES_MEMORY_LIST_H

#include "platform/mapped_file.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

inline constexpr std::size_t kItemTextBytes = 64;

// The bytes of one item in a file: texts, counts, and (current form) the scan value.
constexpr std::size_t memoryItemBytes(std::size_t pixels, bool withScanValue = true) {
    return 3 * kItemTextBytes + 4 * pixels + (withScanValue ? 4 : 0);
}

struct MemoryItemTexts {
    std::string projectName;
    std::string sampleName;
    std::string captureTime; // "%02d/%02d/%04d  %02d:%02d:%02d"
};

// One item in file form.
std::string encodeMemoryItem(const MemoryItemTexts &texts, std::span<const std::int32_t> counts,
                             std::int32_t scanValue);
// The same appended to `out`: a caller that reuses `out` allocates nothing.
void appendMemoryItem(std::string &out, std::string_view projectName, std::string_view sampleName,
                      std::string_view captureTime, std::span<const std::int32_t> counts,
                      std::int32_t scanValue);

// One item, read from its bytes. Valid while the list is not changed.
class MemoryItemView {
public:
    explicit MemoryItemView(std::span<const std::byte> record, std::size_t pixels)
        : bytes(record), pixelCount(pixels) {}

    std::string projectName() const { return std::string(textAt(0)); }
    std::string sampleName() const { return std::string(textAt(1)); }
    std::string captureTime() const { return std::string(textAt(2)); }
    // The three texts into strings that keep their room: playback allocates nothing.
    void copyTexts(std::string &project, std::string &sample, std::string &time) const {
        project.assign(textAt(0));
        sample.assign(textAt(1));
        time.assign(textAt(2));
    }
    std::size_t pixels() const { return pixelCount; }
    std::int32_t count(std::size_t pixel) const;
    std::int32_t scanValue() const;
    // The counts into `out` (as many as both hold).
    void copyCounts(std::span<float> out) const;
    void copyCounts(std::span<std::int32_t> out) const;
    std::span<const std::byte> fileBytes() const { return bytes; }

private:
    std::string_view textAt(int index) const;
    std::span<const std::byte> bytes;
    std::size_t pixelCount;
};

class MemoryList {
public:
    MemoryList() = default;
    MemoryList(MemoryList &&) noexcept = default;
    MemoryList &operator=(MemoryList &&) noexcept = default;

    std::size_t size() const { return entries.size(); }
    bool empty() const { return entries.empty(); }
    // Pixels of every item (0 while the list is empty and has none set).
    std::size_t pixels() const { return pixelCount; }
    // The 1-based playback selection, 0 = none.
    int current() const { return selection; }
    void setCurrent(int index);

    // Appends an item in the list's pixel count (an empty list takes the
    // count of its first item). False when `counts` has another length.
    bool append(const MemoryItemTexts &texts, std::span<const std::int32_t> counts,
                std::int32_t scanValue);
    // Removes the item at the 1-based `index`; the selection moves back one.
    bool erase(int index);
    void clear();

    // 1-based, as the selection.
    MemoryItemView item(int index) const;

    // A list over `count` items of `pixels` pixels that follow one another
    // from `offset` in `file` in the current form; the list keeps the mapping.
    static MemoryList overMapping(platform::MappedFile file, std::size_t offset, std::size_t count,
                                  std::size_t pixels);
    // Whether the items are still those read from or written to a file.
    bool saved() const { return unchangedSinceFile; }
    void markSaved() { unchangedSinceFile = true; }

private:
    struct Entry {
        std::vector<std::byte> owned; // empty: the bytes lie in the mapping
        std::size_t offset = 0;
    };
    std::span<const std::byte> recordOf(const Entry &entry) const;

    std::optional<platform::MappedFile> mapping;
    std::vector<Entry> entries;
    std::size_t pixelCount = 0;
    int selection = 0;
    bool unchangedSinceFile = true;
};

} // namespace quillon

#endif

#include "datafiles/memory_list.h"

#include "datafiles/byte_codec.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {
std::int32_t int32At(std::span<const std::byte> bytes, std::size_t offset) {
    datafiles::ByteReader in(bytes.subspan(offset, 4));
    return in.i32();
}
} // namespace

std::string_view MemoryItemView::textAt(int index) const {
    const std::size_t start = static_cast<std::size_t>(index) * kItemTextBytes;
    if (bytes.size() < start + kItemTextBytes) {
        return {};
    }
    const char *text = reinterpret_cast<const char *>(bytes.data() + start);
    // A field without its NUL gives its first 63 characters, as written.
    const void *nul = std::memchr(text, '\0', kItemTextBytes - 1);
    return {text, nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - text)
                      : kItemTextBytes - 1};
}

std::int32_t MemoryItemView::count(std::size_t pixel) const {
    return pixel < pixelCount ? int32At(bytes, 3 * kItemTextBytes + 4 * pixel) : 0;
}

std::int32_t MemoryItemView::scanValue() const {
    const std::size_t offset = 3 * kItemTextBytes + 4 * pixelCount;
    return bytes.size() >= offset + 4 ? int32At(bytes, offset) : 0;
}

void MemoryItemView::copyCounts(std::span<float> out) const {
    datafiles::ByteReader in(bytes.subspan(3 * kItemTextBytes));
    const std::size_t n = std::min(out.size(), pixelCount);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<float>(in.i32());
    }
}

void MemoryItemView::copyCounts(std::span<std::int32_t> out) const {
    datafiles::ByteReader in(bytes.subspan(3 * kItemTextBytes));
    const std::size_t n = std::min(out.size(), pixelCount);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = in.i32();
    }
}

void appendMemoryItem(std::string &out, std::string_view projectName, std::string_view sampleName,
                      std::string_view captureTime, std::span<const std::int32_t> counts,
                      std::int32_t scanValue) {
    datafiles::ByteWriter writer(out);
    writer.text(projectName, kItemTextBytes);
    writer.text(sampleName, kItemTextBytes);
    writer.text(captureTime, kItemTextBytes);
    writer.ints(counts);
    writer.i32(scanValue);
}

std::string encodeMemoryItem(const MemoryItemTexts &texts, std::span<const std::int32_t> counts,
                             std::int32_t scanValue) {
    std::string bytes;
    bytes.reserve(memoryItemBytes(counts.size()));
    appendMemoryItem(bytes, texts.projectName, texts.sampleName, texts.captureTime, counts,
                     scanValue);
    return bytes;
}

void MemoryList::setCurrent(int index) {
    selection = std::clamp(index, 0, static_cast<int>(entries.size()));
}

bool MemoryList::append(const MemoryItemTexts &texts, std::span<const std::int32_t> counts,
                        std::int32_t scanValue) {
    if (entries.empty() && !mapping) {
        pixelCount = counts.size();
    }
    if (counts.size() != pixelCount || pixelCount == 0) {
        return false;
    }
    const std::string record = encodeMemoryItem(texts, counts, scanValue);
    Entry entry;
    entry.owned.resize(record.size());
    std::memcpy(entry.owned.data(), record.data(), record.size());
    entries.push_back(std::move(entry));
    unchangedSinceFile = false;
    return true;
}

bool MemoryList::erase(int index) {
    if (index < 1 || index > static_cast<int>(entries.size())) {
        return false;
    }
    entries.erase(entries.begin() + (index - 1));
    selection = std::max(0, selection - 1);
    unchangedSinceFile = false;
    return true;
}

void MemoryList::clear() {
    entries.clear();
    mapping.reset();
    pixelCount = 0;
    selection = 0;
    unchangedSinceFile = true;
}

std::span<const std::byte> MemoryList::recordOf(const Entry &entry) const {
    if (!entry.owned.empty()) {
        return entry.owned;
    }
    return mapping->bytes().subspan(entry.offset, memoryItemBytes(pixelCount));
}

MemoryItemView MemoryList::item(int index) const {
    return MemoryItemView(recordOf(entries.at(static_cast<std::size_t>(index - 1))), pixelCount);
}

MemoryList MemoryList::overMapping(platform::MappedFile file, std::size_t offset, std::size_t count,
                                   std::size_t pixels) {
    MemoryList list;
    const std::size_t record = memoryItemBytes(pixels);
    // Never more items than the bytes hold, whatever the caller counted.
    const std::size_t available = file.size() > offset ? (file.size() - offset) / record : 0;
    count = std::min(count, available);
    list.entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        list.entries[i].offset = offset + i * record;
    }
    list.pixelCount = pixels;
    list.mapping.emplace(std::move(file));
    return list;
}

} // namespace quillon

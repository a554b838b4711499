// Little-endian fields written and read one by one, so that the byte
// layout of a file never depends on how the compiler lays out a struct.
// The reader never reads past its bytes: a short read sets `ok` to false
// and gives zeros.
#ifndef QUILLON_APP_DATAFILES_BYTE_CODEC_H
#define QUILLON_APP_DATAFILES_BYTE_CODEC_H

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace quillon::datafiles {

class ByteWriter {
public:
    explicit ByteWriter(std::string &target) : out(target) {}

    void u8(std::uint8_t v) { out.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v) { unsignedField(v, 2); }
    void i16(std::int16_t v) { unsignedField(static_cast<std::uint16_t>(v), 2); }
    void u32(std::uint32_t v) { unsignedField(v, 4); }
    void i32(std::int32_t v) { unsignedField(static_cast<std::uint32_t>(v), 4); }
    void f32(float v) { unsignedField(std::bit_cast<std::uint32_t>(v), 4); }
    void f64(double v) { unsignedField(std::bit_cast<std::uint64_t>(v), 8); }
    // `text` cut to size - 1 characters, NUL-padded to `size` bytes.
    void text(std::string_view text, std::size_t size) {
        const std::size_t n = std::min(text.size(), size == 0 ? 0 : size - 1);
        out.append(text.substr(0, n));
        out.append(size - n, '\0');
    }
    void zeros(std::size_t count) { out.append(count, '\0'); }
    void floats(std::span<const float> values) {
        for (const float v : values) {
            f32(v);
        }
    }
    void ints(std::span<const std::int32_t> values) {
        for (const std::int32_t v : values) {
            i32(v);
        }
    }
    std::size_t size() const { return out.size(); }

private:
    void unsignedField(std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<char>((v >> (8 * i)) & 0xFFu));
        }
    }
    std::string &out;
};

class ByteReader {
public:
    explicit ByteReader(std::span<const std::byte> source) : bytes(source) {}
    explicit ByteReader(std::string_view source)
        : bytes(reinterpret_cast<const std::byte *>(source.data()), source.size()) {}

    bool ok() const { return good; }
    std::size_t position() const { return pos; }
    std::size_t remaining() const { return bytes.size() - pos; }
    void seek(std::size_t to) {
        pos = std::min(to, bytes.size());
        good = good && to <= bytes.size();
    }
    void skip(std::size_t count) { seek(pos + std::min(count, remaining() + 1)); }

    std::uint8_t u8() { return static_cast<std::uint8_t>(field(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(field(2)); }
    std::int16_t i16() { return static_cast<std::int16_t>(field(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(field(4)); }
    std::int32_t i32() { return static_cast<std::int32_t>(field(4)); }
    float f32() { return std::bit_cast<float>(static_cast<std::uint32_t>(field(4))); }
    double f64() { return std::bit_cast<double>(field(8)); }
    // A NUL-terminated text in a field of `size` bytes; a field without a
    // NUL gives its first size - 1 characters.
    std::string text(std::size_t size) {
        if (!take(size)) {
            return {};
        }
        const char *start = reinterpret_cast<const char *>(bytes.data() + pos - size);
        const std::size_t limit = size == 0 ? 0 : size - 1;
        const void *nul = std::memchr(start, '\0', limit);
        return std::string(start, nul ? static_cast<const char *>(nul) - start : limit);
    }
    // `out.size()` 32-bit values; zeros when the bytes run out.
    void floats(std::span<float> out) {
        for (float &v : out) {
            v = f32();
        }
    }
    std::span<const std::byte> rest() const { return bytes.subspan(pos); }

private:
    bool take(std::size_t count) {
        if (count > remaining()) {
            good = false;
            pos = bytes.size();
            return false;
        }
        pos += count;
        return true;
    }
    std::uint64_t field(int size) {
        if (!take(static_cast<std::size_t>(size))) {
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = size - 1; i >= 0; --i) {
            v = (v << 8) |
                std::to_integer<std::uint64_t>(
                    bytes[pos - static_cast<std::size_t>(size) + static_cast<std::size_t>(i)]);
        }
        return v;
    }

    std::span<const std::byte> bytes;
    std::size_t pos = 0;
    bool good = true;
};

} // namespace quillon::datafiles

#endif

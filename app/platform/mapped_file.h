// A whole file mapped read-only into memory, so that a large scan data file
// can be read item by item without copying it: its pages come from the
// page cache on demand and never count as the program's own memory.
#ifndef QUILLON_APP_PLATFORM_MAPPED_FILE_H
#define QUILLON_APP_PLATFORM_MAPPED_FILE_H

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace quillon::platform {

class MappedFile {
public:
    // The mapping of a regular file, or nothing with the reason in `error`.
    // An empty file maps to an empty span.
    static std::optional<MappedFile> open(const std::filesystem::path &file, std::string &error);

    MappedFile(MappedFile &&) noexcept;
    MappedFile &operator=(MappedFile &&) noexcept;
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;
    ~MappedFile();

    std::span<const std::byte> bytes() const;
    std::size_t size() const { return bytes().size(); }

private:
    struct Mapping;
    explicit MappedFile(std::unique_ptr<Mapping> mapping);
    std::unique_ptr<Mapping> mapping;
};

} // namespace quillon::platform

#endif

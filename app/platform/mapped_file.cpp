#include "platform/mapped_file.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::platform {

#ifdef _WIN32

struct MappedFile::Mapping {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE section = nullptr;
    const std::byte *data = nullptr;
    std::size_t size = 0;
    ~Mapping() {
        if (data != nullptr) {
            UnmapViewOfFile(data);
        }
        if (section != nullptr) {
            CloseHandle(section);
        }
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
};

std::optional<MappedFile> MappedFile::open(const std::filesystem::path &path, std::string &error) {
    auto mapping = std::make_unique<Mapping>();
    mapping->file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mapping->file == INVALID_HANDLE_VALUE) {
        error = "the file cannot be opened";
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (GetFileType(mapping->file) != FILE_TYPE_DISK || !GetFileSizeEx(mapping->file, &size)) {
        error = "it is not a regular file";
        return std::nullopt;
    }
    mapping->size = static_cast<std::size_t>(size.QuadPart);
    if (mapping->size > 0) {
        mapping->section = CreateFileMappingW(mapping->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (mapping->section == nullptr) {
            error = "the file cannot be mapped into memory";
            return std::nullopt;
        }
        mapping->data =
            static_cast<const std::byte *>(MapViewOfFile(mapping->section, FILE_MAP_READ, 0, 0, 0));
        if (mapping->data == nullptr) {
            error = "the file cannot be mapped into memory";
            return std::nullopt;
        }
    }
    return MappedFile(std::move(mapping));
}

#else

struct MappedFile::Mapping {
    const std::byte *data = nullptr;
    std::size_t size = 0;
    ~Mapping() {
        if (data != nullptr) {
            ::munmap(const_cast<std::byte *>(data), size);
        }
    }
};

std::optional<MappedFile> MappedFile::open(const std::filesystem::path &path, std::string &error) {
    // O_NONBLOCK: a FIFO without a writer must not hold the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = "it is not a regular file";
        return std::nullopt;
    }
    auto mapping = std::make_unique<Mapping>();
    mapping->size = static_cast<std::size_t>(info.st_size);
    if (mapping->size > 0) {
        void *address = ::mmap(nullptr, mapping->size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (address == MAP_FAILED) {
            error = std::strerror(errno);
            ::close(fd);
            return std::nullopt;
        }
        mapping->data = static_cast<const std::byte *>(address);
    }
    ::close(fd); // the mapping keeps the file's pages
    return MappedFile(std::move(mapping));
}

#endif

MappedFile::MappedFile(std::unique_ptr<Mapping> m) : mapping(std::move(m)) {}
MappedFile::MappedFile(MappedFile &&) noexcept = default;
MappedFile &MappedFile::operator=(MappedFile &&) noexcept = default;
MappedFile::~MappedFile() = default;

std::span<const std::byte> MappedFile::bytes() const {
    if (!mapping || mapping->data == nullptr) {
        return {};
    }
    return {mapping->data, mapping->size};
}

} // namespace quillon::platform

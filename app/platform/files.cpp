#include "platform/files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <system_error>

#include "native_io.h"

namespace quillon::platform {

namespace fs = std::filesystem;

std::string_view textLineEnd() {
#ifdef _WIN32
    return "\r\n";
#else
    return "\n";
#endif
}

std::optional<fs::path> currentFolder() {
    std::error_code error;
    fs::path folder = fs::current_path(error);
    if (error) {
        return std::nullopt;
    }
    return folder;
}

std::optional<fs::path> executableFolder() {
    const auto program = native::executablePath();
    if (!program || !program->has_parent_path()) {
        return std::nullopt;
    }
    return program->parent_path();
}

bool ensureFolder(const fs::path &folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    return fs::is_directory(folder, error);
}

namespace {

// Owns one open file descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    // Closes now and tells whether the close worked: on some file systems a
    // failed write is reported only here.
    bool close() {
        const int closing = fd;
        fd = -1;
        return ::close(closing) == 0;
    }

private:
    int fd = -1;
};

// The file that `target` stands for: a symbolic link is followed so that
// the file behind it is replaced and the link itself stays a link.
fs::path resolveLinks(const fs::path &target) {
    constexpr int kMaxHops = 40; // as the kernel's own limit; a loop ends here
    fs::path current = target;
    for (int hop = 0; hop < kMaxHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)) || error) {
            return current;
        }
        const fs::path link = fs::read_symlink(current, error);
        if (error) {
            return current;
        }
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return target;
}

// The Windows runtime counts in unsigned int; one call never asks for more.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto written =
            ::write(fd, bytes.data(),
                    static_cast<unsigned>(std::min<std::size_t>(bytes.size(), kMaxChunk)));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

struct Temporary {
    std::unique_ptr<FileDescriptor> file;
    fs::path path;
};

// A new, empty file beside `target`, created exclusively: the name carries
// the process id and a counter, and O_EXCL makes sure no other process (nor
// a leftover of a crashed one) shares it. The name starts with the target's
// so that a stray temporary file is easy to recognise.
std::optional<Temporary> createTemporaryBeside(const fs::path &target) {
    static std::atomic<unsigned> counter{0};
    constexpr int kAttempts = 100;
    const std::string stem =
        target.filename().string() + ".tmp" + std::to_string(native::processId()) + "-";
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        fs::path candidate = target.parent_path() / (stem + std::to_string(counter.fetch_add(1)));
        // Mode 0666 less the umask, as for any file the user creates.
        const int fd = native::openFile(candidate, O_WRONLY | O_CREAT | O_EXCL);
        if (fd >= 0) {
            return Temporary{std::make_unique<FileDescriptor>(fd), std::move(candidate)};
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace

struct FileReplacement::Open {
    Temporary temporary;
    fs::path file;
};

namespace {
std::string errnoText(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}
} // namespace

FileReplacement::FileReplacement(const fs::path &target) {
    fs::path file = resolveLinks(target);
    auto temporary = createTemporaryBeside(file);
    if (!temporary) {
        problem = errnoText("cannot create a file in the folder");
        return;
    }
    native::copyPermissions(file, temporary->file->get());
    open = std::make_unique<Open>(Open{std::move(*temporary), std::move(file)});
}

FileReplacement::~FileReplacement() {
    if (open) {
        open->temporary.file.reset();
        removeFileQuietly(open->temporary.path);
    }
}

bool FileReplacement::write(std::string_view bytes) {
    if (!open || failed()) {
        return false;
    }
    if (!writeAll(open->temporary.file->get(), bytes)) {
        problem = errnoText("cannot write");
        return false;
    }
    return true;
}

bool FileReplacement::commit() {
    if (!open || failed()) {
        return false;
    }
    FileDescriptor &out = *open->temporary.file;
    if (!native::syncFile(out.get())) {
        problem = errnoText("cannot write");
    } else if (!out.close()) {
        problem = errnoText("cannot close");
    } else if (!native::replaceFile(open->temporary.path, open->file)) {
        problem = errnoText("cannot replace the file");
    }
    if (failed()) {
        return false;
    }
    open.reset(); // renamed: nothing left to remove
    return true;
}

std::string replaceBinaryFileWithReason(const fs::path &target, std::string_view bytes) {
    FileReplacement replacement(target);
    replacement.write(bytes);
    replacement.commit();
    return replacement.error();
}

namespace {
bool replaceFileWith(const fs::path &target, std::string_view bytes) {
    return replaceBinaryFileWithReason(target, bytes).empty();
}
} // namespace

bool replaceTextFile(const fs::path &target, std::string_view text) {
    // Line ends are converted here, the same on every platform.
    const std::string_view lineEnd = textLineEnd();
    if (lineEnd == "\n") {
        return replaceFileWith(target, text);
    }
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') {
            converted += lineEnd;
        } else {
            converted += c;
        }
    }
    return replaceFileWith(target, converted);
}

bool replaceBinaryFile(const fs::path &target, std::string_view bytes) {
    return replaceFileWith(target, bytes);
}

FileContent readRegularFile(const fs::path &file, std::size_t maxBytes) {
    FileContent content;
    FileDescriptor in(native::openFile(file, O_RDONLY | native::kNoWait));
    if (!in.valid()) {
        std::error_code error;
        // Windows refuses to open a folder at all, where POSIX opens it and fstat tells.
        content.failure = errno == ENOENT || errno == ENOTDIR ? FileContent::Failure::Missing
                          : fs::is_directory(file, error)     ? FileContent::Failure::NotRegular
                                                              : FileContent::Failure::Unreadable;
        return content;
    }
    struct stat info {};
    if (::fstat(in.get(), &info) != 0) {
        content.failure = FileContent::Failure::Unreadable;
        return content;
    }
    if (!S_ISREG(info.st_mode)) {
        content.failure = FileContent::Failure::NotRegular;
        return content;
    }
    if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        content.failure = FileContent::Failure::TooLarge;
        return content;
    }
    // The file may grow while it is read: read one byte past the limit at most.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char block[65536];
    while (true) {
        const std::size_t room = maxBytes + 1 - bytes.size();
        const auto count =
            ::read(in.get(), block, static_cast<unsigned>(std::min(sizeof block, room)));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            content.failure = FileContent::Failure::Unreadable;
            return content;
        }
        if (count == 0) {
            break;
        }
        bytes.append(block, static_cast<std::size_t>(count));
        if (bytes.size() > maxBytes) {
            content.failure = FileContent::Failure::TooLarge;
            return content;
        }
    }
    content.bytes = std::move(bytes);
    return content;
}

std::string readFailureText(FileContent::Failure failure, std::size_t maxBytes) {
    switch (failure) {
    case FileContent::Failure::None:
        return {};
    case FileContent::Failure::Missing:
        return "the file does not exist";
    case FileContent::Failure::NotRegular:
        return "it is not a regular file";
    case FileContent::Failure::TooLarge:
        if (maxBytes >= (std::size_t{1} << 20) && maxBytes % (std::size_t{1} << 20) == 0) {
            return "it is larger than " + std::to_string(maxBytes >> 20) + " MiB";
        }
        return "it is larger than " + std::to_string(maxBytes) + " bytes";
    case FileContent::Failure::Unreadable:
        break;
    }
    return "it cannot be read";
}

std::optional<std::string> readWholeFile(const fs::path &file, std::size_t maxBytes) {
    return readRegularFile(file, maxBytes).bytes;
}

bool copyFileOver(const fs::path &from, const fs::path &to) {
    removeFileQuietly(to);
    const auto bytes = readWholeFile(from);
    return bytes && replaceBinaryFile(to, *bytes);
}

void createFileIfMissing(const fs::path &file) {
    std::error_code error;
    if (fs::exists(file, error) || error) {
        return;
    }
    FileDescriptor created(native::openFile(file, O_WRONLY | O_CREAT | O_APPEND | native::kNoWait));
}

void removeFileQuietly(const fs::path &file) {
    std::error_code error;
    fs::remove(file, error);
}

bool fileExists(const fs::path &file) {
    std::error_code error;
    return fs::exists(file, error);
}

std::string pathText(const fs::path &path) {
    return path.string();
}

} // namespace quillon::platform

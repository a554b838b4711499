// File-system services of the core: the program folder, text files written
// so that a failure never leaves a half-written file, and small helpers.
#ifndef QUILLON_APP_PLATFORM_FILES_H
#define QUILLON_APP_PLATFORM_FILES_H

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::platform {

// The line end of text files on this platform ("\r\n" on Windows).
std::string_view textLineEnd();

// The current working directory, or nothing when it cannot be obtained.
std::optional<std::filesystem::path> currentFolder();

// The folder of the running program, where the tables shipped with it lie;
// nothing when the system does not tell it.
std::optional<std::filesystem::path> executableFolder();

// Creates the folder when missing; true when it exists afterwards.
bool ensureFolder(const std::filesystem::path &folder);

// Writes `text` (lines ended by '\n', written with the platform's line end)
// to a temporary file beside `target`, then renames it over `target`. On any
// failure (open, write, flush to disk, close or rename) the result is false,
// the temporary file is removed and `target` is left as it was. The
// temporary name is unique across processes, so two programs writing the
// same file never write into one temporary file. When `target` is a
// symbolic link the file it points to is replaced and the link stays.
bool replaceTextFile(const std::filesystem::path &target, std::string_view text);

// The same for bytes written as they are.
bool replaceBinaryFile(const std::filesystem::path &target, std::string_view bytes);

// A file written piece by piece to a temporary name beside its target and
// renamed over the target by commit(): until then, and whenever a step
// fails, the target stays as it was. Destroyed without a commit, the
// temporary file goes. Every failure keeps its reason for the message.
class FileReplacement {
public:
    explicit FileReplacement(const std::filesystem::path &target);
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // False once any step has failed; later writes do nothing.
    bool write(std::string_view bytes);
    // Flushes to disk, closes and renames; false (with the reason) on failure.
    bool commit();
    bool failed() const { return !problem.empty(); }
    // Why it failed ("No space left on device"), empty while all is well.
    const std::string &error() const { return problem; }

private:
    struct Open;
    std::unique_ptr<Open> open;
    std::string problem;
};

// Writes `bytes` as replaceBinaryFile; the result is empty on success, else
// the reason of the failure.
std::string replaceBinaryFileWithReason(const std::filesystem::path &target,
                                        std::string_view bytes);

// Files the program reads are small; anything larger is refused rather than
// read, so that a wrong path (a device, a huge file) cannot exhaust memory.
inline constexpr std::size_t kMaxReadBytes = std::size_t{16} << 20;

// The outcome of reading a whole file: its bytes, or why there are none.
struct FileContent {
    enum class Failure { None, Missing, NotRegular, TooLarge, Unreadable };

    std::optional<std::string> bytes;
    Failure failure = Failure::None;

    explicit operator bool() const { return bytes.has_value(); }
};

// Reads a regular file of at most `maxBytes` bytes whole. Anything else (a
// folder, a FIFO, a device such as /dev/zero) is refused without blocking.
FileContent readRegularFile(const std::filesystem::path &file,
                            std::size_t maxBytes = kMaxReadBytes);

// A sentence for messages: why `readRegularFile` gave nothing.
std::string readFailureText(FileContent::Failure failure, std::size_t maxBytes = kMaxReadBytes);

// The whole content of a file, or nothing when it cannot be read, is not a
// regular file or is larger than `maxBytes`.
std::optional<std::string> readWholeFile(const std::filesystem::path &file,
                                         std::size_t maxBytes = kMaxReadBytes);

// Copies the regular file `from` over `to` (as replaceBinaryFile). Any old
// `to` is removed first, so a failed copy never leaves a stale file behind.
bool copyFileOver(const std::filesystem::path &from, const std::filesystem::path &to);

// Creates `file` empty when nothing is there; an existing file, whatever
// its kind, is left alone (and never opened, so a FIFO cannot block).
void createFileIfMissing(const std::filesystem::path &file);

// Removes a file; a missing file is not an error.
void removeFileQuietly(const std::filesystem::path &file);

bool fileExists(const std::filesystem::path &file);

// The path as narrow text for messages and C interfaces.
std::string pathText(const std::filesystem::path &path);

} // namespace quillon::platform

#endif

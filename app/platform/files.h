// File-system services of the core: the program folder, text files written
// so that a failure never leaves a half-written file, and small helpers.
#ifndef QUILLON_APP_PLATFORM_FILES_H
#define QUILLON_APP_PLATFORM_FILES_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::platform {

// The line end of text files on this platform ("\r\n" on Windows).
std::string_view textLineEnd();

// The current working directory, or nothing when it cannot be obtained.
std::optional<std::filesystem::path> currentFolder();

// Creates the folder when missing; true when it exists afterwards.
bool ensureFolder(const std::filesystem::path &folder);

// Writes `text` (lines ended by '\n', written with the platform's line end)
// to a temporary file beside `target`, then renames it over `target`. On any
// failure the temporary file is removed and `target` is left as it was.
bool replaceTextFile(const std::filesystem::path &target, std::string_view text);

// The same for bytes written as they are.
bool replaceBinaryFile(const std::filesystem::path &target, std::string_view bytes);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path &file);

// Copies `from` over `to`. Any old `to` is removed first, so a failed copy
// never leaves a stale file behind.
bool copyFileOver(const std::filesystem::path &from, const std::filesystem::path &to);

// Removes a file; a missing file is not an error.
void removeFileQuietly(const std::filesystem::path &file);

bool fileExists(const std::filesystem::path &file);

// The path as narrow text for messages and C interfaces.
std::string pathText(const std::filesystem::path &path);

} // namespace quillon::platform

#endif

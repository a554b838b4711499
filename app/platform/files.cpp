#include "platform/files.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <system_error>

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

bool ensureFolder(const fs::path &folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    return fs::is_directory(folder, error);
}

namespace {

// Unique within the process; the name carries the target's so that a stray
// temporary file is easy to recognise.
fs::path temporaryBeside(const fs::path &target) {
    static std::atomic<unsigned> counter{0};
    fs::path name = target.filename();
    name += ".tmp" + std::to_string(counter.fetch_add(1));
    return target.parent_path() / name;
}

} // namespace

namespace {

// Writes through `fill` into a temporary file beside `target`, then renames
// it over `target`; on failure the temporary file goes and `target` stays.
template <typename Fill>
bool replaceFileWith(const fs::path &target, Fill fill) {
    const fs::path temporary = temporaryBeside(target);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        fill(out);
        out.flush();
        if (!out) {
            out.close();
            removeFileQuietly(temporary);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        removeFileQuietly(temporary);
        return false;
    }
    return true;
}

} // namespace

bool replaceTextFile(const fs::path &target, std::string_view text) {
    // Binary stream: line ends are converted here, the same on every platform.
    return replaceFileWith(target, [text](std::ofstream &out) {
        const std::string_view lineEnd = textLineEnd();
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t newline = text.find('\n', start);
            if (newline == std::string_view::npos) {
                out.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
                break;
            }
            out.write(text.data() + start, static_cast<std::streamsize>(newline - start));
            out.write(lineEnd.data(), static_cast<std::streamsize>(lineEnd.size()));
            start = newline + 1;
        }
    });
}

bool replaceBinaryFile(const fs::path &target, std::string_view bytes) {
    return replaceFileWith(target, [bytes](std::ofstream &out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    });
}

std::optional<std::string> readWholeFile(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes;
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
        bytes.append(block, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

bool copyFileOver(const fs::path &from, const fs::path &to) {
    removeFileQuietly(to);
    std::error_code error;
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, error) && !error;
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

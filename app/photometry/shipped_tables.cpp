#include "photometry/shipped_tables.h"

#include "photometry/colour_tables.h"
#include "platform/files.h"

namespace quillon::colour {

namespace fs = std::filesystem;

std::vector<fs::path> installShippedTables(const fs::path &shipped, const fs::path &programFolder) {
    std::vector<fs::path> copied;
    std::error_code error;
    if (fs::equivalent(shipped, programFolder, error)) {
        return copied;
    }
    for (const char *name : kShippedFiles) {
        const fs::path target = programFolder / name;
        if (fs::exists(fs::symlink_status(target, error)) ||
            !platform::fileExists(shipped / name)) {
            continue;
        }
        if (platform::copyFileOver(shipped / name, target)) {
            copied.push_back(name);
        }
    }
    return copied;
}

void installShippedTables(const fs::path &programFolder) {
    if (const auto shipped = platform::executableFolder()) {
        (void)installShippedTables(*shipped, programFolder);
    }
}

} // namespace quillon::colour

// The colour and photometry tables shipped beside the program. At start the
// program folder gets a copy of each one it lacks, so that a fresh folder
// works and a table the user replaced is left alone.
#ifndef QUILLON_APP_PHOTOMETRY_SHIPPED_TABLES_H
#define QUILLON_APP_PHOTOMETRY_SHIPPED_TABLES_H

#include <filesystem>
#include <vector>

namespace quillon::colour {

// Copies the shipped tables missing from `programFolder` out of `shipped`;
// the names of those copied. A table missing from `shipped` is skipped: the
// program reports it when it needs it.
std::vector<std::filesystem::path> installShippedTables(const std::filesystem::path &shipped,
                                                        const std::filesystem::path &programFolder);

// The same from the folder of the running program.
void installShippedTables(const std::filesystem::path &programFolder);

} // namespace quillon::colour

#endif

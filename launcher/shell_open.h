// The desktop's "open" action on a file, as a double click would run it.
// Qt-free, so that the Windows build without Qt compiles and tests it.
#ifndef QUILLON_LAUNCHER_SHELL_OPEN_H
#define QUILLON_LAUNCHER_SHELL_OPEN_H

#include <string>

namespace quillon::launcher {

#ifdef _WIN32
// True when the shell started the file's program; false for a missing file
// or a file no program is registered for.
bool shellOpen(const std::wstring &nativePath);
#endif

} // namespace quillon::launcher

#endif

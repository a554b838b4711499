#include "shell_open.h"

#include <windows.h>

#include <shellapi.h>

namespace quillon::launcher {

bool shellOpen(const std::wstring &nativePath) {
    // ShellExecuteW answers a number above 32 when it started the program.
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", nativePath.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

} // namespace quillon::launcher

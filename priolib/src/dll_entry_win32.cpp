// The library keeps no state, so loading, unloading and new threads need no
// work: the entry only reports success, which lets LoadLibrary go on.

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

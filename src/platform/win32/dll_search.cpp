#include "platform/win32/dll_search.h"

#include <windows.h>

namespace win32 {

bool restrictDllSearchToSystemFolder() {
    // Looked up rather than imported: a plain Windows 7 does not export it,
    // and an import the loader cannot resolve would stop the program.
    using SetDefaultDirs = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel ? reinterpret_cast<SetDefaultDirs>(reinterpret_cast<void*>(
                                         GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                   : nullptr;
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    SetDllDirectoryW(L"");
    return false;
}

}  // namespace win32

// Opening files and addresses with their associated program.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {

bool Win32Shell::open(std::string_view target) {
    const std::wstring wide = widen(target);
    if (wide.empty()) return false;
    // ShellExecuteW's result is an HINSTANCE only by name: above 32 means
    // success, anything else is an error code.
    HINSTANCE r = ShellExecuteW(nullptr, nullptr, wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

}  // namespace win32

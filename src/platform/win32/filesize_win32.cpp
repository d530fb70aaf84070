// File sizes.
#include <windows.h>

#include "platform/win32/update_win32.h"
#include "platform/win32/wide.h"

namespace win32 {

std::int64_t Win32FileSizes::fileSize(std::string_view path) {
    const std::wstring p = widen(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (p.empty() || !GetFileAttributesExW(p.c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace win32

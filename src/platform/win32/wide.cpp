#include "platform/win32/wide.h"

#include <windows.h>

#include <climits>

namespace win32 {

std::wstring widen(std::string_view utf8) {
    std::wstring out;
    if (utf8.empty() || utf8.size() > INT_MAX) return out;
    const int inLen = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLen, nullptr, 0);
    if (n <= 0) return out;
    out.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLen, out.data(), n);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    std::string out;
    if (utf16.empty() || utf16.size() > INT_MAX) return out;
    const int inLen = static_cast<int>(utf16.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLen, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return out;
    out.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLen, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace win32

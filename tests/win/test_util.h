// Small helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>

namespace testutil {

// Directory of the running test binary (where the stand-ins are copied).
inline std::wstring binaryDir() {
    wchar_t buf[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 4);
    std::wstring path(buf, n);
    return path.substr(0, path.find_last_of(L"\\/"));
}

// The whole file, shared with writers; "" when it cannot be opened.
inline std::string readAll(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(f);
    return out;
}

}  // namespace testutil

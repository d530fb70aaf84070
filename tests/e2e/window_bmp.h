// Helpers of the screenshot programs: a window written as the screen shows
// it to a 24-bit BMP file, a whole file read, and the tool's skin put on as
// the tool puts it on.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/win32/skin_win32.h"
#include "platform/win32/wide.h"

// The whole file, or "" when it cannot be read.
inline std::string readFile(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(f);
    return out;
}

// The skin library written by the program under test in `dir`, loaded,
// attached and tinted as the tool does at start; false when it cannot load.
inline bool loadSkin(win32::Win32Skin& skin, const std::wstring& dir) {
    if (!skin.load(win32::narrow(dir + L"\\SkinH_EL.dll"), readFile(dir + L"\\SkinH_EL.dll"))) return false;
    skin.attach();
    skin.adjustHsv(130, 0, 0);
    return true;
}

// Returns false when the file could not be written.

inline bool writeWindowBmp(HWND window, const wchar_t* path) {
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;   // bottom-up, as a BMP file stores it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + stride * height;
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD n = 0;
    const bool written = f != INVALID_HANDLE_VALUE && WriteFile(f, &fh, sizeof fh, &n, nullptr) &&
                         WriteFile(f, &bi.bmiHeader, sizeof bi.bmiHeader, &n, nullptr) &&
                         WriteFile(f, bits, stride * height, &n, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    std::printf("%d x %d\n", width, height);
    return written;
}

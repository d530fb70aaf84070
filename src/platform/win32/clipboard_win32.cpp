#include "platform/win32/clipboard_win32.h"

#include <cstring>
#include <string>

#include "platform/win32/wide.h"

namespace win32 {

Win32Clipboard::Win32Clipboard() {
    owner_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
}

Win32Clipboard::~Win32Clipboard() {
    if (owner_) DestroyWindow(owner_);
}

bool Win32Clipboard::setText(std::string_view utf8) {
    const std::wstring text = widen(utf8);
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!mem) return false;
    void* p = GlobalLock(mem);
    if (!p) {
        GlobalFree(mem);
        return false;
    }
    std::memcpy(p, text.c_str(), bytes);
    GlobalUnlock(mem);

    bool open = false;
    for (int attempt = 0; attempt < 10 && !(open = OpenClipboard(owner_)); ++attempt) Sleep(10);
    if (!open) {
        GlobalFree(mem);
        return false;
    }
    EmptyClipboard();
    // On success the clipboard owns the memory.
    const bool ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
    CloseClipboard();
    if (!ok) GlobalFree(mem);
    return ok;
}

}  // namespace win32

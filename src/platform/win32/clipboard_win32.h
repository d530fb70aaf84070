// The clipboard through the W functions.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/clipboard.h"

namespace win32 {

// Puts text on the clipboard as CF_UNICODETEXT, from which Windows offers
// the ANSI and OEM forms by itself. The clipboard needs an owner window for
// SetClipboardData to hold, so the object keeps a message-only window of its
// own: create and use it on the user-interface thread.
class Win32Clipboard final : public platform::Clipboard {
public:
    Win32Clipboard();
    ~Win32Clipboard() override;
    Win32Clipboard(const Win32Clipboard&) = delete;
    Win32Clipboard& operator=(const Win32Clipboard&) = delete;

    // Another program may hold the clipboard for a moment: a few short
    // retries, then false.
    bool setText(std::string_view utf8) override;

private:
    HWND owner_ = nullptr;
};

}  // namespace win32

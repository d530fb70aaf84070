// The taskbar button's progress through ITaskbarList3. Only
// src/platform/win32 and the Windows tests include this.
#pragma once

#include <windows.h>

#include "platform/taskbar.h"

struct ITaskbarList3;

namespace win32 {

// Created on the user-interface thread (a COM apartment). The taskbar
// object is asked for at first use; where it is missing or refuses (no
// COM, Wine's stub) every call does nothing. An elevated tool lets the
// shell's "TaskbarButtonCreated" through to each window it shows progress
// on (ChangeWindowMessageFilterEx).
class Win32Taskbar final : public platform::Taskbar {
public:
    Win32Taskbar() = default;
    ~Win32Taskbar() override;
    Win32Taskbar(const Win32Taskbar&) = delete;
    Win32Taskbar& operator=(const Win32Taskbar&) = delete;

    void setState(ui::Form& window, platform::TaskbarState state) override;
    void setValue(ui::Form& window, std::uint64_t done, std::uint64_t total) override;

private:
    // The taskbar object for `window`, nullptr where there is none.
    ITaskbarList3* list(HWND window);

    bool tried_ = false;
    ITaskbarList3* list_ = nullptr;
};

}  // namespace win32

// The Win32 side of the DNS test: datagrams through Winsock, ids and labels
// from the system's strong random source (CNG), the time from the
// performance counter; and the window's place over the main window.
// Brings in <windows.h>: only src/platform/win32, src/app and the Windows
// tests include it.
#pragma once

#include <string_view>

#include "platform/udp.h"
#include "ui/form.h"

namespace win32 {

// Winsock is started at the first open() and cleaned up with the object.
class Win32Udp final : public platform::Udp {
public:
    ~Win32Udp() override;
    std::unique_ptr<platform::UdpSocket> open() override;
    bool random(std::span<std::uint8_t> out) override;
    std::int64_t nowMicros() override;

private:
    bool started_ = false;
};

// Owned by the main window (so it stays above it) and centred over it on
// its monitor, as the question window is placed.
void placeDnsWindow(ui::Form& window, ui::Form& owner);

// Puts a separator before the menu item whose caption starts with
// `caption` in the main window's menu bar.
void separateMenuItem(ui::Form& main, std::string_view caption);

}  // namespace win32

// The Win32 side of the DNS test: datagrams through Winsock, ids and labels
// from the system's strong random source (CNG), the time from the
// performance counter. The window is placed by win32::placeOverForm.
// Brings in <windows.h>: only src/platform/win32, src/app and the Windows
// tests include it.
#pragma once

#include "platform/udp.h"

namespace win32 {

// Each socket open() hands out starts Winsock for itself and cleans it up
// when it closes (Winsock counts the starts), so runs on several threads
// share no state here.
class Win32Udp final : public platform::Udp {
public:
    std::unique_ptr<platform::UdpSocket> open() override;
    bool random(std::span<std::uint8_t> out) override;
    std::int64_t nowMicros() override;
};

}  // namespace win32

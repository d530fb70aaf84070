// The system tick count and today's date.
#include <windows.h>

#include "platform/win32/update_win32.h"

namespace win32 {

std::int64_t Win32Clock::tickCount() { return static_cast<std::int64_t>(GetTickCount64()); }

platform::Date Win32Clock::todayUtc() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

}  // namespace win32

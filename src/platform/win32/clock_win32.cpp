// The system tick count.
#include <windows.h>

#include "platform/win32/update_win32.h"

namespace win32 {

std::int64_t Win32Clock::tickCount() { return static_cast<std::int64_t>(GetTickCount64()); }

}  // namespace win32

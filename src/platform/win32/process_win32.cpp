// Ending the process.
#include <windows.h>

#include "platform/win32/update_win32.h"

namespace win32 {

void Win32Process::exit(int code) { ExitProcess(static_cast<UINT>(code)); }

}  // namespace win32

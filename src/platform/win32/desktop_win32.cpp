// The desktop folder.
#include <windows.h>
#include <shlobj.h>

#include "platform/win32/update_win32.h"
#include "platform/win32/wide.h"

namespace win32 {

std::string Win32Desktop::desktopDirectory() {
    wchar_t buf[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, buf)) || !buf[0])
        return {};
    std::string dir = narrow(buf);
    if (dir.back() != '\\') dir += '\\';
    return dir;
}

}  // namespace win32

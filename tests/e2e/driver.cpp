// Small helper run under Wine beside the tool in the same desktop, so the
// end-to-end script can find the tool's windows and close them:
//
//   driver wait <class> <title> <ms>   waits until a visible window of that
//                                      class and title exists; prints
//                                      "left top width height" (screen)
//   driver close <class> <title>       posts WM_CLOSE to it
//   driver gone <class> <title> <ms>   waits until no such window exists
//
// <title> is the start of the window's title in ASCII ("-" matches a
// window without title), so no locale matters on the way in. Exit code 0
// on success, 1 on time-out or a missing window.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool titleMatches(HWND h, const std::wstring& want) {
    wchar_t buf[512] = {};
    GetWindowTextW(h, buf, 512);
    std::wstring title = buf;
    if (want == L"-") return title.empty();
    return title.compare(0, want.size(), want) == 0;
}

HWND find(const std::wstring& cls, const std::wstring& title, bool visibleOnly) {
    HWND h = nullptr;
    while ((h = FindWindowExW(nullptr, h, cls.c_str(), nullptr)) != nullptr)
        if (titleMatches(h, title) && (!visibleOnly || IsWindowVisible(h))) return h;
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    std::wstring cmd = argv[1], cls = argv[2], title = argv[3];
    int limit = argc > 4 ? _wtoi(argv[4]) : 10000;
    DWORD start = GetTickCount();
    if (cmd == L"wait") {
        for (;;) {
            if (HWND h = find(cls, title, true)) {
                RECT r;
                GetWindowRect(h, &r);
                std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
                return 0;
            }
            if (GetTickCount() - start > static_cast<DWORD>(limit)) return 1;
            Sleep(50);
        }
    }
    if (cmd == L"close") {
        HWND h = find(cls, title, false);
        if (!h) return 1;
        PostMessageW(h, WM_CLOSE, 0, 0);
        return 0;
    }
    if (cmd == L"gone") {
        while (find(cls, title, false)) {
            if (GetTickCount() - start > static_cast<DWORD>(limit)) return 1;
            Sleep(50);
        }
        return 0;
    }
    return 2;
}

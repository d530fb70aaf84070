// Small helper run under Wine beside the tool in the same desktop, so the
// end-to-end script can find the tool's windows and close them:
//
//   driver wait <class> <title> <ms>   waits until a visible window of that
//                                      class and title exists; prints
//                                      "left top width height" (screen)
//   driver close <class> <title>       posts WM_CLOSE to it
//   driver gone <class> <title> <ms>   waits until no such window exists
//   driver press <class> <title> <hex>  clicks (BM_CLICK) the child control
//                                      whose caption is the UTF-8 text
//                                      given in hexadecimal
//   driver settext <class> <title> <n> <hex>
//                                      sets the text of the n-th child (in
//                                      creation order, from 0) of that class
//                                      given as <class>:<n>, e.g. Edit:3
//
// <title> is the start of the window's title in ASCII ("-" matches a
// window without title, "hex:<utf-8 in hex>" a whole title in any script),
// so no locale matters on the way in. Exit code 0
// on success, 1 on time-out or a missing window.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring fromHex(const std::wstring& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
    return w;
}

bool titleMatches(HWND h, const std::wstring& want) {
    wchar_t buf[512] = {};
    GetWindowTextW(h, buf, 512);
    std::wstring title = buf;
    if (want == L"-") return title.empty();
    if (want.rfind(L"hex:", 0) == 0) return title == fromHex(want.substr(4));
    return title.compare(0, want.size(), want) == 0;
}

HWND find(const std::wstring& cls, const std::wstring& title, bool visibleOnly) {
    HWND h = nullptr;
    while ((h = FindWindowExW(nullptr, h, cls.c_str(), nullptr)) != nullptr)
        if (titleMatches(h, title) && (!visibleOnly || IsWindowVisible(h))) return h;
    return nullptr;
}

}  // namespace

struct ChildSearch {
    std::wstring caption;
    std::wstring cls;
    int index = -1;
    HWND found = nullptr;
};

BOOL CALLBACK findChild(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    wchar_t buf[512] = {};
    if (!s->cls.empty()) {
        GetClassNameW(h, buf, 512);
        if (_wcsicmp(buf, s->cls.c_str()) == 0 && s->index-- == 0) {
            s->found = h;
            return FALSE;
        }
        return TRUE;
    }
    GetWindowTextW(h, buf, 512);
    if (s->caption == buf) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

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
    if (cmd == L"press" && argc > 4) {
        HWND top = find(cls, title, true);
        if (!top) return 1;
        ChildSearch search;
        search.caption = fromHex(argv[4]);
        EnumChildWindows(top, findChild, reinterpret_cast<LPARAM>(&search));
        if (!search.found) return 1;
        PostMessageW(search.found, BM_CLICK, 0, 0);
        return 0;
    }
    if (cmd == L"settext" && argc > 5) {
        HWND top = find(cls, title, true);
        if (!top) return 1;
        std::wstring spec = argv[4];
        size_t colon = spec.find(L':');
        if (colon == std::wstring::npos) return 2;
        ChildSearch search;
        search.cls = spec.substr(0, colon);
        search.index = _wtoi(spec.substr(colon + 1).c_str());
        EnumChildWindows(top, findChild, reinterpret_cast<LPARAM>(&search));
        if (!search.found) return 1;
        SendMessageW(search.found, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fromHex(argv[5]).c_str()));
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

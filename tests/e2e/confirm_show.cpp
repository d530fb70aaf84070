// Shows the question of the remote-safe apply over the main window, skinned
// as the tool skins its windows, and writes a picture of the question as the
// screen shows it (a 24-bit BMP) a moment after its countdown started.
//
//   confirm_show <skin folder: SkinH_EL.dll and skinh.she> <bmp file>
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "adapter/confirm.h"
#include "adapter/confirm_window.h"
#include "platform/win32/confirm_win32.h"
#include "platform/win32/skin_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "window_bmp.h"

namespace {

struct Clock : platform::Clock {
    std::int64_t tickCount() override { return static_cast<std::int64_t>(GetTickCount64()); }
};

std::wstring g_bmp;
bool g_written = false;

// The question window as the screen shows it, then "保留设置".
void CALLBACK shoot(HWND, UINT, UINT_PTR id, DWORD) {
    HWND q = FindWindowW(L"KorvanWindow", L"确认网络设置");
    if (!q || !IsWindowVisible(q)) return;
    KillTimer(nullptr, id);
    g_written = writeWindowBmp(q, g_bmp.c_str());
    if (HWND keep = FindWindowExW(q, nullptr, L"Button", L"保留设置")) PostMessageW(keep, BM_CLICK, 0, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    g_bmp = argv[2];
    const std::wstring dir = argv[1];
    win32::Win32Skin skin;
    if (!loadSkin(skin, dir)) {
        std::printf("skin not loaded\n");
        return 1;
    }

    win32::Win32Windows windows;
    Clock clock;
    auto* main = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    main->setVisible("", true);
    for (int i = 0; i < 25; ++i) {
        windows.pump();
        Sleep(20);
    }
    adapter::ConfirmQuestion question(windows, clock, win32::placeOverForm);
    // A few seconds into the countdown, once it has drawn.
    SetTimer(nullptr, 0, 2500, shoot);
    std::optional<adapter::ConfirmResult> r;
    question.show(*main, "IP地址修改成功！", adapter::kConfirmSeconds, [&](adapter::ConfirmResult a) { r = a; });
    MSG msg;
    while (!r && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::printf("answer %d\n", r ? static_cast<int>(*r) : -1);
    return g_written && r == adapter::ConfirmResult::Keep ? 0 : 1;
}

// Shows the DNS test over the main window, skinned as the tool skins its
// windows, runs it against the resolvers of KORVAN_DNS_SERVERS, and once
// the list is sorted writes a picture of the window as the screen shows it
// (a 24-bit BMP), with the fastest row selected.
//
//   dns_show <skin folder: SkinH_EL.dll and skinh.she> <bmp file>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "dns/window.h"
#include "platform/win32/confirm_win32.h"
#include "platform/win32/dns_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/skin_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "window_bmp.h"

namespace {

void pumpFor(win32::Win32Windows& windows, int ms) {
    for (int i = 0; i < ms / 20; ++i) {
        windows.pump();
        Sleep(20);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring dir = argv[1];
    win32::Win32Skin skin;
    if (!loadSkin(skin, dir)) {
        std::printf("skin not loaded\n");
        return 1;
    }

    win32::Win32Windows windows;
    win32::Win32Udp udp;   // outlives the workers
    win32::Win32Tasks tasks;
    auto* main = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    main->setVisible("", true);
    pumpFor(windows, 500);

    dns::DnsServices services;
    services.udp = &udp;
    services.tasks = &tasks;
    services.fill = [](bool, std::string_view) {};
    dns::DnsTest test(windows, services, win32::placeOverForm);
    test.open(*main, dns::testRows({}, std::getenv("KORVAN_DNS_SERVERS")));
    auto* form = static_cast<win32::Win32Form*>(test.form());
    pumpFor(windows, 300);
    SendMessageW(form->unitHwnd(dns::kStartButton), BM_CLICK, 0, 0);
    for (int i = 0; i < 1500 && test.window()->running(); ++i) {
        windows.pump();
        Sleep(20);
    }
    if (test.window()->running()) {
        std::printf("test did not end\n");
        return 1;
    }
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(form->unitHwnd(dns::kList), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    SetFocus(form->unitHwnd(dns::kList));
    pumpFor(windows, 800);
    const bool written = writeWindowBmp(form->hwnd(), argv[2]);
    std::printf("status %s\n", form->text(dns::kStatus).c_str());
    test.close();
    pumpFor(windows, 200);
    return written ? 0 : 1;
}

// What a screen reader is told: every edit box, IP address field (and its
// four edits), list, drop list and progress bar of every window has a name
// through AccessibleObjectFromWindow, its label's or the one its layout
// gives it; buttons are named by their captions.
#include <windows.h>
#include <oleacc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/layouts.h"
#include "win_helpers.h"

namespace {

using AccFromWindowFn = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);

// The client object's own name, as an assistive tool reads it.
std::string nameOf(HWND h) {
    static const auto fn = reinterpret_cast<AccFromWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
    if (!fn || !h) return "<none>";
    IAccessible* acc = nullptr;
    if (FAILED(fn(h, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), reinterpret_cast<void**>(&acc))) || !acc)
        return "<no object>";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::string out = "<no name>";
    if (acc->get_accName(self, &name) == S_OK && name) out = win32::narrow(name);
    SysFreeString(name);
    acc->Release();
    return out;
}

struct Com {
    Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Com() { CoUninitialize(); }
};

}  // namespace

TEST(Names, EveryInputControlOfEveryWindowIsNamed) {
    Com com;
    win32::Win32Windows windows;
    int named = 0;
    for (const ui::Layout* l : layouts::all()) {
        auto* f = static_cast<win32::Win32Form*>(windows.create(*l));
        for (const ui::Unit& u : l->units) {
            if (!ui::needsName(u.kind)) continue;
            const std::string expected(ui::accessibleName(*l, u.name));
            EXPECT_EQ(nameOf(f->unitHwnd(u.name)), expected) << l->name << ": " << u.name;
            ++named;
        }
    }
    EXPECT_GT(named, 20);
}

TEST(Names, LabelsExplicitNamesInnerEditsAndCaptions) {
    Com com;
    win32::Win32Windows windows;
    auto* main = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    EXPECT_EQ(nameOf(main->unitHwnd("密码编辑框")), "FTP密码");
    EXPECT_EQ(nameOf(main->unitHwnd("编辑框6")), "要查询的域名");
    // The four edits of an IP field, left to right.
    HWND field = main->unitHwnd("IP编辑框1");
    std::vector<std::pair<LONG, std::string>> parts;
    for (HWND c = GetWindow(field, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        parts.emplace_back(r.left, nameOf(c));
    }
    std::sort(parts.begin(), parts.end());
    ASSERT_EQ(parts.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(parts[i].second, "本机　IP 第" + std::to_string(i + 1) + "段");
    // A button by its caption.
    EXPECT_EQ(nameOf(main->unitHwnd("按钮1")), "执行Ping");
}

// The main window built from its layout as real Win32 controls, driven with
// window messages: classes, places, captions, the launchers against a
// stand-in cmd.exe / mstsc.exe, the host box's filter and border, the menu
// and its accelerators, the ticker's painting and its rest while unseen, the
// focus kept across activations, the splash, and the whole start-up and close.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/win32/http_win32.h"
#include "platform/win32/platform_win32.h"
#include "win_helpers.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "shell/announcements.h"
#include "shell/app.h"
#include "tools/launchers.h"

using win32::narrow;
using win32::widen;

namespace {

using wintest::binaryDir;

std::string className(HWND h) {
    wchar_t buf[128] = {};
    GetClassNameW(h, buf, 128);
    return narrow(buf);
}

std::string windowText(HWND h) {
    wchar_t buf[4096] = {};
    SendMessageW(h, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buf));
    return narrow(buf);
}

// A unit's place in the window's client area, back in 96-DPI pixels.
RECT clientRect96(const win32::Win32Form& f, HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, f.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    const int d = f.dpi();
    return {MulDiv(r.left, 96, d), MulDiv(r.top, 96, d), MulDiv(r.right, 96, d), MulDiv(r.bottom, 96, d)};
}

using wintest::pumpUntil;

// Runs a modal window until it closes; should it still be open after
// `limitMs` (what was to close it never came), it is closed then and false
// is returned, so a test fails instead of hanging.
bool runModalAtMost(win32::Win32Windows& windows, ui::Form& form, int limitMs = 10000) {
    static ui::Form* guarded;
    static bool timedOut;
    guarded = &form;
    timedOut = false;
    const UINT_PTR guard = SetTimer(nullptr, 0, static_cast<UINT>(limitMs), [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        timedOut = true;
        guarded->close();
    });
    windows.runModal(form);
    KillTimer(nullptr, guard);
    return !timedOut;
}

struct MainWindowTest : ::testing::Test {
    win32::Win32Windows windows;
    win32::Win32Form* form = nullptr;
    void SetUp() override {
        form = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
        ASSERT_TRUE(form->alive());
    }
    HWND unit(std::string_view name) { return form->unitHwnd(name); }
};

}  // namespace

TEST_F(MainWindowTest, EveryUnitIsARealStandardControlInItsPlace) {
    EXPECT_EQ(windowText(form->hwnd()), "Korvan网络小工具 V1.1 [http://www.korvan.example]");

    struct Expect {
        const char* name;
        const char* cls;
        RECT place;   // client area, 96-DPI
    };
    const Expect expects[] = {
        {"分组框1", "Button", {8, 5, 312, 177}},
        {"按钮1", "Button", {16, 40, 81, 64}},          // in 分组框1 at 8, 35
        {"编辑框1", "Edit", {160, 16, 280, 36}},
        {"地址编辑框", "Edit", {79, 75, 159, 95}},      // 分组框1 + 分组框5 + 62, 11
        {"编辑框3", "Edit", {8, 183, 312, 235}},
        {"标签1", "Static", {171, 207, 263, 227}},
        {"按钮4", "Button", {16, 248, 304, 266}},
        {"IP编辑框1", "SysIPAddress32", {387, 43, 537, 63}},
        {"单选框3", "Button", {327, 211, 480, 235}},
        {"超级按钮1", "Button", {370, 272, 425, 288}},
        {"编辑框2", "Edit", {14, 293, 542, 456}},
        {"标签4", "Static", {16, 269, 144, 285}},       // over the frame's top edge
        {"画板1", "KorvanPanel", {77, 470, 548, 492}},
        {"分组框6", "Button", {556, 5, 898, 493}},
        {"编辑框4", "Edit", {24, 664, 104, 684}},
    };
    for (const Expect& e : expects) {
        HWND h = unit(e.name);
        ASSERT_NE(h, nullptr) << e.name;
        EXPECT_EQ(className(h), e.cls) << e.name;
        RECT r = clientRect96(*form, h);
        EXPECT_EQ(r.left, e.place.left) << e.name;
        EXPECT_EQ(r.top, e.place.top) << e.name;
        EXPECT_EQ(r.right, e.place.right) << e.name;
        EXPECT_EQ(r.bottom, e.place.bottom) << e.name;
    }
    // The flat buttons are standard push buttons; the group box is a frame.
    EXPECT_EQ(GetWindowLongW(unit("超级按钮2"), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_EQ(GetWindowLongW(unit("分组框4"), GWL_STYLE) & BS_TYPEMASK, BS_GROUPBOX);
    // The ticker label is painted by the canvas, which clips it: no window
    // of its own, its text kept by the form.
    EXPECT_EQ(unit("标签11"), nullptr);
    form->setText("标签11", "公告");
    EXPECT_EQ(form->text("标签11"), "公告");
    // The browser sits inside its clipping frame at negative offsets.
    HWND frame = unit("分组框9");
    EXPECT_EQ(GetParent(unit("超文本浏览框1")), frame);
    RECT b;
    GetWindowRect(unit("超文本浏览框1"), &b);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&b), 2);
    EXPECT_EQ(MulDiv(b.left, 96, form->dpi()), -65);
    EXPECT_EQ(MulDiv(b.top, 96, form->dpi()), -400);

    // Captions and contents through WM_GETTEXT.
    EXPECT_EQ(windowText(unit("按钮3")), "清空DNS缓存");
    EXPECT_EQ(windowText(unit("标签16")), "本机　IP：");
    EXPECT_EQ(windowText(unit("端口编辑框")), "21");
    EXPECT_EQ(windowText(unit("编辑框1")), "请不要输入http://");
    EXPECT_EQ(windowText(unit("编辑框2")), std::string(layouts::kRunnerHelp));
    EXPECT_EQ(windowText(unit("标签23")), "提示：部分域名可能因开启了域名注册信息保护无法查询到真实结果！");
    EXPECT_TRUE(GetWindowLongW(unit("密码编辑框"), GWL_STYLE) & ES_PASSWORD);

    // Hidden by design.
    EXPECT_FALSE(IsWindowVisible(unit("标签6")));
    EXPECT_FALSE(IsWindowVisible(unit("网卡信息_组合框")));
    EXPECT_FALSE(IsWindowVisible(unit("匿名登录选择框")));
    EXPECT_TRUE(GetWindowLongW(unit("网卡信息_组合框"), GWL_STYLE) & CBS_DROPDOWNLIST);
}

TEST_F(MainWindowTest, MenuShowsItsShortcutsAndAcceleratorsReachTheItems) {
    HMENU bar = GetMenu(form->hwnd());
    ASSERT_NE(bar, nullptr);
    wchar_t buf[128];
    GetMenuStringW(bar, 0, buf, 128, MF_BYPOSITION);
    EXPECT_EQ(narrow(buf), "[设置]");
    HMENU sub = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(sub), 5);   // a separator stands before the fourth item
    EXPECT_TRUE(GetMenuState(sub, 3, MF_BYPOSITION) & MF_SEPARATOR);
    const std::pair<int, const char*> expected[] = {
        {0, "开启特效\tCtrl+A"}, {1, "检测更新\tCtrl+S"}, {2, "关于软件\tCtrl+H"}, {4, "DNS测速\tCtrl+D"}};
    for (auto [i, text] : expected) {
        GetMenuStringW(sub, i, buf, 128, MF_BYPOSITION);
        EXPECT_EQ(narrow(buf), text);
        EXPECT_FALSE(GetMenuState(sub, i, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED));
    }

    // The accelerator table maps Ctrl+A, Ctrl+S, Ctrl+H, Ctrl+D to the four items.
    ACCEL acc[8];
    int n = CopyAcceleratorTableW(form->accelerators(), acc, 8);
    ASSERT_EQ(n, 4);
    const std::pair<WORD, std::string_view> keys[] = {
        {'A', layouts::kMenuEffect}, {'S', layouts::kMenuUpdate}, {'H', layouts::kMenuAbout}, {'D', layouts::kMenuDns}};
    for (auto [key, item] : keys) {
        bool found = false;
        for (int i = 0; i < n; ++i)
            if (acc[i].key == key && (acc[i].fVirt & (FCONTROL | FVIRTKEY)) == (FCONTROL | FVIRTKEY))
                found = acc[i].cmd == form->menuId(item);
        EXPECT_TRUE(found) << item;
    }

    // An accelerator message (WM_COMMAND, high word 1) reaches the item's
    // handler; a caption change keeps the shortcut text.
    int clicks = 0;
    form->on(layouts::kMenuAbout, ui::Event::Click, [&](ui::EventArgs&) { ++clicks; });
    SendMessageW(form->hwnd(), WM_COMMAND, MAKEWPARAM(form->menuId(layouts::kMenuAbout), 1), 0);
    EXPECT_EQ(clicks, 1);
    form->setText(layouts::kMenuEffect, "关闭特效");
    form->setChecked(layouts::kMenuEffect, true);
    GetMenuStringW(sub, 0, buf, 128, MF_BYPOSITION);
    EXPECT_EQ(narrow(buf), "关闭特效\tCtrl+A");
    EXPECT_TRUE(GetMenuState(sub, 0, MF_BYPOSITION) & MF_CHECKED);
    EXPECT_EQ(form->text(layouts::kMenuEffect), "关闭特效");
}

TEST_F(MainWindowTest, RealCtrlKeyOpensTheMenuItem) {
    int clicks = 0;
    form->on(layouts::kMenuAbout, ui::Event::Click, [&](ui::EventArgs&) { ++clicks; });
    form->setVisible("", true);
    SetForegroundWindow(form->hwnd());
    SetFocus(unit("按钮1"));
    // Keys go to the foreground window: without it the test says why.
    ASSERT_TRUE(pumpUntil(windows, [&] { return GetForegroundWindow() == form->hwnd(); }))
        << "the main window never came to the foreground";
    INPUT in[4] = {};
    for (auto& i : in) i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = VK_CONTROL;
    in[1].ki.wVk = 'H';
    in[2].ki.wVk = 'H';
    in[2].ki.dwFlags = KEYEVENTF_KEYUP;
    in[3].ki.wVk = VK_CONTROL;
    in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(4, in, sizeof(INPUT)), 4u);
    EXPECT_TRUE(pumpUntil(windows, [&] { return clicks > 0; }));
    EXPECT_EQ(clicks, 1);
}

TEST_F(MainWindowTest, HostBoxFiltersTypedAndPastedTextAndClearsOnClick) {
    win32::Win32Runner runner;
    tools::bindLaunchers(*form, runner);
    HWND box = unit("编辑框1");
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(windowText(box), "");
    for (wchar_t c : std::wstring(L"my-host.ex ample:80/中"))
        SendMessageW(box, WM_CHAR, c, 0);
    EXPECT_EQ(windowText(box), "myhost.example80");
    SendMessageW(box, WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(windowText(box), "myhost.example8");

    // Paste from the clipboard passes the same filter.
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    const std::wstring clip = L"a.com & calc | b\r\n";
    ASSERT_TRUE(OpenClipboard(form->hwnd()));
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (clip.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(mem), clip.c_str(), (clip.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(mem);
    SetClipboardData(CF_UNICODETEXT, mem);
    CloseClipboard();
    SendMessageW(box, WM_PASTE, 0, 0);
    EXPECT_EQ(windowText(box), "a.comcalcb");
}

TEST_F(MainWindowTest, LaunchersStartTheirCommandLinesThroughTheStandIns) {
    // The runner's system folder is a stand-in folder whose cmd.exe and
    // mstsc.exe log how they were started.
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::wstring log = std::wstring(tmp) + L"korvan_launchers_" + std::to_wstring(GetCurrentProcessId()) + L".log";
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"KORVAN_STANDIN_LOG", log.c_str());

    wintest::CountingRunner runner;
    tools::bindLaunchers(*form, runner);
    auto lines = [&] {
        std::vector<std::string> out;
        std::stringstream s(wintest::readAll(log));
        for (std::string line; std::getline(s, line);) out.push_back(line);
        return out;
    };
    auto clickAndWait = [&](const char* button, size_t count) {
        SendMessageW(unit(button), BM_CLICK, 0, 0);
        return pumpUntil(windows, [&] { return lines().size() >= count; });
    };

    SetWindowTextW(unit("编辑框1"), L"example.com");
    ASSERT_TRUE(clickAndWait("按钮1", 1));
    ASSERT_TRUE(clickAndWait("按钮2", 2));
    ASSERT_TRUE(clickAndWait("按钮6", 3));
    ASSERT_TRUE(clickAndWait("按钮3", 4));
    auto got = lines();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(runner.calls, 4);
    // name TAB sw=N TAB command line; SW_SHOWNORMAL is 1, SW_HIDE 0. The
    // name is the program that ran: the system folder's cmd or mstsc.
    EXPECT_EQ(got[0], "cmd\tsw=1\tcmd /k ping example.com -t");
    EXPECT_EQ(got[1], "cmd\tsw=1\tcmd /k tracert example.com -d");
    EXPECT_EQ(got[2], "mstsc\tsw=1\tmstsc /v:example.com");
    EXPECT_EQ(got[3], "cmd\tsw=0\tcmd /c ipconfig /flushdns");
    EXPECT_EQ(windowText(unit("状态标签")), "提示：DNS缓存已经清除！");

    // Empty host: the prompt, nothing started.
    SetWindowTextW(unit("编辑框1"), L"");
    for (const char* button : {"按钮1", "按钮2", "按钮6"}) SendMessageW(unit(button), BM_CLICK, 0, 0);
    EXPECT_EQ(windowText(unit("状态标签")), "提示：请输入正确的域名或IP地址");
    EXPECT_EQ(runner.calls, 4);

    SetEnvironmentVariableW(L"KORVAN_STANDIN_LOG", nullptr);
    DeleteFileW(log.c_str());
}

TEST(Splash, ClosesOnAClickAndOnFocusLoss) {
    win32::Win32Windows windows;
    // Another window of the tool exists meanwhile, as the main window does.
    auto* other = static_cast<win32::Win32Form*>(windows.create(layouts::about()));
    // A click into the picture.
    {
        auto* splash = static_cast<win32::Win32Form*>(windows.create(layouts::splash()));
        RECT r;
        GetWindowRect(splash->hwnd(), &r);
        EXPECT_EQ(MulDiv(r.right - r.left, 96, splash->dpi()), 800);
        EXPECT_EQ(MulDiv(r.bottom - r.top, 96, splash->dpi()), 600);
        EXPECT_EQ(GetWindowLongW(splash->hwnd(), GWL_STYLE) & WS_CAPTION, 0);
        int events = 0;
        splash->on("图片框1", ui::Event::MouseDown, [&](ui::EventArgs&) {
            ++events;
            splash->close();
        });
        PostMessageW(splash->unitHwnd("图片框1"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 300));
        EXPECT_TRUE(runModalAtMost(windows, *splash)) << "the click did not close the splash";
        EXPECT_EQ(events, 1);
    }
    // Another window takes the activation while the splash is up.
    {
        other->setVisible("", true);
        auto* splash = static_cast<win32::Win32Form*>(windows.create(layouts::splash()));
        bool lost = false;
        splash->on("", ui::Event::Deactivated, [&](ui::EventArgs&) {
            lost = true;
            splash->close();
        });
        static HWND target, shown;
        target = other->hwnd();
        shown = splash->hwnd();
        // Once the splash has the activation, the other window takes it.
        const UINT_PTR swap = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
            if (GetActiveWindow() != shown) return;
            KillTimer(nullptr, id);
            EnableWindow(target, TRUE);
            SetForegroundWindow(target);
            SetActiveWindow(target);
        });
        EXPECT_TRUE(runModalAtMost(windows, *splash)) << "the splash kept the activation";
        KillTimer(nullptr, swap);
        EXPECT_TRUE(lost);
        // The window that was disabled for the modal run works again.
        EXPECT_TRUE(IsWindowEnabled(other->hwnd()));
        DestroyWindow(other->hwnd());
    }
    // With the last window gone the loop's end is posted, as in the tool;
    // taken here, it cannot end the next test's loop.
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(Startup, MainWindowOpensAt563x543AndTheLastCloseEndsTheLoop) {
    win32::Win32Windows windows;
    win32::Win32Runner runner;
    win32::Win32Dialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    win32::Win32Registry registry;
    win32::Win32HttpGet httpGet;
    win32::Win32HttpTransport httpTransport;
    shell::Services services{windows, runner, dialogs, system, files, shellOpen, registry, httpGet, httpTransport};
    shell::App app(services);
    // Dismiss the splash with a click as soon as it shows.
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND splash = FindWindowW(L"KorvanWindow", L"");
        if (!splash || !IsWindowVisible(splash)) return;
        KillTimer(nullptr, id);
        HWND picture = GetWindow(splash, GW_CHILD);
        PostMessageW(picture ? picture : splash, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    });
    auto* main = static_cast<win32::Win32Form*>(app.openMainWindow());
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(IsWindowVisible(main->hwnd()));
    RECT r;
    GetWindowRect(main->hwnd(), &r);
    EXPECT_EQ(MulDiv(r.right - r.left, 96, main->dpi()), 563);
    EXPECT_EQ(MulDiv(r.bottom - r.top, 96, main->dpi()), 543);
    EXPECT_EQ(main->rect("").width, 563);
    EXPECT_EQ(windowText(main->unitHwnd("计算机名_编辑框")), system.hostName());
    EXPECT_FALSE(system.hostName().empty());

    // The about window is modeless and a second choice brings it forward.
    SendMessageW(main->hwnd(), WM_COMMAND, MAKEWPARAM(main->menuId(layouts::kMenuAbout), 1), 0);
    SendMessageW(main->hwnd(), WM_COMMAND, MAKEWPARAM(main->menuId(layouts::kMenuAbout), 1), 0);
    EXPECT_EQ(windows.liveWindows(), 2u);
    HWND about = FindWindowW(L"KorvanWindow", L"关于软件");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(IsWindowEnabled(main->hwnd()));
    EXPECT_EQ(GetWindow(about, GW_OWNER), nullptr);
    auto* aboutForm = windows.formOf(about);
    EXPECT_EQ(windowText(aboutForm->unitHwnd("标签1")), "Korvan网络小工具 V1.1");
    EXPECT_EQ(windowText(aboutForm->unitHwnd("标签2")).rfind("    欢迎使用Korvan网络辅助小工具V1.1，", 0), 0u);

    // Closing both windows ends the loop.
    PostMessageW(about, WM_CLOSE, 0, 0);
    PostMessageW(main->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(windows.run(), 0);
    EXPECT_EQ(windows.liveWindows(), 0u);
}

namespace {

// The paint messages the ticker's canvas gets.
struct PaintLog {
    int paints = 0;
    static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
        if (msg == WM_PAINT) {
            auto* log = reinterpret_cast<PaintLog*>(data);
            if (GetUpdateRect(h, nullptr, FALSE)) ++log->paints;
        }
        return DefSubclassProc(h, msg, wp, lp);
    }
};

// The timer messages of the main window (the ticker's clock is its only
// timer): their id, and when the last one arrived, taken before the window
// itself reads the time for it.
struct TimerLog {
    UINT_PTR id = 0;
    int arrivals = 0;
    ULONGLONG lastArrival = 0;
    static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
        if (msg == WM_TIMER) {
            auto* log = reinterpret_cast<TimerLog*>(data);
            log->lastArrival = GetTickCount64();
            log->id = wp;
            ++log->arrivals;
        }
        return DefSubclassProc(h, msg, wp, lp);
    }
};

// The canvas's pixels as they are on the screen, row by row.
struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> bits;
    bool operator==(const Pixels&) const = default;
    DWORD at(int x, int y) const { return bits[static_cast<size_t>(y) * width + x]; }
    // Pixels that differ from the commonest one (the strip's face).
    size_t drawn() const {
        std::map<DWORD, size_t> counts;
        for (DWORD p : bits) ++counts[p];
        size_t most = 0;
        for (auto& [p, n] : counts) most = std::max(most, n);
        return bits.size() - most;
    }
    // The columns holding a pixel of this colour, as [first, last], or {-1, -1}.
    std::pair<int, int> columnsOf(DWORD colour) const {
        std::pair<int, int> span{-1, -1};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((at(x, y) & 0xFFFFFF) == colour) {
                    if (span.first < 0 || x < span.first) span.first = x;
                    span.second = std::max(span.second, x);
                }
        return span;
    }
};

Pixels strip(HWND canvas) {
    RECT r;
    GetClientRect(canvas, &r);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB};
    void* bits = nullptr;
    HDC dc = GetDC(canvas);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    GdiFlush();
    Pixels out{r.right, r.bottom, {}};
    out.bits.assign(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + r.right * r.bottom);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
    ReleaseDC(canvas, dc);
    return out;
}

// The strip as it is, then as a whole repaint draws it: the same, and
// showing text (a blank read-back would compare equal too).
void expectRepaintKeepsTheStrip(HWND canvas) {
    UpdateWindow(canvas);
    const Pixels shown = strip(canvas);
    EXPECT_GT(shown.drawn(), 10u) << "the strip shows no text";
    InvalidateRect(canvas, nullptr, FALSE);
    UpdateWindow(canvas);
    EXPECT_TRUE(strip(canvas) == shown) << "a whole repaint draws another strip";
}

}  // namespace

TEST_F(MainWindowTest, TickerMovesThePixelsItDrewAndDrawsOnlyTheColumnItUncovers) {
    // An announcement of a megabyte and more: a tick costs what a short one does.
    std::string text;
    while (text.size() < (1u << 20)) text += "最新公告：服务器维护通知 Server maintenance tonight. ";
    form->setText("标签11", "x");
    shell::setUpTicker(*form, [&] { return text; });
    // Well into the strip from the start, not after 200 ticks.
    ui::Rect label = form->rect("标签11");
    label.left = 290;
    form->setRect("标签11", label);
    HWND canvas = unit("画板1");
    PaintLog log;
    SetWindowSubclass(canvas, PaintLog::proc, 7, reinterpret_cast<DWORD_PTR>(&log));
    TimerLog timers;
    SetWindowSubclass(form->hwnd(), TimerLog::proc, 8, reinterpret_cast<DWORD_PTR>(&timers));
    form->setVisible("", true);
    // Paints come before ticks: once the text moved, the window is drawn.
    ASSERT_TRUE(pumpUntil(windows, [&] { return form->rect("标签11").left < 290; }));
    // Ten ticks slide the text without a paint message.
    log = {};
    const int from = form->rect("标签11").left;
    ASSERT_TRUE(pumpUntil(windows, [&] { return form->rect("标签11").left <= from - 10; }));
    EXPECT_EQ(log.paints, 0) << "a tick draws the column it uncovers itself; nothing else waits for a paint";

    // What the slides left on the screen is what a whole repaint draws.
    form->setTimerPeriod("时钟1", 0);
    expectRepaintKeepsTheStrip(canvas);

    // A mark planted on the text moves with the next tick, by its step.
    ASSERT_NE(timers.id, 0u);
    const int dpi = form->dpi();
    const int before = form->rect("标签11").left;
    RECT client;
    GetClientRect(canvas, &client);
    label = form->rect("标签11");
    const int x = (std::max(MulDiv(before, dpi, 96), 0) + client.right) / 2;
    const int y = MulDiv(label.top + label.height / 2, dpi, 96);
    const DWORD green = 0x00FF00;   // the same in a COLORREF and a DIB pixel
    HDC dc = GetDC(canvas);
    RECT mark{x, y - 1, x + 2, y + 1};
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &mark, brush);
    DeleteObject(brush);
    ReleaseDC(canvas, dc);
    ASSERT_EQ(strip(canvas).columnsOf(green), std::make_pair(x, x + 1)) << "the mark was not planted";
    SendMessageW(form->hwnd(), WM_TIMER, timers.id, 0);
    const int after = form->rect("标签11").left;
    EXPECT_EQ(after, shell::advanceTickerLeft(before, label.width, form->rect("画板1").width, 1));
    const int step = MulDiv(after, dpi, 96) - MulDiv(before, dpi, 96);
    EXPECT_EQ(strip(canvas).columnsOf(green), std::make_pair(x + step, x + 1 + step));
    RemoveWindowSubclass(form->hwnd(), TimerLog::proc, 8);
    RemoveWindowSubclass(canvas, PaintLog::proc, 7);
}

TEST_F(MainWindowTest, TickerRestsWhileNobodyCanSeeItAndComesBackWhereItWouldBe) {
    form->setText("标签11", "x");
    shell::setUpTicker(*form, [] { return std::string("十个中文字符的公告啊"); });
    const int width = form->rect("标签11").width, stripWidth = form->rect("画板1").width;
    // Every tick the ticker got: when the test saw it and the periods it counted.
    struct Tick {
        ULONGLONG at;
        int periods;
    };
    std::vector<Tick> ticks;
    form->on("时钟1", ui::Event::Tick, [&](ui::EventArgs& e) { ticks.push_back({GetTickCount64(), e.code}); });
    PaintLog log;
    SetWindowSubclass(unit("画板1"), PaintLog::proc, 7, reinterpret_cast<DWORD_PTR>(&log));
    TimerLog timers;
    SetWindowSubclass(form->hwnd(), TimerLog::proc, 8, reinterpret_cast<DWORD_PTR>(&timers));
    form->setVisible("", true);
    ASSERT_TRUE(pumpUntil(windows, [&] { return ticks.size() >= 3; }));

    auto rest = [&](auto hide, auto show) {
        // The clock's last tick before the rest: the window counts the rest
        // from the time it read for it, which is not before `lastTick`.
        const int arrivals = timers.arrivals;
        ASSERT_TRUE(pumpUntil(windows, [&] { return timers.arrivals > arrivals; }));
        const ULONGLONG lastTick = timers.lastArrival;
        hide();
        const size_t ticksAtRest = ticks.size();
        const int paintsAtRest = log.paints, left = form->rect("标签11").left;
        const ULONGLONG restedAt = GetTickCount64();
        pumpUntil(windows, [] { return false; }, 500);
        EXPECT_EQ(ticks.size(), ticksAtRest) << "no tick while unseen";
        EXPECT_EQ(log.paints, paintsAtRest) << "no paint while unseen";
        EXPECT_EQ(form->rect("标签11").left, left);
        show();
        // The paint it is due, done now: the catch-up tick then has nothing
        // to paint before it moves the text, and its time is the tick's.
        RedrawWindow(form->hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        const ULONGLONG back = GetTickCount64();
        ASSERT_TRUE(pumpUntil(windows, [&] { return ticks.size() > ticksAtRest; }));
        // The first tick back counts every period of the rest, and no more
        // than went by from the last tick to this one.
        const Tick first = ticks[ticksAtRest];
        const auto period = static_cast<ULONGLONG>(shell::kTickerPeriodMs);
        EXPECT_GE(first.periods, static_cast<long long>((back - restedAt) / period));
        EXPECT_LE(first.periods, static_cast<long long>((first.at - lastTick) / period));
        // The text stands where those ticks take it.
        long long periods = 0;
        for (size_t i = ticksAtRest; i < ticks.size(); ++i) periods += ticks[i].periods;
        EXPECT_EQ(form->rect("标签11").left, shell::advanceTickerLeft(left, width, stripWidth, periods));
    };
    rest([&] { ShowWindow(form->hwnd(), SW_MINIMIZE); }, [&] { ShowWindow(form->hwnd(), SW_RESTORE); });
    // Hidden, as while the update window is up.
    rest([&] { form->setVisible("", false); }, [&] { form->setVisible("", true); });
    form->setTimerPeriod("时钟1", 0);
    expectRepaintKeepsTheStrip(unit("画板1"));
    RemoveWindowSubclass(form->hwnd(), TimerLog::proc, 8);
    RemoveWindowSubclass(unit("画板1"), PaintLog::proc, 7);
}

TEST_F(MainWindowTest, FocusComesBackToTheControlThatHadItAndTheFontIsOwned) {
    // Start-up moves the focus to 编辑框3 while the window is still hidden,
    // then a task-modal notice comes and goes before the window shows.
    form->focus("编辑框3");
    {
        // Answered from its own modal loop once it shows; should it never
        // look as expected, the watchdog closes it and the test fails.
        wintest::DialogWatchdog watchdog(10000);
        const UINT_PTR answer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
            HWND box = FindWindowW(L"#32770", L"系统提示");
            if (!box || !IsWindowVisible(box)) return;
            KillTimer(nullptr, id);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(MessageBoxW(nullptr, L"今晚维护", L"系统提示", MB_OK | MB_ICONINFORMATION | MB_TASKMODAL), IDOK);
        KillTimer(nullptr, answer);
    }
    form->setVisible("", true);
    EXPECT_TRUE(pumpUntil(windows, [&] { return form->hasFocus("编辑框3"); }));

    // Another window takes the activation and gives it back.
    auto* other = static_cast<win32::Win32Form*>(windows.create(layouts::about()));
    other->setVisible("", true);
    EXPECT_TRUE(pumpUntil(windows, [&] { return GetActiveWindow() == other->hwnd(); }));
    EXPECT_FALSE(form->hasFocus("编辑框3"));
    SetForegroundWindow(form->hwnd());
    SetActiveWindow(form->hwnd());
    EXPECT_TRUE(pumpUntil(windows, [&] { return form->hasFocus("编辑框3"); }));
    DestroyWindow(other->hwnd());

    // A font handed out is the caller's own value.
    static_assert(std::is_same_v<decltype(form->font("")), ui::Font>);
    static_assert(std::is_same_v<decltype(ui::Font::face), std::string>);
    const ui::Font plain = form->font("标签2");
    EXPECT_FALSE(plain.face.empty());
    form->setFont("画板1", plain);
    form->setFont("标签2", ui::Font{"宋体", 12});
    EXPECT_EQ(form->font("画板1"), plain);
    EXPECT_EQ(form->font("标签2"), (ui::Font{"宋体", 12}));
}

TEST_F(MainWindowTest, HostBoxHasASingleLineBorder) {
    // The edit control takes WS_BORDER over and draws the line itself, in
    // its client area: no sunken edge around it.
    HWND box = unit("编辑框1");
    EXPECT_FALSE(GetWindowLongW(box, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
    RECT w, c;
    GetWindowRect(box, &w);
    GetClientRect(box, &c);
    EXPECT_EQ(c.right, w.right - w.left);
    form->setVisible("", true);
    UpdateWindow(box);
    HDC dc = GetDC(box);
    const COLORREF edge = GetPixel(dc, 0, c.bottom / 2), inside = GetPixel(dc, 3, c.bottom / 2);
    ReleaseDC(box, dc);
    EXPECT_EQ(edge, GetSysColor(COLOR_WINDOWFRAME)) << "a line round the box";
    EXPECT_NE(edge, inside);
    EXPECT_TRUE(GetWindowLongW(unit("地址编辑框"), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) << "the other boxes keep theirs";
}

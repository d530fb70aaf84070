// The whois panel through the real main window: the window's real outer size
// after each press of the toggle, the lookup address the browser is sent to,
// the browser container's real place inside its clipping frame, and the real
// WebBrowser host in this Wine prefix, which has no browser engine, and where
// the control cannot be created at all.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/browser_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/http_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "shell/app.h"
#include "win_helpers.h"

using namespace wintest;

namespace {

// Records the addresses and moves its unit, as the real browser does.
struct RecordingBrowser : platform::Browser {
    ui::Form& form;
    std::string unit;
    std::vector<std::string>& addresses;
    RecordingBrowser(ui::Form& f, std::string_view u, std::vector<std::string>& a) : form(f), unit(u), addresses(a) {}
    bool navigate(std::string_view address) override {
        addresses.emplace_back(address);
        return true;
    }
    void setTop(int top) override {
        ui::Rect r = form.rect(unit);
        r.top = top;
        form.setRect(unit, r);
    }
};

struct RecordingBrowsers : platform::Browsers {
    std::vector<std::string> addresses;
    std::unique_ptr<platform::Browser> attach(ui::Form& form, std::string_view unit) override {
        return std::make_unique<RecordingBrowser>(form, unit, addresses);
    }
};

// Real browsers, remembering the one handed out.
struct RealBrowsers : platform::Browsers {
    win32::Win32Browsers real;
    platform::Browser* last = nullptr;
    std::unique_ptr<platform::Browser> attach(ui::Form& form, std::string_view unit) override {
        auto b = real.attach(form, unit);
        last = b.get();
        return b;
    }
};

struct ScriptedDialogs : platform::Dialogs {
    std::vector<std::string> shown;
    platform::Answer messageBox(const platform::MessageBoxSpec& s) override {
        shown.push_back(std::string(s.text) + "|" + std::string(s.title) + "|" +
                        std::to_string(static_cast<int>(s.icon)) + "|" + std::to_string(static_cast<int>(s.buttons)));
        return platform::Answer::Ok;
    }
};

struct WhoisPanel : ::testing::Test {
    win32::Win32Windows windows;
    win32::Win32Runner runner;
    ScriptedDialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    win32::Win32Registry registry;
    win32::Win32HttpGet httpGet;
    win32::Win32HttpTransport httpTransport;
    shell::Services services{windows, runner, dialogs, system, files, shellOpen, registry, httpGet, httpTransport};
    std::unique_ptr<shell::App> app;
    win32::Win32Form* main = nullptr;

    void open(platform::Browsers& browsers) {
        services.browsers = &browsers;
        app = std::make_unique<shell::App>(services);
        main = openMain(*app);
        ASSERT_NE(main, nullptr);
    }
    void TearDown() override {
        if (main && main->alive()) DestroyWindow(main->hwnd());
        app.reset();
    }
    void click(const char* unit) { SendMessageW(main->unitHwnd(unit), BM_CLICK, 0, 0); }
    // The browser container's place inside its clipping frame, 96-DPI.
    POINT browserPlace() {
        RECT b;
        GetWindowRect(main->unitHwnd("超文本浏览框1"), &b);
        MapWindowPoints(nullptr, main->unitHwnd("分组框9"), reinterpret_cast<POINT*>(&b), 2);
        return {MulDiv(b.left, 96, main->dpi()), MulDiv(b.top, 96, main->dpi())};
    }
};

}  // namespace

TEST_F(WhoisPanel, FirstPressOpensThePanelAndTheNextClosesIt) {
    RecordingBrowsers browsers;
    open(browsers);
    RECT before;
    GetWindowRect(main->hwnd(), &before);
    ASSERT_EQ(outerSize(*main).cx, 563);
    ASSERT_EQ(outerSize(*main).cy, 543);

    click("按钮4");
    EXPECT_EQ(outerSize(*main).cx, 916);
    EXPECT_EQ(outerSize(*main).cy, 555);
    EXPECT_EQ(windowText(main->unitHwnd("按钮4")), "关闭查询");
    RECT wide;
    GetWindowRect(main->hwnd(), &wide);
    EXPECT_EQ(wide.left, before.left);   // only the right edge moves
    EXPECT_EQ(wide.top, before.top);
    // The panel is inside the window now.
    RECT client, panel;
    GetClientRect(main->hwnd(), &client);
    GetWindowRect(main->unitHwnd("分组框6"), &panel);
    MapWindowPoints(nullptr, main->hwnd(), reinterpret_cast<POINT*>(&panel), 2);
    EXPECT_LE(panel.right, client.right);

    click("按钮4");
    EXPECT_EQ(outerSize(*main).cx, 563);
    EXPECT_EQ(outerSize(*main).cy, 543);
    EXPECT_EQ(windowText(main->unitHwnd("按钮4")), "域名whois查询");

    // A window of another size is first brought to the narrow size.
    SetWindowPos(main->hwnd(), nullptr, 0, 0, MulDiv(700, main->dpi(), 96), MulDiv(600, main->dpi(), 96),
                 SWP_NOMOVE | SWP_NOZORDER);
    click("按钮4");
    EXPECT_EQ(outerSize(*main).cx, 563);
    EXPECT_EQ(outerSize(*main).cy, 543);
    EXPECT_EQ(windowText(main->unitHwnd("按钮4")), "域名whois查询");
    click("按钮4");
    EXPECT_EQ(outerSize(*main).cx, 916);
}

TEST_F(WhoisPanel, LookupSendsTheConfiguredAddressAndMovesThePageUp) {
    _putenv_s("KORVAN_WHOIS_URL", "http://127.0.0.1:9/whois/");
    RecordingBrowsers browsers;
    open(browsers);
    _putenv_s("KORVAN_WHOIS_URL", "");
    click("按钮4");
    EXPECT_EQ(browserPlace().x, -65);
    EXPECT_EQ(browserPlace().y, -400);

    // Empty domain: the message box, then the caret in the domain box.
    SetFocus(main->unitHwnd("按钮5"));
    click("按钮5");
    EXPECT_EQ(dialogs.shown, (std::vector<std::string>{"请输入正确的域名后再查询!|提示|1|0"}));
    EXPECT_EQ(GetFocus(), main->unitHwnd("编辑框6"));
    EXPECT_TRUE(browsers.addresses.empty());
    EXPECT_EQ(browserPlace().y, -400);

    setWindowText(main->unitHwnd("编辑框6"), "www.example.com");
    click("按钮5");
    setWindowText(main->unitHwnd("编辑框6"), "例子.cn");
    click("按钮5");
    EXPECT_EQ(browsers.addresses,
              (std::vector<std::string>{"http://127.0.0.1:9/whois/www.example.com", "http://127.0.0.1:9/whois/例子.cn"}));
    EXPECT_EQ(browserPlace().x, -65);
    EXPECT_EQ(browserPlace().y, -280);
    RECT b;
    GetWindowRect(main->unitHwnd("超文本浏览框1"), &b);
    EXPECT_EQ(MulDiv(b.right - b.left, 96, main->dpi()), 400);
    EXPECT_EQ(MulDiv(b.bottom - b.top, 96, main->dpi()), 749);
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(WhoisPanel, EngineLessBrowserOfThisPrefixBreaksNothing) {
    // Wine without its browser engine still creates the control; it just
    // cannot show a page. Whatever it manages, the window goes on working.
    RealBrowsers browsers;
    open(browsers);
    HWND container = main->unitHwnd("超文本浏览框1");
    click("按钮4");
    setWindowText(main->unitHwnd("编辑框6"), "example.com");
    click("按钮5");
    EXPECT_EQ(browserPlace().y, -280);
    // Here the control is created and takes the address (it cannot show the
    // page), and it lives inside the container.
    EXPECT_TRUE(browsers.last->navigate("http://127.0.0.1:9/again"));
    EXPECT_NE(GetWindow(container, GW_CHILD), nullptr);

    EXPECT_TRUE(RedrawWindow(main->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN));
    windows.pump();
    click("按钮4");
    EXPECT_EQ(outerSize(*main).cx, 563);
    // Closing closes the control with its window; the loop ends.
    PostMessageW(main->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(windows.run(), 0);
    EXPECT_EQ(windows.liveWindows(), 0u);
    main = nullptr;
}

TEST_F(WhoisPanel, WhereTheControlCannotBeCreatedThePanelStaysBlank) {
    // A thread in the multi-threaded apartment cannot host the control: the
    // real creation path fails here, as it does on a machine without one.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    RealBrowsers browsers;
    open(browsers);
    HWND container = main->unitHwnd("超文本浏览框1");
    click("按钮4");
    setWindowText(main->unitHwnd("编辑框6"), "example.com");
    click("按钮5");
    EXPECT_FALSE(browsers.last->navigate("http://127.0.0.1:9/again"));
    EXPECT_EQ(GetWindow(container, GW_CHILD), nullptr);
    EXPECT_EQ(browserPlace().y, -280);
    EXPECT_EQ(dialogs.shown.size(), 0u);

    // The rest of the window is unaffected.
    click("按钮4");
    EXPECT_EQ(outerSize(*main).cx, 563);
    setWindowText(main->unitHwnd("编辑框6"), "");
    click("按钮5");
    EXPECT_EQ(dialogs.shown.size(), 1u);
    PostMessageW(main->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(windows.run(), 0);
    main = nullptr;
    CoUninitialize();
}

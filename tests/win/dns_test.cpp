// The DNS test through the real main window and its menu, against fixture
// resolvers on the loopback (tests/fixtures/with-dns-servers, modes in the
// order of KORVAN_DNS_FIXTURE_MODES below): real datagrams through Winsock,
// the worker's results posted to the window, the rows' order and notes,
// the fill of the main window's DNS field, and not one registry write.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dns/window.h"
#include "platform/win32/confirm_win32.h"
#include "platform/win32/dns_win32.h"
#include "platform/win32/http_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "shell/app.h"
#include "win_helpers.h"

using namespace wintest;

namespace {

// The real registry, with every write counted.
struct CountingRegistry : platform::Registry {
    win32::Win32Registry real;
    int writes = 0;
    std::optional<Key> open(platform::RegistryRoot root, std::string_view path, platform::RegistryAccess access) override {
        if (access != platform::RegistryAccess::Read) ++writes;
        return real.open(root, path, access);
    }
    std::optional<platform::RegistryValue> query(Key key, std::string_view name) override { return real.query(key, name); }
    bool set(Key key, std::string_view name, platform::RegistryType type, std::string_view data) override {
        ++writes;
        return false;
    }
    void close(Key key) override { real.close(key); }
    platform::RawRead queryRaw(Key key, std::string_view name) override { return real.queryRaw(key, name); }
    bool setRaw(Key, std::string_view, const platform::RawValue&) override {
        ++writes;
        return false;
    }
    bool remove(Key, std::string_view) override {
        ++writes;
        return false;
    }
};

struct SilentDialogs : platform::Dialogs {
    platform::Answer messageBox(const platform::MessageBoxSpec&) override { return platform::Answer::Ok; }
};

std::vector<std::string> fixtureAddresses() {
    std::vector<std::string> out;
    std::string all = std::getenv("KORVAN_DNS_SERVERS") ? std::getenv("KORVAN_DNS_SERVERS") : "";
    for (size_t from = 0; from < all.size();) {
        const size_t comma = all.find(',', from);
        out.push_back(all.substr(from, comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return out;
}

}  // namespace

TEST(DnsTestWindow, OpensFromTheMenuSortsTheFixturesAndFillsTheMainWindow) {
    // fast, silent, refusing, hijacking:300, wrong-id-first:600, slow:900
    const auto fixtures = fixtureAddresses();
    ASSERT_EQ(fixtures.size(), 6u) << "run through tests/fixtures/with-dns-servers";

    win32::Win32Windows windows;
    win32::Win32Runner runner;
    SilentDialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    CountingRegistry registry;
    win32::Win32HttpGet httpGet;
    win32::Win32HttpTransport httpTransport;
    shell::Services services{windows, runner, dialogs, system, files, shellOpen, registry, httpGet, httpTransport};
    win32::Win32Udp udp;   // outlives the workers
    win32::Win32Tasks tasks;
    services.tasks = &tasks;
    services.udp = &udp;
    services.placeDns = win32::placeOverForm;
    auto app = std::make_unique<shell::App>(services);
    win32::Win32Form* main = openMain(*app);
    ASSERT_NE(main, nullptr);

    // [设置]: the three items, a separator, then the fourth.
    HMENU sub = GetSubMenu(GetMenu(main->hwnd()), 0);
    ASSERT_EQ(GetMenuItemCount(sub), 5);
    EXPECT_TRUE(GetMenuState(sub, 3, MF_BYPOSITION) & MF_SEPARATOR);
    wchar_t buf[128] = {};
    GetMenuStringW(sub, 4, buf, 128, MF_BYPOSITION);
    EXPECT_EQ(win32::narrow(buf), "DNS测速\tCtrl+D");

    // Ctrl+D's command opens the window, owned by the main window; a
    // second choice brings the same one to the front.
    SendMessageW(main->hwnd(), WM_COMMAND, MAKEWPARAM(main->menuId(layouts::kMenuDns), 1), 0);
    auto* form = static_cast<win32::Win32Form*>(app->dnsTest().form());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(windowText(form->hwnd()), "DNS测速");
    EXPECT_EQ(GetWindow(form->hwnd(), GW_OWNER), main->hwnd());
    EXPECT_TRUE(IsWindowVisible(form->hwnd()));
    SendMessageW(main->hwnd(), WM_COMMAND, MAKEWPARAM(main->menuId(layouts::kMenuDns), 1), 0);
    EXPECT_EQ(app->dnsTest().form(), form);
    ASSERT_EQ(form->itemCount(dns::kList), 6);
    EXPECT_FALSE(IsWindowEnabled(form->unitHwnd(dns::kPreferredButton)));

    SendMessageW(form->unitHwnd(dns::kStartButton), BM_CLICK, 0, 0);
    EXPECT_EQ(windowText(form->unitHwnd(dns::kStartButton)), "停止测速");
    ASSERT_TRUE(pumpUntil(windows, [&] { return windowText(form->unitHwnd(dns::kStatus)).starts_with("测速完成"); }, 60000))
        << windowText(form->unitHwnd(dns::kStatus));
    EXPECT_EQ(windowText(form->unitHwnd(dns::kStartButton)), "开始测速");
    EXPECT_EQ(SendMessageW(form->unitHwnd(dns::kProgress), PBM_GETPOS, 0, 0), 1000);

    // Sorted: the answering ones by their times, then the lost ones.
    const int order[] = {0, 3, 4, 5, 1, 2};
    const char* notes[] = {"", "劫持", "", "", "无响应", "拒绝"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(form->itemText(dns::kList, i, 1), fixtures[order[i]]) << i;
        EXPECT_EQ(form->itemText(dns::kList, i, 5), notes[i]) << i;
    }
    EXPECT_EQ(form->itemText(dns::kList, 0, 4), "0%");
    EXPECT_EQ(form->itemText(dns::kList, 4, 2), "—");
    EXPECT_EQ(form->itemText(dns::kList, 5, 4), "100%");

    // The fastest row into the main window's preferred field, locked.
    HWND list = form->unitHwnd(dns::kList);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    ASSERT_TRUE(pumpUntil(windows, [&] { return IsWindowEnabled(form->unitHwnd(dns::kPreferredButton)) != FALSE; }));
    SendMessageW(form->unitHwnd(dns::kPreferredButton), BM_CLICK, 0, 0);
    EXPECT_EQ(main->text("IP编辑框4"), "127.0.0.1");
    EXPECT_FALSE(IsWindowEnabled(main->unitHwnd("IP编辑框4")));
    EXPECT_FALSE(IsWindowEnabled(main->unitHwnd("IP编辑框5")));
    EXPECT_EQ(registry.writes, 0);

    // Hidden main window (as the update hides it): the window goes.
    ShowWindow(main->hwnd(), SW_HIDE);
    EXPECT_TRUE(pumpUntil(windows, [&] { return app->dnsTest().form() == nullptr; }));
    if (main->alive()) DestroyWindow(main->hwnd());
    app.reset();
}

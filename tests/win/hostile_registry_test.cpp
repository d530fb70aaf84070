// Hostile registry contents under Wine's real registry, through the real
// main window: values of the wrong type, larger than the read buffer, with
// an odd byte count or a broken UTF-16 character, adapter entries without
// values. The test makes its own keys under HKLM and removes them again.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "adapter/panel.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "registry_helpers.h"
#include "win_helpers.h"

using namespace std::string_literals;
using win32::widen;

namespace {

using namespace regtest;

const std::string kId1 = "{4B0A7E21-9C3D-4F6E-8A5B-1C2D3E4F5A71}";
const std::string kId2 = "{4B0A7E21-9C3D-4F6E-8A5B-1C2D3E4F5A72}";
const std::string kId3 = "{4B0A7E21-9C3D-4F6E-8A5B-1C2D3E4F5A73}";
constexpr int kEntries = 6;
const std::string kLongName = "Hostile A " + std::string(16384, 'W');

struct NoDialogs : platform::Dialogs {
    std::vector<std::string> shown;
    platform::Answer messageBox(const platform::MessageBoxSpec& s) override {
        shown.emplace_back(s.text);
        return platform::Answer::Ok;
    }
};

using Strings = std::vector<std::string>;
const Strings kBlank(5);

class HostileRegistryWine : public ::testing::Test {
protected:
    void SetUp() override {
        // Never touch entries this test did not make; its own left by an
        // interrupted run go.
        const bool leftOver = keyExists(interfaceKey(kId1));
        if (leftOver) removeKeys();
        ASSERT_FALSE(keyExists(entryKey(0))) << "adapter entries exist already; refusing to touch them";
        m_createdClassKey = leftOver || !keyExists(classKey());

        // 0000: an adapter with a 16 KiB name whose interface values all
        // have the wrong type or size, but for a NameServer with an odd
        // byte count.
        addEntry(0, kLongName, kId1);
        const std::string k1 = interfaceKey(kId1);
        putText(k1, "EnableDHCP", REG_SZ, "1\0"s);
        putDword(k1, "IPAddress", 0x0100000A);
        putRaw(k1, "SubnetMask", REG_BINARY, "255.0.0.0\0\0", 11);
        putText(k1, "DefaultGateway", REG_MULTI_SZ, "10.0.0.1" + std::string(292, ' ') + "\0\0"s);
        putWide(k1, "NameServer", REG_SZ, L"8.8.8.8", 1);
        // 0001: passes the walk as an adapter, holds nothing else.
        putText(entryKey(1) + "\\Linkage", "UpperBind", REG_MULTI_SZ, "Tcpip\0\0"s);
        putText(entryKey(1) + "\\Ndi\\Interfaces", "LowerRange", REG_SZ, "ethernet\0"s);
        // 0002: numbers and raw bytes where texts belong; its interface key
        // holds a two-byte EnableDHCP of 1.
        addEntry(2, "", kId2);
        putDword(entryKey(2) + "\\Linkage", "UpperBind", 7);
        putRaw(entryKey(2), "DriverDesc", REG_BINARY, "Desc", 4);
        putRaw(interfaceKey(kId2), "EnableDHCP", REG_DWORD, "\1\0", 2);
        putText(interfaceKey(kId2), "IPAddress", REG_MULTI_SZ, "10.0.0.2\0\0"s);
        // 0003: a broken UTF-16 character in the name; texts over 256 bytes
        // as stored but not as text.
        addEntry(3, "", kId3);
        putWide(entryKey(3), "DriverDesc", REG_SZ, std::wstring(L"Bad") + wchar_t(0xD800) + L"Desc" + wchar_t(0));
        putRaw(interfaceKey(kId3), "EnableDHCP", REG_QWORD, "\0\0\0\0\0\0\0\0", 8);
        putText(interfaceKey(kId3), "IPAddress", REG_MULTI_SZ, "10.0.0.3" + std::string(190, ' ') + "\0\0"s);
        std::string wide;   // 100 characters: 200 bytes stored, 300 as text
        for (int i = 0; i < 100; ++i) wide += "网";
        putText(interfaceKey(kId3), "SubnetMask", REG_MULTI_SZ, "255.0.0.0\0"s + wide + "\0\0"s);
        putDword(interfaceKey(kId3), "NameServer", 0x08080808);
        // 0004 holds nothing: the walk ends before 0005.
        createKey(entryKey(4));
        addEntry(5, "Unreached", "{unreached}");

        form = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
        ASSERT_TRUE(form->alive());
        adapter::bindAdapterPanel(*form, lists, {registry, runner, dialogs});
    }

    void addEntry(int i, const std::string& desc, const std::string& id) {
        const std::string key = entryKey(i);
        putText(key + "\\Linkage", "UpperBind", REG_MULTI_SZ, "Tcpip\0\0"s);
        putText(key + "\\Ndi\\Interfaces", "LowerRange", REG_SZ, "ethernet\0"s);
        putText(key, "DriverDesc", REG_SZ, desc + '\0');
        putText(key, "NetCfgInstanceId", REG_SZ, id + '\0');
    }

    void removeKeys() {
        for (int i = 0; i < kEntries; ++i) deleteTree(entryKey(i));
        for (const std::string& id : {kId1, kId2, kId3}) deleteTree(interfaceKey(id));
    }

    void TearDown() override {
        removeKeys();
        if (m_createdClassKey) deleteTree(classKey());
    }

    HWND unit(std::string_view name) { return form->unitHwnd(name); }
    Strings fields() {
        Strings out;
        for (auto f : adapter::kFields) out.push_back(ipText(unit(f)));
        return out;
    }
    Strings items() {
        HWND list = unit("网卡信息_组合框");
        Strings out;
        const int n = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            std::wstring buf(SendMessageW(list, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf.data()));
            out.push_back(win32::narrow(buf.c_str()));
        }
        return out;
    }
    // The user's choice of list entry `index`.
    void choose(int index) {
        HWND list = unit("网卡信息_组合框");
        SendMessageW(list, CB_SETCURSEL, index, 0);
        SendMessageW(form->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    }

    win32::Win32Windows windows;
    win32::Win32Form* form = nullptr;
    win32::Win32Registry registry;
    win32::Win32Runner runner;
    NoDialogs dialogs;
    adapter::AdapterLists lists;
    bool m_createdClassKey = false;
};

}  // namespace

TEST_F(HostileRegistryWine, WrongTypesSizesAndEmptyEntriesShowBlank) {
    SendMessageW(unit("刷新_按钮"), BM_CLICK, 0, 0);
    // Four adapters before the empty entry; blank names where the value is
    // missing or not a text; the broken character shown as a replacement.
    EXPECT_EQ(items(), (Strings{kLongName, "", "", "Bad\xEF\xBF\xBD" "Desc"}));
    EXPECT_EQ(lists.网卡实例表, (Strings{kId1, "", kId2, kId3}));
    ASSERT_EQ(lists.网卡描述表.size(), 4u);

    // The second (selected after the refresh) names no interface key.
    EXPECT_EQ(wintest::windowText(unit("分组框4")), "");
    EXPECT_EQ(fields(), kBlank);
    SendMessageW(unit("修改_按钮"), BM_CLICK, 0, 0);
    EXPECT_EQ(wintest::windowText(unit("状态_标签")), adapter::kWriteFailed);

    // A text EnableDHCP counts as 0; only the NameServer is a text that fits
    // (its odd last byte dropped).
    choose(0);
    // The long name cut to the frame's width (measured with the real font).
    const std::string caption = wintest::windowText(unit("分组框4"));
    EXPECT_EQ(caption.rfind("Hostile A W", 0), 0u) << caption;
    EXPECT_LT(caption.size(), 200u);
    EXPECT_EQ(caption.substr(caption.size() - 3), "…");
    EXPECT_EQ(fields(), (Strings{"", "", "", "8.8.8.8", ""}));
    // A two-byte EnableDHCP of 1: DHCP on, nothing shown.
    choose(2);
    EXPECT_EQ(fields(), kBlank);
    // The buffer limit counts the text's bytes: 200 ASCII characters fit,
    // 100 Chinese ones (300 bytes) do not.
    choose(3);
    EXPECT_EQ(fields(), (Strings{"10.0.0.3", "", "", "", ""}));
    EXPECT_TRUE(dialogs.shown.empty());
}

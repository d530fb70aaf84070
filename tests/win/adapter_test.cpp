// The adapter panel against Wine's real registry, real processes and the
// real main window. The test writes its own adapter entries under the
// network adapter class key and its own interface keys, and removes them
// again. devcon is a copy of the logging stand-in: on PATH behind the real
// command interpreter (so the exit code travels through cmd /c), or the
// stand-in plays cmd.exe itself in a stand-in system folder (so its log
// shows the exact command line and window mode the tool started). The
// elevated instance is the real korvan.exe, started with its verb (Wine
// runs every process with full rights); the device-function restart runs
// against what Wine's device installer offers.
#include <windows.h>
#include <commctrl.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adapter/apply_verb.h"
#include "adapter/panel.h"
#include "platform/win32/adapter_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "registry_helpers.h"
#include "win_helpers.h"

using namespace std::string_literals;
using platform::RegistryType;
using win32::narrow;
using win32::widen;

namespace {

using namespace regtest;
using wintest::binaryDir;
using wintest::readAll;
using wintest::windowText;
using wintest::exists;

const std::string kIdA = "{4B0A7E21-9C3D-4F6E-8A5B-1C2D3E4F5A60}";
const std::string kIdB = "{4B0A7E21-9C3D-4F6E-8A5B-1C2D3E4F5A61}";
const std::string kDeviceA = "PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086";
const std::string kDeviceB = "ROOT\\KORVAN\\0001";
const std::string kDescB = "Korvan 测试网卡 B";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) out.push_back(line);
    return out;
}

// --- registry set-up through the plain API, independent of the tool's code ---

// The value's bytes as the ANSI functions return them.
std::string queryA(const std::string& path, const std::string& name, DWORD* type = nullptr) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
    char buf[512];
    DWORD size = sizeof buf, t = 0;
    LONG rc = RegQueryValueExA(h, name.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return "<no value>";
    if (type) *type = t;
    return std::string(buf, size);
}

void addAdapter(int i, const std::string& lowerRange, const std::string& desc, const std::string& id,
                const std::string& device) {
    const std::string key = entryKey(i);
    putText(key + "\\Linkage", "UpperBind", REG_MULTI_SZ, "Tcpip\0\0"s);
    putText(key + "\\Ndi\\Interfaces", "LowerRange", REG_SZ, lowerRange + '\0');
    putText(key, "DriverDesc", REG_SZ, desc + '\0');
    putText(key, "NetCfgInstanceId", REG_SZ, id + '\0');
    putText(key, "MatchingDeviceId", REG_SZ, device + '\0');
}

void addSettings(const std::string& id, DWORD dhcp, const std::string& ip, const std::string& dns) {
    const std::string key = interfaceKey(id);
    putDword(key, "EnableDHCP", dhcp);
    putText(key, "IPAddress", REG_MULTI_SZ, ip + "\0\0"s);
    putText(key, "SubnetMask", REG_MULTI_SZ, "255.255.255.0\0\0"s);
    putText(key, "DefaultGateway", REG_MULTI_SZ, "10.1.1.1\0\0"s);
    putText(key, "NameServer", REG_SZ, dns + '\0');
}

// The runner the panel is bound to hands each run to `target`.
struct SwitchRunner : platform::Runner {
    platform::Runner* target = nullptr;
    platform::RunResult run(std::string_view commandLine, const platform::RunOptions& options) override {
        return target->run(commandLine, options);
    }
};

struct FakeElevation : platform::Elevation {
    bool elevated() override { return false; }
    std::optional<int> runElevated(const std::vector<std::string>&, unsigned, const std::function<void(int)>&) override {
        return std::nullopt;
    }
};

// korvan.exe itself, built beside the tests' folder.
std::wstring korvanExe() { return binaryDir() + L"\\..\\korvan.exe"; }

// Starts korvan.exe with these arguments (each quoted to stay one) and
// returns its exit code; 999 when it did not start or end in 2 minutes.
DWORD runKorvan(const std::vector<std::string>& args) {
    std::wstring line = win32::quoteArgument(korvanExe());
    for (const std::string& a : args) line += L" " + win32::quoteArgument(widen(a));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(korvanExe().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 999;
    CloseHandle(pi.hThread);
    DWORD code = 999;
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return code;
}

struct RecordingDialogs : platform::Dialogs {
    std::vector<std::string> shown;
    platform::Answer messageBox(const platform::MessageBoxSpec& s) override {
        shown.emplace_back(s.text);
        return platform::Answer::Ok;
    }
};

class AdapterPanelWine : public ::testing::Test {
protected:
    void SetUp() override {
        // Wine's prefix has no network adapter class entries; the test must
        // not overwrite real ones. Entries left by an interrupted run of this
        // test are its own and go.
        const bool leftOver = queryA(entryKey(0), "NetCfgInstanceId") == kIdA + '\0';
        if (leftOver) removeKeys();
        ASSERT_FALSE(keyExists(entryKey(0))) << "adapter entries exist already; refusing to touch them";
        m_createdClassKey = leftOver || !keyExists(classKey());
        addAdapter(0, "ethernet", "Korvan Test Adapter A", kIdA, kDeviceA);
        addAdapter(1, "wlan,ethernet", "Korvan Wireless", "{wireless}", "USB\\WLAN");
        addAdapter(2, "ethernet", kDescB, kIdB, kDeviceB);
        addSettings(kIdA, 0, "10.1.1.20", "1.1.1.1,1.0.0.1");
        addSettings(kIdB, 0, "192.168.7.7\0"s "192.168.7.8", "9.9.9.9");

        form = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
        ASSERT_TRUE(form->alive());
        runner.target = &systemRunner;
        adapter::bindAdapterPanel(*form, lists, {registry, runner, dialogs});
    }

    void removeKeys() {
        for (int i = 0; i <= 2; ++i) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, widen(entryKey(i)).c_str());
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, widen(entryKey(i)).c_str());
        }
        for (const std::string& id : {kIdA, kIdB}) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, widen(interfaceKey(id)).c_str());
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, widen(interfaceKey(id)).c_str());
        }
    }

    void TearDown() override {
        removeKeys();
        if (m_createdClassKey) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, widen(classKey()).c_str());
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, widen(classKey()).c_str());
        }
        for (const wchar_t* name : {L"KORVAN_STANDIN_LOG", L"KORVAN_STANDIN_EXIT", L"KORVAN_STANDIN_HOLD"})
            SetEnvironmentVariableW(name, nullptr);
        if (!m_oldPath.empty()) SetEnvironmentVariableW(L"PATH", m_oldPath.c_str());
        if (!m_tmp.empty()) {
            for (const wchar_t* f : {L"\\devcon.exe", L"\\devcon.log", L"\\hold"}) DeleteFileW((m_tmp + f).c_str());
            RemoveDirectoryW(m_tmp.c_str());
        }
    }

    HWND unit(std::string_view name) { return form->unitHwnd(name); }
    std::vector<std::string> fields() {
        std::vector<std::string> out;
        for (auto f : adapter::kFields) out.push_back(ipText(unit(f)));
        return out;
    }
    void click(std::string_view name) { SendMessageW(unit(name), BM_CLICK, 0, 0); }
    void setField(std::string_view name, BYTE a, BYTE b, BYTE c, BYTE d) {
        SendMessageW(unit(name), IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
    }

    // A fresh temp folder holding a devcon.exe stand-in, put first on PATH;
    // the stand-in logs to devcon.log there.
    void devconOnPath() {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        m_tmp = std::wstring(tmp) + L"korvan_devcon_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_tmp.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW((binaryDir() + L"\\standin.exe").c_str(), (m_tmp + L"\\devcon.exe").c_str(), FALSE));
        wchar_t path[32768];
        const DWORD n = GetEnvironmentVariableW(L"PATH", path, 32768);
        m_oldPath.assign(path, n);
        SetEnvironmentVariableW(L"PATH", (m_tmp + L";" + m_oldPath).c_str());
        m_log = m_tmp + L"\\devcon.log";
        SetEnvironmentVariableW(L"KORVAN_STANDIN_LOG", m_log.c_str());
    }

    win32::Win32Windows windows;
    win32::Win32Form* form = nullptr;
    win32::Win32Registry registry;
    win32::Win32Runner systemRunner;
    win32::Win32Runner standinRunner{wintest::standinSystemFolder()};
    SwitchRunner runner;
    RecordingDialogs dialogs;
    adapter::AdapterLists lists;
    bool m_createdClassKey = false;
    std::wstring m_tmp, m_oldPath, m_log;
};

}  // namespace

TEST(Win32Registry, TypedValuesRoundTripAsUtf8) {
    const std::string key = "SOFTWARE\\KorvanTest\\" + std::to_string(GetCurrentProcessId());
    putText(key, "text", REG_SZ, "网卡 Ω\0"s);
    putText(key, "multi", REG_MULTI_SZ, "一\0two\0\0"s);
    putDword(key, "number", 0x01020304);
    SetEnvironmentVariableW(L"KORVAN_REG_TEST", L"展开");
    putText(key, "expand", REG_EXPAND_SZ, "[%KORVAN_REG_TEST%]\0"s);

    win32::Win32Registry reg;
    EXPECT_FALSE(reg.open(platform::RegistryRoot::LocalMachine, key + "\\missing", platform::RegistryAccess::Read));
    {
        platform::RegistryKey k(reg, platform::RegistryRoot::LocalMachine, key, platform::RegistryAccess::ReadWrite);
        ASSERT_TRUE(k);
        auto v = k.query("text");
        ASSERT_TRUE(v);
        EXPECT_EQ(v->type, RegistryType::String);
        EXPECT_EQ(v->data, "网卡 Ω\0"s);
        EXPECT_EQ(k.query("multi")->data, "一\0two\0\0"s);
        EXPECT_EQ(k.query("number")->data, "\4\3\2\1"s);
        EXPECT_EQ(k.query("number")->type, RegistryType::Dword);
        EXPECT_EQ(k.query("expand")->type, RegistryType::ExpandString);
        EXPECT_EQ(k.query("expand")->data, "[展开]\0"s);
        EXPECT_FALSE(k.query("absent"));

        // Written as UTF-16, the ANSI functions see the tool's bytes.
        EXPECT_TRUE(k.set("IPAddress", RegistryType::MultiString, "192.168.1.10\0\0"s));
        EXPECT_TRUE(k.set("NameServer", RegistryType::String, "8.8.8.8,\0"s));
        EXPECT_TRUE(k.set("raw", RegistryType::Binary, "\0\1\2"s));
    }
    DWORD type = 0;
    EXPECT_EQ(queryA(key, "IPAddress", &type), "192.168.1.10\0\0"s);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(queryA(key, "NameServer", &type), "8.8.8.8,\0"s);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(queryA(key, "raw", &type), "\0\1\2"s);

    // The helpers of the walk: any type exists, only strings read as text.
    EXPECT_TRUE(platform::valueExists(reg, platform::RegistryRoot::LocalMachine, key + "\\number"));
    EXPECT_FALSE(platform::valueExists(reg, platform::RegistryRoot::LocalMachine, key + "\\absent"));
    EXPECT_EQ(platform::readTextValue(reg, platform::RegistryRoot::LocalMachine, key + "\\expand"), "[展开]");
    EXPECT_EQ(platform::readTextValue(reg, platform::RegistryRoot::LocalMachine, key + "\\multi"), "");
    SetEnvironmentVariableW(L"KORVAN_REG_TEST", nullptr);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, widen(key).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, widen(key).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KorvanTest");
}

TEST_F(AdapterPanelWine, ListFieldsCaptionAndPresetsInTheRealWindow) {
    click("刷新_按钮");
    HWND list = unit("网卡信息_组合框");
    ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, 1, 0), 2);
    EXPECT_EQ(windowText(unit("分组框4")), kDescB);
    EXPECT_EQ(fields(), (std::vector<std::string>{"192.168.7.7", "255.255.255.0", "10.1.1.1", "9.9.9.9", ""}));
    EXPECT_FALSE(IsWindowVisible(list));

    // The selection event of the list (the user's choice) shows adapter A.
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    SendMessageW(form->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(windowText(unit("分组框4")), "Korvan Test Adapter A");
    EXPECT_EQ(fields(), (std::vector<std::string>{"10.1.1.20", "255.255.255.0", "10.1.1.1", "1.1.1.1", "1.0.0.1"}));

    // Presets: the pair, locked, one option checked.
    click("单选框2");
    click("单选框4");
    EXPECT_EQ(ipText(unit("IP编辑框4")), "211.98.2.4");
    EXPECT_EQ(ipText(unit("IP编辑框5")), "211.98.4.1");
    EXPECT_FALSE(IsWindowEnabled(unit("IP编辑框4")));
    EXPECT_FALSE(IsWindowEnabled(unit("IP编辑框5")));
    int checked = 0;
    for (auto& p : adapter::kPresets) checked += SendMessageW(unit(p.option), BM_GETCHECK, 0, 0) == BST_CHECKED;
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(SendMessageW(unit("单选框4"), BM_GETCHECK, 0, 0), BST_CHECKED);

    // 刷新: the same two entries, adapter B again, the DNS fields editable.
    click("刷新_按钮");
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ipText(unit("IP编辑框4")), "9.9.9.9");
    EXPECT_TRUE(IsWindowEnabled(unit("IP编辑框4")));
    EXPECT_TRUE(IsWindowEnabled(unit("IP编辑框5")));
    EXPECT_EQ(SendMessageW(unit("单选框4"), BM_GETCHECK, 0, 0), BST_CHECKED);
}

// Set by the timer callback below, which can only run if the window's
// messages are processed while devcon runs.
struct DuringRestart {
    HWND apply = nullptr, status = nullptr;
    std::wstring hold;
    bool seen = false, applyEnabled = true;
    std::string status0;
} g_during;

TEST_F(AdapterPanelWine, ApplyWritesTheKeyAndRestartsThroughTheRealInterpreter) {
    devconOnPath();
    click("刷新_按钮");
    putDword(interfaceKey(kIdB), "EnableDHCP", 1);
    setField("IP编辑框1", 192, 168, 1, 10);
    setField("IP编辑框2", 255, 255, 255, 0);
    SendMessageW(unit("IP编辑框3"), IPM_CLEARADDRESS, 0, 0);
    click("单选框1");

    // devcon holds until the hold file appears; a timer of this thread
    // creates it, after looking at the panel.
    g_during = {};
    g_during.apply = unit("修改_按钮");
    g_during.status = unit("状态_标签");
    g_during.hold = m_tmp + L"\\hold";
    SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", g_during.hold.c_str());
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        g_during.seen = true;
        g_during.applyEnabled = IsWindowEnabled(g_during.apply);
        g_during.status0 = windowText(g_during.status);
        HANDLE f = CreateFileW(g_during.hold.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
    });
    click("修改_按钮");
    EXPECT_TRUE(g_during.seen) << "no message was processed while devcon ran";
    EXPECT_FALSE(g_during.applyEnabled);
    EXPECT_EQ(g_during.status0, "正在禁用网络适配器...");
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址修改成功！");
    EXPECT_TRUE(IsWindowEnabled(unit("修改_按钮")));

    const std::string key = interfaceKey(kIdB);
    DWORD type = 0;
    EXPECT_EQ(queryA(key, "IPAddress", &type), "192.168.1.10\0\0"s);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(queryA(key, "SubnetMask"), "255.255.255.0\0\0"s);
    EXPECT_EQ(queryA(key, "DefaultGateway"), "\0\0"s);
    EXPECT_EQ(queryA(key, "NameServer", &type), "8.8.8.8,8.8.4.4\0"s);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(queryA(key, "EnableDHCP"), "\1\0\0\0"s);

    // devcon was reached twice, with the device identifier intact.
    auto log = lines(readAll(m_log));
    ASSERT_EQ(log.size(), 2u) << readAll(m_log);
    EXPECT_NE(log[0].find("disable \"" + kDeviceB + "\""), std::string::npos) << log[0];
    EXPECT_NE(log[1].find("enable \"" + kDeviceB + "\""), std::string::npos) << log[1];
    EXPECT_EQ(log[0].rfind("devcon\t", 0), 0u) << log[0];

    // devcon fails: the values are written, the status says the restart failed.
    SetEnvironmentVariableW(L"KORVAN_STANDIN_EXIT", L"2");
    setField("IP编辑框1", 192, 168, 1, 11);
    click("修改_按钮");
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址已写入，但重启网卡失败！");
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.1.11\0\0"s);
    EXPECT_EQ(lines(readAll(m_log)).size(), 4u);

    // No interface key: nothing is run.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, widen(key).c_str());
    click("修改_按钮");
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址修改失败！");
    EXPECT_EQ(lines(readAll(m_log)).size(), 4u);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AdapterPanelWine, TheExactCommandLinesAreStartedHidden) {
    // The stand-in as the system folder's cmd.exe: its log holds the whole
    // command line.
    runner.target = &standinRunner;
    devconOnPath();
    click("刷新_按钮");
    SendMessageW(unit("网卡信息_组合框"), CB_SETCURSEL, 0, 0);   // adapter A, without the event
    click("修改_按钮");
    auto log = lines(readAll(m_log));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "cmd\tsw=0\tcmd /c devcon disable \"" + kDeviceA + "\"");
    EXPECT_EQ(log[1], "cmd\tsw=0\tcmd /c devcon enable \"" + kDeviceA + "\"");
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址修改成功！");
    EXPECT_EQ(queryA(interfaceKey(kIdA), "NameServer"), "9.9.9.9,\0"s);   // B's fields, A's key

    SetEnvironmentVariableW(L"KORVAN_STANDIN_EXIT", L"1");
    click("修改_按钮");
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址已写入，但重启网卡失败！");
}

// What a close request during the disable met: set by the timer below.
struct DuringClose {
    HWND main = nullptr, status = nullptr;
    std::wstring hold, log;
    bool asked = false, aliveAfter = false;
    size_t startedBefore = 0;
    std::string status0;
} g_close;

TEST_F(AdapterPanelWine, ACloseDuringTheApplyWaitsForTheEnableThenGoesOn) {
    runner.target = &standinRunner;   // the stand-in cmd holds until released
    devconOnPath();
    click("刷新_按钮");
    g_close = {};
    g_close.main = form->hwnd();
    g_close.status = unit("状态_标签");
    g_close.hold = m_tmp + L"\\hold";
    g_close.log = m_log;
    SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", g_close.hold.c_str());
    // Once the disable has started (its record is written before it holds).
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        g_close.startedBefore = lines(readAll(g_close.log)).size();
        if (g_close.startedBefore == 0) return;
        KillTimer(nullptr, id);
        g_close.asked = true;
        SendMessageW(g_close.main, WM_CLOSE, 0, 0);
        g_close.aliveAfter = IsWindow(g_close.main);
        g_close.status0 = windowText(g_close.status);
        HANDLE f = CreateFileW(g_close.hold.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(f);
    });
    click("修改_按钮");
    EXPECT_TRUE(g_close.asked) << "no message was processed while the disable ran";
    EXPECT_EQ(g_close.startedBefore, 1u) << "the close came while the disable ran";
    EXPECT_TRUE(g_close.aliveAfter) << "the close was not held";
    EXPECT_EQ(g_close.status0, "正在禁用网络适配器...");
    // The enable ran, then the held close went on.
    const auto log = lines(readAll(m_log));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "cmd\tsw=0\tcmd /c devcon enable \"" + kDeviceB + "\"");
    EXPECT_FALSE(IsWindow(g_close.main));
    // The last window gone, the backend asked the loop to end: not here.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

TEST_F(AdapterPanelWine, TheElevatedVerbWritesReportsItsStepsAndRefusesBadArguments) {
    ASSERT_TRUE(exists(korvanExe()));
    devconOnPath();
    std::vector<int> steps;
    win32::ProgressReceiver sink([&](int s) { steps.push_back(s); });
    ASSERT_NE(sink.hwnd(), nullptr);
    const std::string window = std::to_string(reinterpret_cast<std::uintptr_t>(sink.hwnd()));
    const adapter::ApplyRequest good{kIdB, kDeviceB, {"192.168.9.9", "255.255.0.0", "", "8.8.8.8", ""}};
    const std::string key = interfaceKey(kIdB);

    // While the instance waits for its disable, it has no window at all.
    const std::wstring hold = m_tmp + L"\\hold";
    SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", hold.c_str());
    std::wstring line = win32::quoteArgument(korvanExe());
    for (const std::string& a : adapter::verbArguments(good, window)) line += L" " + win32::quoteArgument(widen(a));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(korvanExe().c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    for (int i = 0; i < 1000 && readAll(m_log).empty(); ++i) Sleep(20);
    EXPECT_FALSE(readAll(m_log).empty()) << "the disable never started";
    struct Found {
        DWORD pid;
        int windows = 0;
    } found{pi.dwProcessId};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* f = reinterpret_cast<Found*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == f->pid) ++f->windows;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    EXPECT_EQ(found.windows, 0);
    HANDLE f = CreateFileW(hold.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
    DWORD code = 999;
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", nullptr);
    EXPECT_EQ(code, 0u);
    sink.drain();
    EXPECT_EQ(steps, (std::vector<int>{1, 2})) << "disabling, then enabling";
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.9.9\0\0"s);
    EXPECT_EQ(queryA(key, "SubnetMask"), "255.255.0.0\0\0"s);
    EXPECT_EQ(queryA(key, "DefaultGateway"), "\0\0"s);
    EXPECT_EQ(queryA(key, "NameServer"), "8.8.8.8,\0"s);
    auto log = lines(readAll(m_log));
    ASSERT_EQ(log.size(), 2u) << readAll(m_log);
    EXPECT_NE(log[0].find("disable \"" + kDeviceB + "\""), std::string::npos) << log[0];
    EXPECT_NE(log[1].find("enable \"" + kDeviceB + "\""), std::string::npos) << log[1];

    // devcon fails: written, restart failed.
    SetEnvironmentVariableW(L"KORVAN_STANDIN_EXIT", L"3");
    steps.clear();
    auto other = good;
    other.fields[0] = "192.168.9.10";
    EXPECT_EQ(runKorvan(adapter::verbArguments(other, window)), 2u);
    sink.drain();
    EXPECT_EQ(steps, (std::vector<int>{1, 2}));
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.9.10\0\0"s);
    SetEnvironmentVariableW(L"KORVAN_STANDIN_EXIT", nullptr);

    // Refused before anything is written or started.
    auto with = [&](size_t i, std::string v) {
        auto a = adapter::verbArguments(good, window);
        a[i] = std::move(v);
        return a;
    };
    const std::vector<std::string> refused[] = {
        with(2, kDeviceA),                       // A's device with B's instance
        with(1, "{wireless}"),                   // not an ethernet adapter of the walk
        with(1, kIdB + "\\..\\..\\..\\Run"),    // a path instead of an instance
        with(3, "192.168.9.300"),
        with(6, "8.8.8.8 & calc"),
        with(9, "not-a-window"),
        {"--apply-adapter"},
    };
    const size_t before = lines(readAll(m_log)).size();
    steps.clear();
    for (const auto& args : refused) {
        std::string shown;
        for (auto& a : args) shown += "[" + a + "]";
        EXPECT_EQ(runKorvan(args), 1u) << shown;
    }
    sink.drain();
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.9.10\0\0"s);
    EXPECT_EQ(lines(readAll(m_log)).size(), before) << "nothing may have been started";
}

TEST_F(AdapterPanelWine, TheWindowRunsTheApplyThroughAnInstanceAndShowsItsSteps) {
    ASSERT_TRUE(exists(korvanExe()));
    devconOnPath();
    // The whole way: arguments, "runas", instance, reports, exit code. Wine
    // shows no consent prompt (its processes hold full rights, so the tool
    // itself counts as elevated there: no shield, the apply in-process);
    // this window is told it is not, and korvan.exe plays this program.
    EXPECT_TRUE(win32::Win32Elevation().elevated());
    win32::Win32Elevation elevation(korvanExe(), L"runas");
    std::vector<std::string> shown;
    win32::Win32Form* other = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::AdapterLists otherLists;
    struct Observed : platform::Elevation {
        platform::Elevation& real;
        std::vector<std::string>& shown;
        HWND status;
        Observed(platform::Elevation& r, std::vector<std::string>& s, HWND h) : real(r), shown(s), status(h) {}
        bool elevated() override { return false; }
        std::optional<int> runElevated(const std::vector<std::string>& a, unsigned t,
                                       const std::function<void(int)>& progress) override {
            return real.runElevated(a, t, [&](int step) {
                progress(step);
                shown.push_back(windowText(status));
            });
        }
    } observed(elevation, shown, other->unitHwnd("状态_标签"));
    adapter::bindAdapterPanel(*other, otherLists, {registry, runner, dialogs, &observed, nullptr});
    SendMessageW(other->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    SendMessageW(other->unitHwnd("IP编辑框1"), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 9, 8, 7));
    SendMessageW(other->unitHwnd("修改_按钮"), BM_CLICK, 0, 0);
    EXPECT_EQ(shown, (std::vector<std::string>{"正在禁用网络适配器...", "正在启用网络适配器..."}));
    EXPECT_EQ(windowText(other->unitHwnd("状态_标签")), "IP地址修改成功！");
    EXPECT_EQ(queryA(interfaceKey(kIdB), "IPAddress"), "10.9.8.7\0\0"s);
    EXPECT_EQ(lines(readAll(m_log)).size(), 2u);
    // A program that cannot be started stands for a declined prompt.
    win32::Win32Elevation missing(binaryDir() + L"\\korvan_missing.exe", L"open");
    Observed declined(missing, shown, other->unitHwnd("状态_标签"));
    adapter::AdapterLists thirdLists;
    win32::Win32Form* third = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::bindAdapterPanel(*third, thirdLists, {registry, runner, dialogs, &declined, nullptr});
    SendMessageW(third->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    SendMessageW(third->unitHwnd("IP编辑框1"), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 9, 8, 6));
    SendMessageW(third->unitHwnd("修改_按钮"), BM_CLICK, 0, 0);
    EXPECT_EQ(windowText(third->unitHwnd("状态_标签")), "IP地址修改失败！");
    EXPECT_EQ(queryA(interfaceKey(kIdB), "IPAddress"), "10.9.8.7\0\0"s);
    DestroyWindow(other->hwnd());
    DestroyWindow(third->hwnd());
}

// Records BCM_SETSHIELD arriving at a button.
LRESULT CALLBACK shieldSpy(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == BCM_SETSHIELD) reinterpret_cast<std::vector<LPARAM>*>(data)->push_back(lp);
    return DefSubclassProc(h, msg, wp, lp);
}

TEST_F(AdapterPanelWine, TheApplyButtonCarriesTheShieldOnlyWhileUnelevated) {
    FakeElevation unelevated;
    for (bool needsPrompt : {true, false}) {
        auto* w = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
        std::vector<LPARAM> seen;
        ASSERT_TRUE(SetWindowSubclass(w->unitHwnd("修改_按钮"), shieldSpy, 1, reinterpret_cast<DWORD_PTR>(&seen)));
        adapter::AdapterLists l;
        adapter::bindAdapterPanel(*w, l, {registry, runner, dialogs, needsPrompt ? &unelevated : nullptr, nullptr});
        EXPECT_EQ(seen, (std::vector<LPARAM>{needsPrompt ? TRUE : FALSE}));
        RemoveWindowSubclass(w->unitHwnd("修改_按钮"), shieldSpy, 1);
        DestroyWindow(w->hwnd());
    }
}

// --- the restart through the device installer, against Wine's ---

namespace {

const GUID kNetClass = {0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A device of the network class in Wine's device tree, made for the test:
// the instance "ROOT\KORVANTESTNET\0000" with one hardware identifier.
struct TestDevice {
    HDEVINFO set = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA dev{};
    bool made = false;
    explicit TestDevice(const std::wstring& hardwareId) {
        set = SetupDiCreateDeviceInfoList(&kNetClass, nullptr);
        if (set == INVALID_HANDLE_VALUE) return;
        dev.cbSize = sizeof dev;
        if (!SetupDiCreateDeviceInfoW(set, L"ROOT\\KORVANTESTNET\\0000", &kNetClass, nullptr, nullptr, 0, &dev)) return;
        std::wstring ids = hardwareId + L'\0' + L'\0';
        if (!SetupDiSetDeviceRegistryPropertyW(set, &dev, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                               static_cast<DWORD>(ids.size() * sizeof(wchar_t))))
            return;
        made = SetupDiRegisterDeviceInfo(set, &dev, 0, nullptr, nullptr, nullptr);
    }
    ~TestDevice() {
        if (made) SetupDiRemoveDevice(set, &dev);
        if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
    }
};

}  // namespace

TEST_F(AdapterPanelWine, WithoutDevconTheDeviceInstallerIsAskedAndItsAnswerCounts) {
    // Wine's device installer finds and selects devices as Windows' does,
    // but implements no DIF_PROPERTYCHANGE: SetupDiSetClassInstallParamsW
    // fails and SetupDiCallClassInstaller answers ERROR_DI_DO_DEFAULT. So
    // here the selection is shown, and that a refused change is reported as
    // a failed restart with the enable still attempted; an actual disable
    // and enable can only be seen on Windows.
    TestDevice device(widen(kDeviceB));
    ASSERT_TRUE(device.made) << GetLastError();
    const std::vector<std::string> mine{"ROOT\\KORVANTESTNET\\0000"};
    EXPECT_EQ(win32::Win32Devices::selected("root\\korvan\\0001"), mine) << "by hardware identifier, any case";
    EXPECT_EQ(win32::Win32Devices::selected("ROOT\\KorvanTestNet\\0000"), mine) << "by instance identifier";
    EXPECT_TRUE(win32::Win32Devices::selected("ROOT\\KORVAN\\00010").empty());
    EXPECT_TRUE(win32::Win32Devices::selected("").empty());
    win32::Win32Devices devices;
    EXPECT_EQ(devices.setEnabled("no such device", false, 60000), platform::DeviceChange::Failed);
    EXPECT_EQ(devices.setEnabled(kDeviceB, true, 60000), platform::DeviceChange::Failed) << "Wine has changed: look again";

    // The elevated instance without devcon anywhere: cmd answers 9009, the
    // device installer is asked for both steps, the restart is reported
    // failed (exit 2) and the values stay written.
    std::vector<int> steps;
    win32::ProgressReceiver sink([&](int s) { steps.push_back(s); });
    const std::string window = std::to_string(reinterpret_cast<std::uintptr_t>(sink.hwnd()));
    const adapter::ApplyRequest request{kIdB, kDeviceB, {"192.168.9.11", "255.255.255.0", "", "", ""}};
    EXPECT_EQ(runKorvan(adapter::verbArguments(request, window)), 2u);
    sink.drain();
    EXPECT_EQ(steps, (std::vector<int>{1, 2}));
    EXPECT_EQ(queryA(interfaceKey(kIdB), "IPAddress"), "192.168.9.11\0\0"s);
}

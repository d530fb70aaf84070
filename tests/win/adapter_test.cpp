// The adapter panel against Wine's real registry, real processes and the
// real main window. The test writes its own adapter entries under the
// network adapter class key and its own interface keys, and removes them
// again, and the network devices of the adapters with their driver keys
// (Wine's device installer keeps what SetupAPI registers). devcon is a copy
// of the logging stand-in: in the (Wine prefix's) system folder behind the
// real command interpreter (so the exit code travels through cmd /c), on
// the user's PATH (where it must never be run), or the stand-in plays
// cmd.exe itself in a stand-in system folder (so its log shows the exact
// command line, window mode, environment and folder the tool started it
// with). Started with the system's environment, the stand-ins read their
// settings from a file beside them (standin(), below). The
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
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapter/apply_verb.h"
#include "adapter/confirm_window.h"
#include "adapter/panel.h"
#include "platform/win32/adapter_win32.h"
#include "platform/win32/confirm_win32.h"
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

const GUID kNetClass = {0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A device of the network class in Wine's device tree, made for the test,
// with one hardware identifier and a driver key.
struct TestDevice {
    HDEVINFO set = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA dev{};
    bool made = false;
    TestDevice(const std::wstring& instance, const std::wstring& hardwareId, const std::wstring& driverKey) {
        set = SetupDiCreateDeviceInfoList(&kNetClass, nullptr);
        if (set == INVALID_HANDLE_VALUE) return;
        // One left by an interrupted run goes first.
        SP_DEVINFO_DATA old{};
        old.cbSize = sizeof old;
        if (SetupDiOpenDeviceInfoW(set, instance.c_str(), nullptr, 0, &old)) SetupDiRemoveDevice(set, &old);
        dev.cbSize = sizeof dev;
        if (!SetupDiCreateDeviceInfoW(set, instance.c_str(), &kNetClass, nullptr, nullptr, 0, &dev)) return;
        std::wstring ids = hardwareId + L'\0' + L'\0';
        if (!SetupDiSetDeviceRegistryPropertyW(set, &dev, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                               static_cast<DWORD>(ids.size() * sizeof(wchar_t))))
            return;
        if (!SetupDiRegisterDeviceInfo(set, &dev, 0, nullptr, nullptr, nullptr)) return;
        made = true;
        if (!SetupDiSetDeviceRegistryPropertyW(set, &dev, SPDRP_DRIVER, reinterpret_cast<const BYTE*>(driverKey.c_str()),
                                               static_cast<DWORD>((driverKey.size() + 1) * sizeof(wchar_t))))
            made = false;
    }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;
    ~TestDevice() {
        SetupDiRemoveDevice(set, &dev);
        if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
    }
};

// The adapters' own devices: A's by the first entry's driver key, B's by
// the third's (its key in capitals, as some drivers write it).
const std::string kInstanceA = "ROOT\\KORVANTESTNET\\0000";
const std::string kInstanceB = "ROOT\\KORVANTESTNET\\0002";

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

// The value's bytes exactly as stored.
std::string queryW(const std::string& path, const std::string& name, DWORD* type = nullptr) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(path).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
    BYTE buf[512];
    DWORD size = sizeof buf, t = 0;
    LONG rc = RegQueryValueExW(h, widen(name).c_str(), nullptr, &t, buf, &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return "<no value>";
    if (type) *type = t;
    return std::string(reinterpret_cast<const char*>(buf), size);
}

void addAdapter(int i, const std::string& lowerRange, const std::string& desc, const std::string& id) {
    const std::string key = entryKey(i);
    putText(key + "\\Linkage", "UpperBind", REG_MULTI_SZ, "Tcpip\0\0"s);
    putText(key + "\\Ndi\\Interfaces", "LowerRange", REG_SZ, lowerRange + '\0');
    putText(key, "DriverDesc", REG_SZ, desc + '\0');
    putText(key, "NetCfgInstanceId", REG_SZ, id + '\0');
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
    bool canElevate() override { return true; }
    std::unique_ptr<platform::ElevatedInstance> start(const std::vector<std::string>&,
                                                      platform::ElevatedCallbacks) override {
        return nullptr;
    }
};

// korvan.exe itself, built beside the tests' folder.
std::wstring korvanExe() { return binaryDir() + L"\\..\\korvan.exe"; }

// Starts a korvan.exe with these arguments (each quoted to stay one); its
// process handle, null when it did not start.
HANDLE startKorvan(const std::vector<std::string>& args, const std::wstring& exe = korvanExe()) {
    std::wstring line = win32::quoteArgument(exe);
    for (const std::string& a : args) line += L" " + win32::quoteArgument(widen(a));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Its exit code; 999 when it did not end in 2 minutes.
DWORD exitCodeOf(HANDLE process) {
    DWORD code = 999;
    if (process && WaitForSingleObject(process, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    if (process) CloseHandle(process);
    return code;
}

DWORD runKorvan(const std::vector<std::string>& args) { return exitCodeOf(startKorvan(args)); }

// Where a devcon an administrator installed is found.
std::wstring systemDevcon() { return win32::systemFolder() + L"\\devcon.exe"; }

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
        addAdapter(0, "ethernet", "Korvan Test Adapter A", kIdA);
        addAdapter(1, "wlan,ethernet", "Korvan Wireless", "{wireless}");
        addAdapter(2, "ethernet", kDescB, kIdB);
        addSettings(kIdA, 0, "10.1.1.20", "1.1.1.1,1.0.0.1");
        addSettings(kIdB, 0, "192.168.7.7\0"s "192.168.7.8", "9.9.9.9");

        // An administrator's devcon and the stand-ins' settings left by a
        // killed run would change what every later run sees.
        DeleteFileW(systemDevcon().c_str());
        removeSettings();
        deviceA.emplace(widen(kInstanceA), widen(kDeviceA), widen(adapter::kDriverKeyPrefix) + L"0000");
        deviceB.emplace(widen(kInstanceB), widen(kDeviceB), L"{4D36E972-E325-11CE-BFC1-08002BE10318}\\0002");
        ASSERT_TRUE(deviceA->made && deviceB->made) << GetLastError();

        form = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
        ASSERT_TRUE(form->alive());
        runner.target = &systemRunner;
        adapter::bindAdapterPanel(*form, lists, panelServices());
    }

    adapter::PanelServices panelServices(platform::Elevation* elevation = nullptr, platform::Devices* devices = nullptr) {
        adapter::PanelServices s{registry, runner, dialogs, elevation, devices ? devices : &realDevices};
        s.tasks = &tasks;
        return s;
    }

    // The stand-ins' settings files: beside the system folder's devcon,
    // a devcon on the user's PATH and the stand-in cmd.
    std::vector<std::wstring> settingsFiles() const {
        std::vector<std::wstring> out{win32::systemFolder() + L"\\devcon.settings",
                                      standinFolder() + L"\\cmd.settings"};
        if (!m_tmp.empty()) out.push_back(m_tmp + L"\\devcon.settings");
        return out;
    }
    void removeSettings() {
        for (const std::wstring& f : settingsFiles()) DeleteFileW(f.c_str());
    }
    // Sets (or with null clears) a stand-in setting, as KORVAN_STANDIN_*
    // would for a stand-in started with this process's environment.
    void standin(const std::wstring& name, const wchar_t* value) {
        if (value) m_settings[name] = value;
        else m_settings.erase(name);
        std::string text;
        for (const auto& [n, v] : m_settings) text += narrow(n) + "=" + narrow(v) + "\n";
        for (const std::wstring& f : settingsFiles()) wintest::writeAll(f, text);
    }
    void standin(const std::wstring& name, const std::wstring& value) { standin(name, value.c_str()); }
    // Its own stand-in system folder, holding cmd.exe, so that its settings
    // file never reaches other tests' stand-ins.
    static std::wstring standinFolder() {
        const std::wstring dir = binaryDir() + L"\\standin-adapter";
        CreateDirectoryW(dir.c_str(), nullptr);
        const std::string standinBytes = readAll(binaryDir() + L"\\standin.exe");
        if (readAll(dir + L"\\cmd.exe") != standinBytes)
            CopyFileW((binaryDir() + L"\\standin.exe").c_str(), (dir + L"\\cmd.exe").c_str(), FALSE);
        return dir;
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
        removeSettings();
        m_settings.clear();
        if (m_systemDevcon) DeleteFileW(systemDevcon().c_str());
        if (!m_oldPath.empty()) SetEnvironmentVariableW(L"PATH", m_oldPath.c_str());
        if (!m_tmp.empty()) {
            for (const wchar_t* f : {L"\\devcon.exe", L"\\devcon.log", L"\\hold", L"\\env.log", L"\\korvan.exe",
                                     L"\\moved.exe", L"\\unheld.exe", L"\\unheld-moved.exe", L"\\pids"})
                DeleteFileW((m_tmp + f).c_str());
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
    // Clicks 修改 and lets the window run until the apply has ended (the
    // button is back).
    void apply(win32::Win32Form* w = nullptr) {
        w = w ? w : form;
        SendMessageW(w->unitHwnd("修改_按钮"), BM_CLICK, 0, 0);
        EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return IsWindowEnabled(w->unitHwnd("修改_按钮")) != FALSE; },
                                       120000))
            << "the apply did not end";
    }
    void setField(std::string_view name, BYTE a, BYTE b, BYTE c, BYTE d) {
        SendMessageW(unit(name), IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
    }

    // A fresh temp folder holding a devcon.exe stand-in, put first on PATH;
    // the stand-in logs to devcon.log there.
    void tempFolder() {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        m_tmp = std::wstring(tmp) + L"korvan_devcon_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_tmp.c_str(), nullptr);
        m_log = m_tmp + L"\\devcon.log";
        standin(L"KORVAN_STANDIN_LOG", m_log);
    }
    // The stand-in as the system folder's own devcon.exe (an
    // administrator's), logging to devcon.log in the temp folder.
    void devconInSystemFolder() {
        tempFolder();
        m_systemDevcon = true;
        ASSERT_TRUE(CopyFileW((binaryDir() + L"\\standin.exe").c_str(), systemDevcon().c_str(), FALSE));
    }
    void devconOnPath() {
        tempFolder();
        ASSERT_TRUE(CopyFileW((binaryDir() + L"\\standin.exe").c_str(), (m_tmp + L"\\devcon.exe").c_str(), FALSE));
        wchar_t path[32768];
        const DWORD n = GetEnvironmentVariableW(L"PATH", path, 32768);
        m_oldPath.assign(path, n);
        SetEnvironmentVariableW(L"PATH", (m_tmp + L";" + m_oldPath).c_str());
        m_log = m_tmp + L"\\devcon.log";
        standin(L"KORVAN_STANDIN_LOG", m_log);
    }

    win32::Win32Windows windows;
    win32::Win32Form* form = nullptr;
    win32::Win32Registry registry;
    win32::Win32Runner systemRunner;
    win32::Win32Runner standinRunner{standinFolder()};
    win32::Win32Devices realDevices;
    std::optional<TestDevice> deviceA, deviceB;
    SwitchRunner runner;
    RecordingDialogs dialogs;
    adapter::AdapterLists lists;
    // Last of what the apply's worker uses: it is waited for first.
    win32::Win32Tasks tasks;
    bool m_createdClassKey = false;
    bool m_systemDevcon = false;
    std::wstring m_tmp, m_oldPath, m_log;
    std::map<std::wstring, std::wstring> m_settings;
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

TEST_F(AdapterPanelWine, ApplyWritesTheKeyAndRestartsThroughTheRealInterpreter) {
    devconInSystemFolder();
    click("刷新_按钮");
    putDword(interfaceKey(kIdB), "EnableDHCP", 1);
    setField("IP编辑框1", 192, 168, 1, 10);
    setField("IP编辑框2", 255, 255, 255, 0);
    SendMessageW(unit("IP编辑框3"), IPM_CLEARADDRESS, 0, 0);
    click("单选框1");

    // devcon holds until the hold file appears: meanwhile the click has
    // returned and the window goes on, showing the step, the button off.
    const std::wstring hold = m_tmp + L"\\hold";
    standin(L"KORVAN_STANDIN_HOLD", hold);
    click("修改_按钮");
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return !readAll(m_log).empty(); }, 30000)) << "devcon never started";
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return windowText(unit("状态_标签")) == "正在禁用网络适配器..."; }));
    EXPECT_FALSE(IsWindowEnabled(unit("修改_按钮")));
    ASSERT_TRUE(wintest::writeAll(hold, "go"));
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return IsWindowEnabled(unit("修改_按钮")) != FALSE; }, 60000));
    standin(L"KORVAN_STANDIN_HOLD", nullptr);
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址修改成功！");

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
    EXPECT_NE(log[0].find("disable \"@" + kInstanceB + "\""), std::string::npos) << log[0];
    EXPECT_NE(log[1].find("enable \"@" + kInstanceB + "\""), std::string::npos) << log[1];
    EXPECT_EQ(log[0].rfind("devcon\t", 0), 0u) << log[0];

    // devcon fails: the values are written, the status says the restart failed.
    standin(L"KORVAN_STANDIN_EXIT", L"2");
    setField("IP编辑框1", 192, 168, 1, 11);
    apply();
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址已写入，但重启网卡失败！");
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.1.11\0\0"s);
    EXPECT_EQ(lines(readAll(m_log)).size(), 4u);

    // No interface key: nothing is run.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, widen(key).c_str());
    apply();
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址修改失败！");
    EXPECT_EQ(lines(readAll(m_log)).size(), 4u);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AdapterPanelWine, TheExactCommandLinesAreStartedHiddenWithTheSystemsEnvironment) {
    // The stand-in as the system folder's cmd.exe: its log holds the whole
    // command line, and its environment log the PATH, SystemRoot and folder
    // it got, and a variable of the user's.
    runner.target = &standinRunner;
    devconOnPath();
    const std::wstring envLog = m_tmp + L"\\env.log";
    standin(L"KORVAN_STANDIN_ENVLOG", envLog);
    SetEnvironmentVariableW(L"KORVAN_USER", L"planted");
    click("刷新_按钮");
    SendMessageW(unit("网卡信息_组合框"), CB_SETCURSEL, 0, 0);   // adapter A, without the event
    apply();
    auto log = lines(readAll(m_log));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "cmd\tsw=0\tcmd /d /c devcon disable \"@" + kInstanceA + "\"");
    EXPECT_EQ(log[1], "cmd\tsw=0\tcmd /d /c devcon enable \"@" + kInstanceA + "\"");
    // Elevated children used to inherit the user's variables (windir,
    // PATHEXT, __COMPAT_LAYER): now PATH is the system folder alone,
    // SystemRoot the system's, and nothing of the user's reaches them.
    SetEnvironmentVariableW(L"KORVAN_USER", nullptr);
    wchar_t windowsFolder[MAX_PATH];
    const UINT n = GetSystemWindowsDirectoryW(windowsFolder, MAX_PATH);
    const std::string folder = narrow(standinFolder());
    EXPECT_EQ(lines(readAll(envLog)),
              (std::vector<std::string>(2, "PATH=" + folder + "\tCWD=" + folder + "\tSystemRoot=" +
                                                narrow(std::wstring(windowsFolder, n)) + "\tKORVAN_USER=")));
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址修改成功！");
    EXPECT_EQ(queryA(interfaceKey(kIdA), "NameServer"), "9.9.9.9,\0"s);   // B's fields, A's key

    standin(L"KORVAN_STANDIN_EXIT", L"1");
    apply();
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址已写入，但重启网卡失败！");

    // Each step past its bound (shortened here) is ended and counts as
    // failed; the enable still runs after the disable. Counted at the
    // runner: a stand-in ended early may not have logged.
    standin(L"KORVAN_STANDIN_EXIT", nullptr);
    standin(L"KORVAN_STANDIN_HOLD", (m_tmp + L"\\never"));
    struct Counting : platform::Runner {
        platform::Runner& real;
        std::vector<std::string> lines;
        explicit Counting(platform::Runner& r) : real(r) {}
        platform::RunResult run(std::string_view commandLine, const platform::RunOptions& options) override {
            lines.emplace_back(commandLine);
            return real.run(commandLine, options);
        }
    } counting(standinRunner);
    runner.target = &counting;
    auto services = panelServices();
    services.restartTimeoutMs = 300;
    auto* w = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::AdapterLists l;
    adapter::bindAdapterPanel(*w, l, services);
    SendMessageW(w->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    apply(w);
    EXPECT_EQ(windowText(w->unitHwnd("状态_标签")), "IP地址已写入，但重启网卡失败！");
    EXPECT_EQ(counting.lines, (std::vector<std::string>{"cmd /d /c devcon disable \"@" + kInstanceB + "\"",
                                                        "cmd /d /c devcon enable \"@" + kInstanceB + "\""}));
    DestroyWindow(w->hwnd());
}

TEST_F(AdapterPanelWine, ADevconOnTheUsersPathIsNeverRun) {
    // The real cmd, no devcon in the system folder, one first on PATH: cmd
    // answers 9009, and with no device functions the restart fails.
    devconOnPath();
    ASSERT_FALSE(exists(systemDevcon()));
    click("刷新_按钮");
    apply();
    EXPECT_EQ(windowText(unit("状态_标签")), "IP地址已写入，但重启网卡失败！");
    EXPECT_EQ(readAll(m_log), "") << "the in-process apply ran the user's devcon";
    // Nor does the elevated instance (its device functions then fail under
    // Wine: exit 2, written but not restarted).
    const adapter::ApplyRequest request{kIdB, {"192.168.9.12", "255.255.255.0", "", "", ""}};
    EXPECT_EQ(runKorvan(adapter::verbArguments(request)), 2u);
    EXPECT_EQ(queryA(interfaceKey(kIdB), "IPAddress"), "192.168.9.12\0\0"s);
    EXPECT_EQ(readAll(m_log), "") << "the elevated instance ran the user's devcon";
}

TEST_F(AdapterPanelWine, ACloseDuringTheApplyWaitsForTheEnableThenGoesOn) {
    runner.target = &standinRunner;   // the stand-in cmd holds until released
    devconOnPath();
    click("刷新_按钮");
    const HWND main = form->hwnd();
    const std::wstring hold = m_tmp + L"\\hold";
    standin(L"KORVAN_STANDIN_HOLD", hold);
    click("修改_按钮");
    // Once the disable has started (its record is written before it holds).
    ASSERT_TRUE(wintest::pumpUntil(windows, [&] { return !readAll(m_log).empty(); }, 30000));
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(main)) << "the close was not held";
    EXPECT_EQ(lines(readAll(m_log)).size(), 1u) << "the close came while the disable ran";
    ASSERT_TRUE(wintest::writeAll(hold, "go"));
    // The enable ran, then the held close went on.
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return !IsWindow(main); }, 60000));
    const auto log = lines(readAll(m_log));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "cmd\tsw=0\tcmd /d /c devcon enable \"@" + kInstanceB + "\"");
    // The last window gone, the backend asked the loop to end: not here.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

TEST_F(AdapterPanelWine, TheElevatedVerbWritesReportsItsStepsAndRefusesBadArguments) {
    ASSERT_TRUE(exists(korvanExe()));
    devconInSystemFolder();
    // A copy of korvan.exe runs here, so that a rename that should fail
    // cannot move the build's own.
    const std::wstring copy = m_tmp + L"\\korvan.exe";
    ASSERT_TRUE(CopyFileW(korvanExe().c_str(), copy.c_str(), FALSE));
    std::vector<int> steps;
    win32::ProgressReceiver sink([&](int s, int) { steps.push_back(s); });
    ASSERT_NE(sink.hwnd(), nullptr);
    const std::string window = std::to_string(reinterpret_cast<std::uintptr_t>(sink.hwnd()));
    const adapter::ApplyRequest good{kIdB, {"192.168.9.9", "255.255.0.0", "", "8.8.8.8", ""}};
    const std::string key = interfaceKey(kIdB);

    // While the instance waits for its disable, it has no window at all.
    const std::wstring hold = m_tmp + L"\\hold";
    standin(L"KORVAN_STANDIN_HOLD", hold);
    const HANDLE first = startKorvan(adapter::verbArguments(good, window), copy);
    ASSERT_NE(first, nullptr);
    for (int i = 0; i < 1500 && readAll(m_log).empty(); ++i) Sleep(20);
    EXPECT_FALSE(readAll(m_log).empty()) << "the disable never started";
    struct Found {
        DWORD pid;
        int windows = 0;
    } found{GetProcessId(first)};
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

    // The control: a running program nobody holds can be renamed here
    // (Wine, like Windows, lets a running image move).
    const std::wstring unheld = m_tmp + L"\\unheld.exe", pids = m_tmp + L"\\pids";
    ASSERT_TRUE(CopyFileW((binaryDir() + L"\\standin.exe").c_str(), unheld.c_str(), FALSE));
    SetEnvironmentVariableW(L"KORVAN_STANDIN_PIDS", pids.c_str());
    SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", (m_tmp + L"\\never").c_str());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"unheld";
    const BOOL started = CreateProcessW(unheld.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableW(L"KORVAN_STANDIN_PIDS", nullptr);
    SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", nullptr);
    ASSERT_TRUE(started);
    for (int i = 0; i < 1500 && readAll(pids).empty(); ++i) Sleep(20);
    EXPECT_TRUE(MoveFileExW(unheld.c_str(), (m_tmp + L"\\unheld-moved.exe").c_str(), 0))
        << "a running program cannot be renamed here at all: the check below proves nothing";
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    // While it runs, its executable can be neither renamed, nor overwritten,
    // nor removed.
    const std::wstring moved = m_tmp + L"\\moved.exe";
    const BOOL renamed = MoveFileExW(copy.c_str(), moved.c_str(), 0);
    EXPECT_FALSE(renamed) << "the running exe was renamed";
    if (renamed) MoveFileExW(moved.c_str(), copy.c_str(), 0);
    HANDLE writer = CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the running exe was opened for writing";
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    EXPECT_FALSE(CopyFileW(korvanExe().c_str(), copy.c_str(), FALSE)) << "the running exe was replaced";
    EXPECT_FALSE(DeleteFileW(copy.c_str())) << "the running exe was removed";

    // A second instance meanwhile (a fresh start of the tool's own) ends at
    // once: nothing written, nothing started.
    auto second = good;
    second.fields[0] = "192.168.9.99";
    EXPECT_EQ(runKorvan(adapter::verbArguments(second, window)), 1u);
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.9.9\0\0"s);
    EXPECT_EQ(lines(readAll(m_log)).size(), 1u);

    ASSERT_TRUE(wintest::writeAll(hold, "go"));
    const DWORD code = exitCodeOf(first);
    standin(L"KORVAN_STANDIN_HOLD", nullptr);
    EXPECT_EQ(code, 0u);
    // Ended, it lets go of its file.
    EXPECT_TRUE(DeleteFileW(copy.c_str()));
    sink.drain();
    EXPECT_EQ(steps, (std::vector<int>{1, 2})) << "disabling, then enabling";
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.9.9\0\0"s);
    EXPECT_EQ(queryA(key, "SubnetMask"), "255.255.0.0\0\0"s);
    EXPECT_EQ(queryA(key, "DefaultGateway"), "\0\0"s);
    EXPECT_EQ(queryA(key, "NameServer"), "8.8.8.8,\0"s);
    auto log = lines(readAll(m_log));
    ASSERT_EQ(log.size(), 2u) << readAll(m_log);
    EXPECT_NE(log[0].find("disable \"@" + kInstanceB + "\""), std::string::npos) << log[0];
    EXPECT_NE(log[1].find("enable \"@" + kInstanceB + "\""), std::string::npos) << log[1];

    // devcon fails: written, restart failed.
    standin(L"KORVAN_STANDIN_EXIT", L"3");
    steps.clear();
    auto other = good;
    other.fields[0] = "192.168.9.10";
    EXPECT_EQ(runKorvan(adapter::verbArguments(other, window)), 2u);
    sink.drain();
    EXPECT_EQ(steps, (std::vector<int>{1, 2}));
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.9.10\0\0"s);
    standin(L"KORVAN_STANDIN_EXIT", nullptr);

    // Refused before anything is written or started.
    auto with = [&](size_t i, std::string v) {
        auto a = adapter::verbArguments(good, window);
        a[i] = std::move(v);
        return a;
    };
    const std::vector<std::string> refused[] = {
        [&] {   // a hardware identifier after the instance, as the verb once took
            auto a = adapter::verbArguments(good, window);
            a.insert(a.begin() + 2, kDeviceB);
            return a;
        }(),
        with(1, "{wireless}"),                   // not an ethernet adapter of the walk
        with(1, kIdB + "\\..\\..\\..\\Run"),    // a path instead of an instance
        with(2, "192.168.9.300"),
        with(5, "8.8.8.8 & calc"),
        with(8, "not-a-window"),
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

// The remote-safe apply's instance: the real korvan.exe asked to wait 2 s
// for the answer.
TEST_F(AdapterPanelWine, TheInstanceUndoesUnlessKeptInTimeByteForByte) {
    ASSERT_TRUE(exists(korvanExe()));
    devconInSystemFolder();
    std::vector<std::pair<int, int>> steps;
    win32::ProgressReceiver sink([&](int s, int d) { steps.emplace_back(s, d); });
    ASSERT_NE(sink.hwnd(), nullptr);
    const std::string window = std::to_string(reinterpret_cast<std::uintptr_t>(sink.hwnd()));
    const adapter::ApplyRequest change{kIdB, {"192.168.9.9", "255.255.0.0", "", "8.8.8.8", ""}};
    const std::string key = interfaceKey(kIdB);
    const char* names[] = {"IPAddress", "SubnetMask", "DefaultGateway", "NameServer"};
    // No gateway at all before: the undo deletes the one the apply wrote.
    // DNS of an even length with no terminator (the character after it is
    // not zero, or the registry would count one): the undo adds none.
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, widen(key).c_str(), L"DefaultGateway");
    const std::wstring dns = L"9.9.9.9X";
    putRaw(key, "NameServer", REG_SZ, dns.data(), (dns.size() - 1) * sizeof(wchar_t));
    std::string before[4];
    DWORD types[4] = {};
    for (int i = 0; i < 4; ++i) before[i] = queryW(key, names[i], &types[i]);
    ASSERT_EQ(before[2], "<no value>");
    ASSERT_EQ(before[3].size(), 14u);

    // Nobody answers: after its 2 s (and the grace) it writes back and
    // restarts again, with steps of its own.
    EXPECT_EQ(runKorvan(adapter::verbArguments(change, window, 2)), 3u);
    sink.drain();
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}));
    for (int i = 0; i < 4; ++i) {
        DWORD type = 0;
        EXPECT_EQ(queryW(key, names[i], &type), before[i]) << names[i];
        EXPECT_EQ(type, types[i]) << names[i];
    }
    auto log = lines(readAll(m_log));
    ASSERT_EQ(log.size(), 4u) << readAll(m_log);
    EXPECT_NE(log[2].find("disable \"@" + kInstanceB + "\""), std::string::npos) << log[2];
    EXPECT_NE(log[3].find("enable \"@" + kInstanceB + "\""), std::string::npos) << log[3];

    // The answer given through the window's events: kept, with the
    // restart's own code (the confirming step carries it too).
    auto events = win32::AnswerEvents::create();
    ASSERT_TRUE(events);
    ASSERT_TRUE(events->keep());
    steps.clear();
    EXPECT_EQ(runKorvan(adapter::verbArguments(change, window, 2, events->name())), 0u);
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.9.9\0\0"s);
    EXPECT_EQ(queryA(key, "DefaultGateway"), "\0\0"s);
    standin(L"KORVAN_STANDIN_EXIT", L"3");
    auto other = change;
    other.fields[0] = "192.168.9.10";
    EXPECT_EQ(runKorvan(adapter::verbArguments(other, window, 2, events->name())), 2u);
    standin(L"KORVAN_STANDIN_EXIT", nullptr);
    sink.drain();
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {3, 0}, {1, 0}, {2, 0}, {3, 2}}));
    EXPECT_EQ(queryA(key, "IPAddress"), "192.168.9.10\0\0"s);
    EXPECT_EQ(lines(readAll(m_log)).size(), 8u);
}

TEST_F(AdapterPanelWine, TheInstanceRefusesBadConfirmOptionsBeforeAnything) {
    ASSERT_TRUE(exists(korvanExe()));
    devconInSystemFolder();
    const adapter::ApplyRequest change{kIdB, {"192.168.9.9", "255.255.0.0", "", "8.8.8.8", ""}};
    auto with = [&](std::vector<std::string> options) {
        auto a = adapter::verbArguments(change);
        a.insert(a.end(), options.begin(), options.end());
        return a;
    };
    const std::string none = "korvan-none-" + std::to_string(GetCurrentProcessId());
    const std::vector<std::string> refused[] = {
        with({"--confirm-within"}),
        with({"--confirm-within", "0"}),
        with({"--confirm-within", "601"}),
        with({"--confirm-within", "1e2"}),
        with({"--confirm-within", "2", "--confirm-within", "2"}),
        with({"--answer", "abc"}),                              // without --confirm-within
        with({"--confirm-within", "2", "--answer", "a.b"}),
        with({"--confirm-within", "2", "--answer", none}),      // no such events
    };
    for (const auto& args : refused) {
        std::string shown;
        for (auto& a : args) shown += "[" + a + "]";
        EXPECT_EQ(runKorvan(args), 1u) << shown;
    }
    EXPECT_EQ(queryA(interfaceKey(kIdB), "IPAddress"), "192.168.7.7\0" "192.168.7.8\0\0"s);
    EXPECT_EQ(readAll(m_log), "") << "nothing may have been started";
}

TEST_F(AdapterPanelWine, TheWindowRunsTheApplyThroughAnInstanceAndShowsItsSteps) {
    ASSERT_TRUE(exists(korvanExe()));
    devconInSystemFolder();
    // The whole way: arguments, "runas", instance, reports, its end. Wine
    // shows no consent prompt (its processes hold full rights, so the tool
    // itself counts as elevated there: no shield, the apply in-process);
    // this window is told it is not, and korvan.exe plays this program.
    EXPECT_TRUE(win32::Win32Elevation(nullptr).elevated());
    win32::Win32Elevation elevation(korvanExe(), L"runas");
    std::vector<std::string> shown;
    win32::Win32Form* other = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::AdapterLists otherLists;
    struct Observed : platform::Elevation {
        platform::Elevation& real;
        std::vector<std::string>& shown;
        HWND status;
        int started = 0;
        Observed(platform::Elevation& r, std::vector<std::string>& s, HWND h) : real(r), shown(s), status(h) {}
        bool elevated() override { return false; }
        bool canElevate() override { return real.canElevate(); }
        std::unique_ptr<platform::ElevatedInstance> start(const std::vector<std::string>& a,
                                                          platform::ElevatedCallbacks c) override {
            ++started;
            auto progress = std::move(c.progress);
            c.progress = [this, progress](int step, int detail) {
                progress(step, detail);
                shown.push_back(windowText(status));
            };
            return real.start(a, std::move(c));
        }
    } observed(elevation, shown, other->unitHwnd("状态_标签"));
    adapter::bindAdapterPanel(*other, otherLists, panelServices(&observed));
    SendMessageW(other->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    SendMessageW(other->unitHwnd("IP编辑框1"), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 9, 8, 7));
    // The instance holds in its disable: the button stays off, a second
    // click starts nothing, and the window follows the process, not a clock.
    const std::wstring hold = m_tmp + L"\\hold";
    standin(L"KORVAN_STANDIN_HOLD", hold);
    SendMessageW(other->unitHwnd("修改_按钮"), BM_CLICK, 0, 0);
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return !shown.empty(); }, 60000)) << "no step arrived";
    EXPECT_FALSE(IsWindowEnabled(other->unitHwnd("修改_按钮")));
    SendMessageW(other->unitHwnd("修改_按钮"), BM_CLICK, 0, 0);
    EXPECT_EQ(observed.started, 1);
    ASSERT_TRUE(wintest::writeAll(hold, "go"));
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return IsWindowEnabled(other->unitHwnd("修改_按钮")) != FALSE; },
                                   60000));
    standin(L"KORVAN_STANDIN_HOLD", nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"正在禁用网络适配器...", "正在启用网络适配器..."}));
    EXPECT_EQ(windowText(other->unitHwnd("状态_标签")), "IP地址修改成功！");
    EXPECT_EQ(queryA(interfaceKey(kIdB), "IPAddress"), "10.9.8.7\0\0"s);
    EXPECT_EQ(lines(readAll(m_log)).size(), 2u);

    // A close while the instance still runs is held for the hold bound
    // (shortened here), then the window goes; the instance, no longer
    // followed, finishes its own enable.
    auto holding = panelServices(&observed);
    holding.closeHoldMs = 300;
    auto* fourth = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::AdapterLists fourthLists;
    adapter::bindAdapterPanel(*fourth, fourthLists, holding);
    SendMessageW(fourth->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    DeleteFileW(hold.c_str());
    standin(L"KORVAN_STANDIN_HOLD", hold);
    shown.clear();
    const HWND fourthWindow = fourth->hwnd();
    SendMessageW(fourth->unitHwnd("修改_按钮"), BM_CLICK, 0, 0);
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return lines(readAll(m_log)).size() == 3; }, 60000));
    SendMessageW(fourthWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(fourthWindow)) << "the close was not held";
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return !IsWindow(fourthWindow); }, 30000)) << "held past the bound";
    EXPECT_EQ(lines(readAll(m_log)).size(), 3u) << "the instance still holds in its disable";
    ASSERT_TRUE(wintest::writeAll(hold, "go"));
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return lines(readAll(m_log)).size() == 4; }, 60000))
        << "the instance did not finish its enable";
    standin(L"KORVAN_STANDIN_HOLD", nullptr);
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    // A program that cannot be started stands for a declined prompt.
    win32::Win32Elevation missing(binaryDir() + L"\\korvan_missing.exe", L"open");
    Observed declined(missing, shown, other->unitHwnd("状态_标签"));
    adapter::AdapterLists thirdLists;
    win32::Win32Form* third = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::bindAdapterPanel(*third, thirdLists, panelServices(&declined));
    SendMessageW(third->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    SendMessageW(third->unitHwnd("IP编辑框1"), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 9, 8, 6));
    apply(third);
    EXPECT_EQ(windowText(third->unitHwnd("状态_标签")), "IP地址修改失败！");
    EXPECT_EQ(queryA(interfaceKey(kIdB), "IPAddress"), "10.9.8.7\0\0"s);

    // Where no wait on the instance can be registered, the window polls its
    // process and follows it to its end all the same (it used to say
    // "not written" while the instance wrote and restarted).
    win32::Win32Elevation pollOnly(korvanExe(), L"runas", false);
    Observed polled(pollOnly, shown, third->unitHwnd("状态_标签"));
    auto* fifth = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::AdapterLists fifthLists;
    adapter::bindAdapterPanel(*fifth, fifthLists, panelServices(&polled));
    SendMessageW(fifth->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    SendMessageW(fifth->unitHwnd("IP编辑框1"), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 9, 8, 5));
    apply(fifth);
    EXPECT_EQ(windowText(fifth->unitHwnd("状态_标签")), "IP地址修改成功！");
    EXPECT_EQ(queryA(interfaceKey(kIdB), "IPAddress"), "10.9.8.5\0\0"s);
    DestroyWindow(fifth->hwnd());
    DestroyWindow(other->hwnd());
    DestroyWindow(third->hwnd());
}

TEST_F(AdapterPanelWine, OverARemoteSessionTheWindowAsksAndTheInstanceUndoes) {
    ASSERT_TRUE(exists(korvanExe()));
    devconInSystemFolder();
    // A remote session with the real events; korvan.exe plays the elevated
    // instance, as above.
    struct Remote : platform::Session {
        win32::Win32Session real;
        bool remote() override { return true; }
        std::unique_ptr<platform::AnswerSignal> answerEvents() override { return real.answerEvents(); }
    } session;
    win32::Win32Elevation real(korvanExe(), L"runas");
    struct Unelevated : platform::Elevation {
        platform::Elevation& real;
        explicit Unelevated(platform::Elevation& r) : real(r) {}
        bool elevated() override { return false; }
        bool canElevate() override { return true; }
        std::unique_ptr<platform::ElevatedInstance> start(const std::vector<std::string>& a,
                                                          platform::ElevatedCallbacks c) override {
            return real.start(a, std::move(c));
        }
    } elevation(real);
    struct Clock : platform::Clock {
        std::int64_t tickCount() override { return static_cast<std::int64_t>(GetTickCount64()); }
    } clock;
    auto services = panelServices(&elevation);
    services.session = &session;
    services.windows = &windows;
    services.clock = &clock;
    services.placeQuestion = win32::placeOverForm;
    auto* w = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::AdapterLists own;
    adapter::bindAdapterPanel(*w, own, services);
    SendMessageW(w->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    SendMessageW(w->unitHwnd("IP编辑框1"), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 9, 8, 7));
    const std::string key = interfaceKey(kIdB);
    const std::string before = queryA(key, "IPAddress");

    SendMessageW(w->unitHwnd("修改_按钮"), BM_CLICK, 0, 0);
    HWND question = nullptr;
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] {
        question = FindWindowW(L"KorvanWindow", L"确认网络设置");
        return question && IsWindowVisible(question);
    }, 60000)) << "no question";
    ASSERT_TRUE(question);
    EXPECT_EQ(GetWindow(question, GW_OWNER), w->hwnd());
    EXPECT_FALSE(IsWindowEnabled(w->hwnd()));
    EXPECT_EQ(windowText(w->unitHwnd("状态_标签")), "IP地址修改成功！");
    EXPECT_EQ(queryA(key, "IPAddress"), "10.9.8.7\0\0"s) << "the instance wrote, then asked";
    SendMessageW(FindWindowExW(question, nullptr, L"Button", L"立即还原"), BM_CLICK, 0, 0);
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return IsWindowEnabled(w->unitHwnd("修改_按钮")) != FALSE; },
                                   60000));
    EXPECT_EQ(windowText(w->unitHwnd("状态_标签")), "已还原原来的网络设置");
    EXPECT_EQ(queryA(key, "IPAddress"), before);
    EXPECT_EQ(ipText(w->unitHwnd("IP编辑框1")), "192.168.7.7") << "the fields show the registry";
    EXPECT_TRUE(IsWindowEnabled(w->hwnd()));
    EXPECT_EQ(lines(readAll(m_log)).size(), 4u) << "restarted, then restarted again";
    DestroyWindow(w->hwnd());
}

TEST(Win32ApplyLockTest, OneHolderAtATimeAndFreeAgainOnceLetGo) {
    // Wine's boundary descriptors are stubs: there the named mutex stands in
    // for the private namespace.
    EXPECT_FALSE(win32::Win32ApplyLock::privateNamespaces()) << "Wine has private namespaces now: look again";
    win32::Win32ApplyLock lock;
    auto takeElsewhere = [&lock] {
        bool taken = false;
        std::thread([&] { taken = lock.take() != nullptr; }).join();
        return taken;
    };
    auto held = lock.take();
    ASSERT_TRUE(held);
    EXPECT_FALSE(takeElsewhere());
    held.reset();
    EXPECT_TRUE(takeElsewhere());
}

TEST(Win32ElevationHold, TheHeldFileIsStartedByItsFinalPathAndNoHoldOffersNothing) {
    EXPECT_EQ(win32::launchPath(L"\\\\?\\C:\\tools\\korvan.exe"), L"C:\\tools\\korvan.exe");
    EXPECT_EQ(win32::launchPath(L"\\\\?\\UNC\\server\\share\\korvan.exe"), L"\\\\server\\share\\korvan.exe");
    EXPECT_EQ(win32::launchPath(L"C:\\korvan.exe"), L"C:\\korvan.exe");
    // The hold failed at start-up: no elevation at all.
    EXPECT_FALSE(win32::Win32Elevation(nullptr).canElevate());
    EXPECT_FALSE(win32::Win32Elevation(INVALID_HANDLE_VALUE).canElevate());
    // Held: the file behind the handle, by its full path.
    win32::UniqueHandle held(CreateFileW(korvanExe().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_TRUE(win32::Win32Elevation(held.get()).canElevate());
    wchar_t full[MAX_PATH];
    ASSERT_NE(GetFullPathNameW(korvanExe().c_str(), MAX_PATH, full, nullptr), 0u);
    const std::wstring path = win32::heldFilePath(held.get());
    EXPECT_EQ(CompareStringOrdinal(path.c_str(), -1, full, -1, TRUE), CSTR_EQUAL) << narrow(path);
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

// The real device functions, their calls recorded.
struct RecordingDevices : platform::Devices {
    win32::Win32Devices real;
    std::vector<std::string> calls;
    std::vector<platform::NetworkDevice> present() override { return real.present(); }
    platform::DeviceChange setEnabled(std::string_view id, bool enable, unsigned timeoutMs) override {
        calls.push_back(std::string(enable ? "enable " : "disable ") + std::string(id));
        return real.setEnabled(id, enable, timeoutMs);
    }
};

}  // namespace

TEST_F(AdapterPanelWine, WithoutDevconTheDeviceInstallerIsAskedForTheAdaptersOwnDeviceOnly) {
    // Wine's device installer lists devices and their driver keys as
    // Windows' does, but implements no DIF_PROPERTYCHANGE:
    // SetupDiSetClassInstallParamsW fails and SetupDiCallClassInstaller
    // answers ERROR_DI_DO_DEFAULT. So here the choice of the device is
    // shown, and that a refused change is reported as a failed restart with
    // the enable still attempted; an actual disable and enable can only be
    // seen on Windows. (That the elevated instance falls back the same way
    // is shown natively: under Wine its exit code is 2 either way.)
    const std::string ownKey = std::string(adapter::kDriverKeyPrefix) + "0002";   // B's entry
    // A second port with B's hardware identifier, listed before B's own.
    TestDevice sibling(L"ROOT\\KORVANTESTNET\\0001", widen(kDeviceB), widen(adapter::kDriverKeyPrefix) + L"0007");
    ASSERT_TRUE(sibling.made) << GetLastError();
    win32::Win32Devices devices;
    std::vector<std::string> keys;
    for (const platform::NetworkDevice& d : devices.present())
        if (d.instance.rfind("ROOT\\KORVANTESTNET\\", 0) == 0) keys.push_back(d.instance + "=" + d.driverKey);
    EXPECT_EQ(keys, (std::vector<std::string>{"ROOT\\KORVANTESTNET\\0000=" + std::string(adapter::kDriverKeyPrefix) + "0000",
                                              "ROOT\\KORVANTESTNET\\0001=" + std::string(adapter::kDriverKeyPrefix) + "0007",
                                              "ROOT\\KORVANTESTNET\\0002={4D36E972-E325-11CE-BFC1-08002BE10318}\\0002"}));
    EXPECT_EQ(devices.setEnabled("no such device", false, 60000), platform::DeviceChange::Failed);
    EXPECT_EQ(devices.setEnabled(kInstanceB, true, 60000), platform::DeviceChange::Failed)
        << "Wine has changed: look again";

    // In this process, no devcon (the stand-in cmd answers 9009): the device
    // installer is asked for B's own device, twice, and its refusal counts.
    tempFolder();
    runner.target = &standinRunner;
    standin(L"KORVAN_STANDIN_EXIT", L"9009");
    RecordingDevices recording;
    auto* w = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    adapter::AdapterLists l;
    adapter::bindAdapterPanel(*w, l, panelServices(nullptr, &recording));
    SendMessageW(w->unitHwnd("刷新_按钮"), BM_CLICK, 0, 0);
    ASSERT_EQ(l.driverKeys, (std::vector<std::string>{std::string(adapter::kDriverKeyPrefix) + "0000", ownKey}));
    apply(w);
    EXPECT_EQ(recording.calls, (std::vector<std::string>{"disable " + kInstanceB, "enable " + kInstanceB}));
    EXPECT_EQ(windowText(w->unitHwnd("状态_标签")), "IP地址已写入，但重启网卡失败！");
    EXPECT_EQ(lines(readAll(m_log)).size(), 1u) << "cmd is asked once";
    DestroyWindow(w->hwnd());
}

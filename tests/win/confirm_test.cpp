// The remote-safe apply's Windows pieces for real: the registry snapshot and
// its write-back on a key under HKLM, the two answer events with their
// DACL, the session question, and the question window owned by another
// window, answered by its buttons, by a close and by the time.
#include <windows.h>
#include <aclapi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "adapter/confirm.h"
#include "adapter/confirm_window.h"
#include "adapter/settings.h"
#include "platform/win32/confirm_win32.h"
#include "platform/win32/registry_win32.h"
#include "registry_helpers.h"
#include "resources/layouts.h"
#include "win_helpers.h"

namespace {

struct Raw {
    DWORD type = 0;
    std::string bytes;
    bool present = false;
    bool operator==(const Raw&) const = default;
};

// A value as stored, read with the plain API.
Raw readRaw(const std::string& path, const std::string& name) {
    Raw r;
    HKEY h;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return r;
    DWORD size = 0;
    if (RegQueryValueExW(h, win32::widen(name).c_str(), nullptr, &r.type, nullptr, &size) == ERROR_SUCCESS) {
        r.bytes.assign(size, '\0');
        r.present = RegQueryValueExW(h, win32::widen(name).c_str(), nullptr, &r.type,
                                     reinterpret_cast<BYTE*>(r.bytes.data()), &size) == ERROR_SUCCESS;
        r.bytes.resize(size);
    }
    RegCloseKey(h);
    return r;
}

struct Clock : platform::Clock {
    std::int64_t tickCount() override { return static_cast<std::int64_t>(GetTickCount64()); }
};

HWND findQuestion() {
    HWND h = FindWindowW(L"KorvanWindow", L"确认网络设置");
    return h && IsWindowVisible(h) ? h : nullptr;
}

}  // namespace

TEST(ConfirmRegistry, SnapshotAndWriteBackKeepTheStoredBytesExactly) {
    const std::string id = "{C0NF1RM-" + std::to_string(GetCurrentProcessId()) + "}";
    const std::string key = regtest::interfaceKey(id);
    regtest::deleteTree(key);
    regtest::createKey(key);
    // Two addresses; a mask of an odd length with no terminator after "ab"
    // (the byte behind the data is not zero, so nothing is added); no
    // gateway; DNS of a type the tool never writes.
    regtest::putWide(key, "IPAddress", REG_MULTI_SZ, std::wstring(L"10.0.0.5\0" L"10.0.0.6\0\0", 20));
    const char mask[] = "a\0b\0\x01zz";
    regtest::putRaw(key, "SubnetMask", REG_SZ, mask, 5);
    regtest::putRaw(key, "NameServer", REG_BINARY, "\x00\xFF\x10", 3);
    const char* names[] = {"IPAddress", "SubnetMask", "DefaultGateway", "NameServer"};
    Raw before[4];
    for (int i = 0; i < 4; ++i) before[i] = readRaw(key, names[i]);
    ASSERT_EQ(before[1].bytes.size(), 5u);
    ASSERT_FALSE(before[2].present);

    win32::Win32Registry registry;
    auto snapshot = adapter::takeSnapshot(registry, id);
    ASSERT_TRUE(snapshot);
    EXPECT_TRUE(adapter::changesAddress(*snapshot, "10.0.0.5", "255.0.0.0", ""));
    ASSERT_TRUE(adapter::写入网卡设置(registry, id, "192.168.9.9", "255.255.255.0", "192.168.9.1", "8.8.8.8", ""));
    EXPECT_NE(readRaw(key, "SubnetMask"), before[1]);
    ASSERT_TRUE(adapter::restoreSnapshot(registry, *snapshot));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(readRaw(key, names[i]), before[i]) << names[i];

    // What the tool wrote itself reads as unchanged when written again.
    ASSERT_TRUE(adapter::写入网卡设置(registry, id, "192.168.9.9", "255.255.255.0", "192.168.9.1", "", ""));
    auto written = adapter::takeSnapshot(registry, id);
    ASSERT_TRUE(written);
    EXPECT_FALSE(adapter::changesAddress(*written, "192.168.9.9", "255.255.255.0", "192.168.9.1"));
    EXPECT_TRUE(adapter::changesAddress(*written, "192.168.9.9", "255.255.255.0", "192.168.9.254"));
    regtest::deleteTree(key);
}

TEST(ConfirmEvents, CreatedOpenedByNameSetAndSeenAndAnExistingNameRefused) {
    auto created = win32::AnswerEvents::create();
    ASSERT_TRUE(created);
    EXPECT_TRUE(adapter::isAnswerName(created->name()));
    EXPECT_FALSE(win32::AnswerEvents::createNamed(created->name()));   // exists: refused

    // Only the user and the Administrators group, each with the two rights.
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    win32::UniqueHandle reader(
        OpenEventW(READ_CONTROL, FALSE, win32::widen("Local\\" + created->name() + ".keep").c_str()));
    ASSERT_TRUE(reader);
    ASSERT_EQ(GetSecurityInfo(reader.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &sd),
              ERROR_SUCCESS);
    ASSERT_NE(dacl, nullptr);
    EXPECT_EQ(dacl->AceCount, 2);
    BYTE adminSid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof adminSid;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminSid, &sidSize));
    bool admins = false;
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Mask, static_cast<DWORD>(SYNCHRONIZE | EVENT_MODIFY_STATE));
        admins = admins || EqualSid(&ace->SidStart, adminSid);
    }
    EXPECT_TRUE(admins);
    LocalFree(sd);

    // The instance's side opens the pair by name; what it sees is what the
    // window sets, and the other way round.
    auto opened = win32::AnswerEvents::open(created->name());
    ASSERT_TRUE(opened);
    win32::Win32AnswerWait instance(&*opened);
    EXPECT_EQ(instance.wait(0), adapter::Answer::TimedOut);
    ASSERT_TRUE(created->keep());
    EXPECT_EQ(instance.wait(5000), adapter::Answer::Keep);
    ASSERT_TRUE(opened->undo());   // both set: undo wins
    EXPECT_EQ(win32::Win32AnswerWait(&*created).wait(5000), adapter::Answer::Undo);

    EXPECT_FALSE(win32::AnswerEvents::open("korvan-answer-none-" + std::to_string(GetCurrentProcessId())));
    EXPECT_FALSE(win32::AnswerEvents::open("..\\Global\\x"));
    EXPECT_FALSE(win32::AnswerEvents::createNamed("a b"));
    EXPECT_EQ(win32::Win32AnswerWait().wait(1), adapter::Answer::TimedOut);

}

TEST(ConfirmSession, TheConsoleIsLocalAndAnotherSessionThanTheConsolesIsRemote) {
    // Wine's desktop is the console. Where the system records the console's
    // session, a process in another session is remote even when the metric
    // says otherwise.
    const std::string key = "SYSTEM\\CurrentControlSet\\Control\\Terminal Server";
    // The machine's value is put back however the test ends: one left over
    // would make every later session here count as remote.
    struct Restore {
        std::string key;
        Raw saved;
        ~Restore() {
            if (saved.present) regtest::putRaw(key, "GlassSessionId", saved.type, saved.bytes.data(), saved.bytes.size());
            else RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, win32::widen(key).c_str(), L"GlassSessionId");
        }
    } restore{key, readRaw(key, "GlassSessionId")};
    DWORD mine = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &mine));
    ASSERT_FALSE(restore.saved.present);
    EXPECT_FALSE(win32::Win32Session().remote());
    regtest::putDword(key, "GlassSessionId", mine + 1);
    EXPECT_TRUE(win32::Win32Session().remote());
    regtest::putDword(key, "GlassSessionId", mine);
    EXPECT_FALSE(win32::Win32Session().remote());
}

TEST(ConfirmWindow, OwnedByTheMainWindowAndAnsweredByButtonsCloseAndTime) {
    win32::Win32Windows windows;
    Clock clock;
    auto* owner = static_cast<win32::Win32Form*>(windows.create(layouts::about()));
    owner->setVisible("", true);
    adapter::ConfirmQuestion question(windows, clock, win32::placeOverForm);

    // A helper thread plays the user once the question shows; with a short
    // countdown a helper that never finds the window cannot hang the test.
    // The question has no loop of its own: the window's own loop runs it.
    struct Seen {
        HWND owner = nullptr;
        bool sameMonitor = false, ownerDisabled = false;
        std::string first, hint, countdown;
    };
    auto answerWith = [&](const char* buttonOrClose, int seconds) {
        Seen seen;
        std::thread user([&] {
            HWND h = nullptr;
            for (int i = 0; i < 1000 && !(h = findQuestion()); ++i) Sleep(10);
            if (!h) return;
            seen.owner = GetWindow(h, GW_OWNER);
            seen.sameMonitor = MonitorFromWindow(h, MONITOR_DEFAULTTONULL) ==
                               MonitorFromWindow(owner->hwnd(), MONITOR_DEFAULTTONULL);
            seen.ownerDisabled = !IsWindowEnabled(owner->hwnd());
            HWND labels[3] = {};
            EnumChildWindows(
                h,
                [](HWND c, LPARAM lp) -> BOOL {
                    auto* out = reinterpret_cast<HWND*>(lp);
                    const std::string t = wintest::windowText(c);
                    if (t.rfind("IP地址", 0) == 0) out[0] = c;
                    if (t.rfind("如果", 0) == 0) out[1] = c;
                    if (t.rfind("将在", 0) == 0) out[2] = c;
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(labels));
            for (int i = 0; i < 3; ++i)
                if (labels[i]) (i == 0 ? seen.first : i == 1 ? seen.hint : seen.countdown) = wintest::windowText(labels[i]);
            if (std::string(buttonOrClose) == "close") {
                PostMessageW(h, WM_CLOSE, 0, 0);
            } else if (*buttonOrClose) {
                HWND b = FindWindowExW(h, nullptr, L"Button", win32::widen(buttonOrClose).c_str());
                if (b) PostMessageW(b, BM_CLICK, 0, 0);
            }
        });
        std::optional<adapter::ConfirmResult> r;
        question.show(*owner, "IP地址修改成功！", seconds, [&](adapter::ConfirmResult a) { r = a; });
        EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return r.has_value(); }, 30000));
        user.join();
        return std::make_pair(r.value_or(adapter::ConfirmResult::Closed), seen);
    };

    auto [keep, seen] = answerWith("保留设置", 10);
    EXPECT_EQ(keep, adapter::ConfirmResult::Keep);
    EXPECT_EQ(seen.owner, owner->hwnd());
    EXPECT_TRUE(seen.sameMonitor);
    EXPECT_TRUE(seen.ownerDisabled);
    EXPECT_EQ(seen.first, "IP地址修改成功！");
    EXPECT_EQ(seen.hint, "如果远程连接断开了，请用新地址重新连接，再点击“保留设置”。");
    EXPECT_EQ(seen.countdown, "将在 10 秒后自动还原原来的设置。");
    EXPECT_TRUE(IsWindowEnabled(owner->hwnd()));
    EXPECT_FALSE(findQuestion());

    EXPECT_EQ(answerWith("立即还原", 10).first, adapter::ConfirmResult::Undo);
    EXPECT_EQ(answerWith("close", 10).first, adapter::ConfirmResult::Closed);
    // Nobody answers: the countdown ends it.
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(answerWith("", 1).first, adapter::ConfirmResult::TimedOut);
    EXPECT_GE(GetTickCount64() - start, 900u);
    // The owner goes with `windows` (closing the last window would post the
    // quit message that ends the loop).
}

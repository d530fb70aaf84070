// The console runner through the real main window: a stand-in cmd.exe in the
// runner's stand-in system folder shows what was started, the scratch files
// land on Wine's real C: drive, and the copy button fills the real clipboard.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/clipboard_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/http_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "shell/app.h"
#include "win_helpers.h"

using namespace wintest;
using win32::narrow;
using win32::widen;

namespace {

const std::wstring kBat = L"C:\\dos.bat";
const std::wstring kTxt = L"C:\\dos.txt";

// The real file operations, with a look at the batch file just before the
// tool removes it (it lives only for the moment of the launch).
struct WatchedFiles : platform::Files {
    win32::Win32Files real;
    struct Seen {
        std::string bytes;
        DWORD attributes = INVALID_FILE_ATTRIBUTES;
    };
    std::vector<Seen> seen;
    bool exists(std::string_view p) override { return real.exists(p); }
    bool write(std::string_view p, std::string_view b) override { return real.write(p, b); }
    bool createNew(std::string_view p, std::string_view b) override { return real.createNew(p, b); }
    std::optional<std::string> read(std::string_view p) override { return real.read(p); }
    bool setAttributes(std::string_view p, std::uint32_t a) override { return real.setAttributes(p, a); }
    bool remove(std::string_view p) override {
        if (p == "C:\\dos.bat") seen.push_back({readAll(kBat), GetFileAttributesW(kBat.c_str())});
        return real.remove(p);
    }
};

std::wstring clipboardUnicode() {
    std::wstring out = L"<none>";
    if (!OpenClipboard(nullptr)) return L"<closed>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            out = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

std::string clipboardAnsi() {
    std::string out = "<none>";
    if (!OpenClipboard(nullptr)) return "<closed>";
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (auto* p = static_cast<const char*>(GlobalLock(h))) {
            out = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

struct ConsoleRunnerPanel : ::testing::Test {
    win32::Win32Windows windows;
    wintest::CountingRunner runner;
    win32::Win32Dialogs dialogs;
    win32::Win32System system;
    WatchedFiles files;
    win32::Win32Shell shellOpen;
    win32::Win32Clipboard clipboard;
    win32::Win32Registry registry;
    win32::Win32HttpGet httpGet;
    win32::Win32HttpTransport httpTransport;
    shell::Services services{windows, runner, dialogs, system, files, shellOpen, registry, httpGet, httpTransport};
    std::unique_ptr<shell::App> app;
    win32::Win32Form* main = nullptr;
    std::wstring log;

    void SetUp() override {
        // Leftovers of an earlier failed run of this test in this prefix.
        SetFileAttributesW(kBat.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(kBat.c_str());
        DeleteFileW(kTxt.c_str());
        const std::wstring dir = binaryDir();
        log = dir + L"\\console_runner_" + std::to_wstring(GetCurrentProcessId()) + L".log";
        DeleteFileW(log.c_str());
        SetEnvironmentVariableW(L"KORVAN_STANDIN_LOG", log.c_str());

        services.clipboard = &clipboard;
        app = std::make_unique<shell::App>(services);
        main = openMain(*app);
        ASSERT_NE(main, nullptr);
    }
    void TearDown() override {
        if (main && main->alive()) DestroyWindow(main->hwnd());
        app.reset();
        SetEnvironmentVariableW(L"KORVAN_STANDIN_LOG", nullptr);
        DeleteFileW(log.c_str());
    }
    HWND box() { return main->unitHwnd("编辑框2"); }
    void click(const char* unit) { SendMessageW(main->unitHwnd(unit), BM_CLICK, 0, 0); }
    bool scrolls() { return GetWindowLongW(box(), GWL_STYLE) & WS_VSCROLL; }
    // Closes the main window the way the user does and lets the loop end.
    void closeMain() {
        PostMessageW(main->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(windows.run(), 0);
        EXPECT_EQ(windows.liveWindows(), 0u);
        main = nullptr;
    }
};

}  // namespace

TEST_F(ConsoleRunnerPanel, RunStartsTheConsoleAndItsHiddenBatchFileComesAndGoes) {
    setWindowText(box(), "echo 中文\r\nver");
    ASSERT_FALSE(scrolls());
    click("超级按钮1");
    ASSERT_EQ(runner.calls, 1);

    // The stand-in cmd.exe records "name TAB sw=N TAB command line", the
    // command's line break included; SW_SHOWNORMAL is 1.
    ASSERT_TRUE(pumpUntil(windows, [&] { return !readAll(log).empty(); }));
    EXPECT_EQ(readAll(log), "cmd\tsw=1\tcmd /k echo 中文\r\nver\n");

    // The batch file was on drive C, hidden, with the GBK bytes and no line
    // break at the end; now neither scratch file is left.
    ASSERT_EQ(files.seen.size(), 1u);
    EXPECT_EQ(files.seen[0].bytes, "echo \xD6\xD0\xCE\xC4\r\nver >  c:\\dos.txt");
    EXPECT_EQ(files.seen[0].attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(exists(kBat));
    EXPECT_FALSE(exists(kTxt));

    // The box keeps the command and shows a vertical scroll bar until it is
    // cleared.
    EXPECT_EQ(windowText(box()), "echo 中文\r\nver");
    EXPECT_TRUE(scrolls());
    click("超级按钮3");
    EXPECT_EQ(windowText(box()), "");
    EXPECT_FALSE(scrolls());

    // Empty box: the notice lands in the box, nothing starts, nothing is
    // written; a click into the box takes the notice away.
    click("超级按钮1");
    EXPECT_EQ(runner.calls, 1);
    EXPECT_EQ(files.seen.size(), 1u);
    EXPECT_EQ(windowText(box()), "[系统提示：] 请输入完整的DOS命令，再进行执行操作！");
    SendMessageW(box(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(box(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(windowText(box()), "");
    closeMain();
}

TEST_F(ConsoleRunnerPanel, CopyFillsTheClipboardWithTheWholeBoxEvenWhenEmpty) {
    // Something else on the clipboard first, so an empty copy shows.
    ASSERT_TRUE(clipboard.setText("earlier"));
    click("超级按钮2");
    EXPECT_EQ(narrow(clipboardUnicode()), std::string(windowText(box())));
    EXPECT_EQ(clipboardUnicode().rfind(L"请直接输入命令", 0), 0u);

    setWindowText(box(), "dir /s\r\nver");
    click("超级按钮2");
    EXPECT_EQ(clipboardUnicode(), L"dir /s\r\nver");
    EXPECT_EQ(clipboardAnsi(), "dir /s\r\nver");   // offered by Windows from the Unicode text

    setWindowText(box(), "");
    click("超级按钮2");
    EXPECT_EQ(clipboardUnicode(), L"");
    EXPECT_EQ(runner.calls, 0);
    closeMain();
}

TEST_F(ConsoleRunnerPanel, ScratchFilesThatWereThereBeforeSurviveARunAndTheClose) {
    ASSERT_TRUE(writeAll(kBat, "@echo their own batch\r\n"));
    ASSERT_TRUE(writeAll(kTxt, "their own output"));
    setWindowText(box(), "dir");
    click("超级按钮1");
    ASSERT_EQ(runner.calls, 1);
    ASSERT_TRUE(pumpUntil(windows, [&] { return !readAll(log).empty(); }));
    EXPECT_EQ(readAll(log), "cmd\tsw=1\tcmd /k dir\n");
    EXPECT_TRUE(files.seen.empty());   // never asked to remove theirs
    closeMain();

    EXPECT_EQ(readAll(kBat), "@echo their own batch\r\n");
    EXPECT_EQ(readAll(kTxt), "their own output");
    EXPECT_EQ(GetFileAttributesW(kBat.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    DeleteFileW(kBat.c_str());
    DeleteFileW(kTxt.c_str());
}

TEST(Win32FilesCreateNew, CreatesOnlyWhereNothingIsAndNeverReplaces) {
    win32::Win32Files files;
    const std::wstring path = binaryDir() + L"\\新文件_" + std::to_wstring(GetCurrentProcessId()) + L".bat";
    const std::string p = narrow(path);
    DeleteFileW(path.c_str());
    EXPECT_TRUE(files.createNew(p, "first"));
    EXPECT_EQ(readAll(path), "first");
    EXPECT_FALSE(files.createNew(p, "second"));
    EXPECT_EQ(readAll(path), "first");
    // Not even a hidden one, which a plain write would replace.
    ASSERT_TRUE(files.setAttributes(p, platform::kAttrHidden));
    EXPECT_FALSE(files.createNew(p, "third"));
    EXPECT_EQ(readAll(path), "first");
    EXPECT_TRUE(files.remove(p));
}

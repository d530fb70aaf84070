// The Win32 platform services against the real system: GBK codec, files,
// host and program directory, message boxes and the shell.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "platform/codec.h"
#include "platform/win32/platform_win32.h"
#include "win_helpers.h"
#include "platform/win32/wide.h"

namespace {

using wintest::binaryDir;

using win32::narrow;
using win32::widen;

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(widen(path).c_str()); }

// A fresh directory with a Chinese name under %TEMP%, removed with its files.
class TempDir {
public:
    TempDir() {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        static int counter = 0;
        m_path = narrow(tmp) + "网络小工具_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
        CreateDirectoryW(widen(m_path).c_str(), nullptr);
    }
    ~TempDir() {
        const std::wstring dir = widen(m_path);
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                const std::wstring f = dir + L"\\" + fd.cFileName;
                SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_NORMAL);
                // A program started from here may still be on its way out.
                for (int i = 0; i < 100 && !DeleteFileW(f.c_str()); ++i) Sleep(20);
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// ---- codec ---------------------------------------------------------------

TEST(Codec, ChineseTextSurvivesTheRoundTrip) {
    const std::string texts[] = {
        "",
        "plain ASCII 123 []",
        "Korvan网络小工具 1.1",
        "无法连接更新服务器，请稍后再试！",
        "IP地址已写入，但重启网卡失败！【提示】①②③ ￥€",
    };
    for (const std::string& t : texts) {
        const std::string gbk = codec::utf8ToGbk(t);
        EXPECT_EQ(codec::gbkToUtf8(gbk), t);
        const bool ascii = std::all_of(t.begin(), t.end(), [](char ch) { return (ch & 0x80) == 0; });
        EXPECT_EQ(gbk == t, ascii) << "only ASCII reads the same in both";
    }
    EXPECT_EQ(codec::utf8ToGbk("中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(codec::gbkToUtf8("\xD6\xD0\xCE\xC4"), "中文");
    EXPECT_EQ(codec::utf8ToGbk("a中b"), "a\xD6\xD0" "b");
}

TEST(Codec, BadBytesAndMissingCharactersAreReplaced) {
    // A byte that starts no character becomes U+FFFD; the text around it
    // (and an ASCII byte right after a stray lead byte) is kept.
    EXPECT_EQ(codec::gbkToUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(codec::gbkToUtf8("\xD6\xD0\x81 [x]"), "中\xEF\xBF\xBD [x]");
    // "[" is a valid second byte: 0x81 0x5B is one character, not a stray
    // byte followed by a bracket.
    EXPECT_EQ(codec::gbkToUtf8("\x81[x]"), "乕x]");
    EXPECT_EQ(codec::gbkToUtf8("\xCE\xC4\xD6"), "文\xEF\xBF\xBD");
    // Characters GBK lacks become one "?" each, never a look-alike.
    EXPECT_EQ(codec::utf8ToGbk("한中😀x"), "?\xD6\xD0?x");
    EXPECT_EQ(codec::utf8ToGbk("À"), "?") << "not the lower-case à that GBK has";
    // Invalid UTF-8 input does not take valid neighbours with it.
    EXPECT_EQ(codec::utf8ToGbk("a\xFF" "文"), "a?\xCE\xC4");
    // A broken sequence is one "?" and ends where it breaks, as in the
    // native codec (whose lead byte used to swallow what followed).
    EXPECT_EQ(codec::utf8ToGbk("a\xFF b"), "a? b");
    EXPECT_EQ(codec::utf8ToGbk("\xE4\xB8" "d\xE4"), "?d?");
    EXPECT_EQ(codec::utf8ToGbk("\xF0\x9F" "1.2"), "?1.2");
}

// ---- files ---------------------------------------------------------------

TEST(Files, WriteReadReplaceAndRemoveWithChineseNames) {
    TempDir dir;
    win32::Win32Files files;
    const std::string file = dir / "配置 文件.ini";
    ASSERT_FALSE(files.exists(file));
    EXPECT_FALSE(files.read(file).has_value());

    const std::string bytes("[设置]\r\nkey=\xD6\xD0\0\xFF\r\n", 18);
    ASSERT_TRUE(files.write(file, bytes));
    EXPECT_TRUE(files.exists(file));
    EXPECT_EQ(files.read(file), bytes);
    // The name on disk is the Chinese name itself, not a mangled one.
    EXPECT_NE(attributesOf(file), INVALID_FILE_ATTRIBUTES);

    // Replacing leaves exactly the new bytes, no tail of the old ones.
    ASSERT_TRUE(files.write(file, "short"));
    EXPECT_EQ(files.read(file), "short");
    ASSERT_TRUE(files.write(file, ""));
    EXPECT_EQ(files.read(file), "");

    // More than one write chunk.
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + (i >> 12));
    ASSERT_TRUE(files.write(file, big));
    EXPECT_EQ(files.read(file), big);

    ASSERT_TRUE(files.remove(file));
    EXPECT_FALSE(files.exists(file));
    EXPECT_FALSE(files.remove(file));

    EXPECT_TRUE(files.exists(dir.path()));
    EXPECT_FALSE(files.write(dir / "没有这个目录\\a.txt", "x"));
    EXPECT_FALSE(files.write(dir.path(), "x")) << "a directory is not replaced by a file";
}

TEST(Files, HiddenFilesCanBeHiddenRewrittenAndShown) {
    TempDir dir;
    win32::Win32Files files;
    const std::string file = dir / "dos.bat";
    ASSERT_TRUE(files.write(file, "@echo off\r\n"));

    ASSERT_TRUE(files.setAttributes(file, platform::kAttrHidden));
    DWORD a = attributesOf(file);
    EXPECT_TRUE(a & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(a & FILE_ATTRIBUTE_READONLY);

    // Rewriting a hidden file works and keeps it hidden.
    ASSERT_TRUE(files.write(file, "ping 127.0.0.1\r\n"));
    EXPECT_EQ(files.read(file), "ping 127.0.0.1\r\n");
    EXPECT_TRUE(attributesOf(file) & FILE_ATTRIBUTE_HIDDEN);

    ASSERT_TRUE(files.setAttributes(file, platform::kAttrNormal));
    EXPECT_FALSE(attributesOf(file) & FILE_ATTRIBUTE_HIDDEN);

    // A read-only file is neither replaced nor removed.
    ASSERT_TRUE(files.setAttributes(file, platform::kAttrReadOnly));
    EXPECT_FALSE(files.write(file, "changed"));
    EXPECT_FALSE(files.remove(file));
    EXPECT_EQ(files.read(file), "ping 127.0.0.1\r\n");
    ASSERT_TRUE(files.setAttributes(file, platform::kAttrNormal));
    EXPECT_TRUE(files.remove(file));

    EXPECT_FALSE(files.setAttributes(dir / "missing.txt", platform::kAttrHidden));
}

// ---- system --------------------------------------------------------------

TEST(System, ProgramDirectoryAndHostName) {
    win32::Win32System sys;
    const std::string dir = sys.programDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '\\');
    EXPECT_NE(dir.back(), '/');
    // The directory this binary and the stand-in were built into.
    EXPECT_NE(attributesOf(dir + "\\win_platform_test.exe"), INVALID_FILE_ATTRIBUTES) << dir;
    EXPECT_NE(attributesOf(dir + "\\standin.exe"), INVALID_FILE_ATTRIBUTES) << dir;

    const std::string host = sys.hostName();
    EXPECT_FALSE(host.empty());
    EXPECT_LE(widen(host).size(), 255u);
    EXPECT_EQ(host.find('\0'), std::string::npos);
}

// ---- message boxes -------------------------------------------------------

// What a helper thread saw of the box before pressing a button in it.
struct SeenBox {
    std::wstring title, text;
    int defaultId = 0;
    bool buttons[12] = {};  // by control id: IDOK (1) .. IDNO (7)
    HICON icon = nullptr;
};

// The box once it is shown, i.e. fully set up; nullptr if it never appears.
HWND findBox(const wchar_t* title) {
    for (int i = 0; i < 500; ++i) {
        HWND h = FindWindowW(L"#32770", title);
        if (h && IsWindowVisible(h)) return h;
        Sleep(20);
    }
    return nullptr;
}

int focusedControlId(HWND box) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info) || !info.hwndFocus) return 0;
    return GetDlgCtrlID(info.hwndFocus);
}

TEST(Dialogs, MessageBoxShowsTheRequestedBoxAndMapsTheAnswer) {
    using platform::Answer;
    using platform::Buttons;
    using platform::Icon;
    struct Case {
        Buttons buttons;
        int defaultButton;
        Icon icon;
        int expectedDefaultId;
        int press;
        Answer answer;
        const wchar_t* systemIcon;  // nullptr: no icon
    };
    const Case cases[] = {
        {Buttons::Ok, 0, Icon::Information, IDOK, IDOK, Answer::Ok, IDI_INFORMATION},
        {Buttons::OkCancel, 1, Icon::Warning, IDCANCEL, IDCANCEL, Answer::Cancel, IDI_WARNING},
        {Buttons::YesNo, 0, Icon::Question, IDYES, IDYES, Answer::Yes, IDI_QUESTION},
        {Buttons::YesNoCancel, 2, Icon::Error, IDCANCEL, IDNO, Answer::No, IDI_ERROR},
        {Buttons::RetryCancel, 0, Icon::None, IDRETRY, IDRETRY, Answer::Retry, nullptr},
        {Buttons::AbortRetryIgnore, 1, Icon::Error, IDRETRY, IDABORT, Answer::Abort, IDI_ERROR},
        {Buttons::AbortRetryIgnore, 2, Icon::None, IDIGNORE, IDIGNORE, Answer::Ignore, nullptr},
    };
    const int allIds[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO};
    int n = 0;
    for (const Case& c : cases) {
        const std::string title = "提示 " + std::to_string(++n);
        SCOPED_TRACE(title);
        // A presser that gives up leaves the box to the watchdog: this case
        // fails instead of the binary hanging.
        wintest::DialogWatchdog watchdog;
        const std::wstring wtitle = widen(title);
        SeenBox seen;
        std::atomic<bool> found{false};
        std::thread presser([&] {
            HWND box = findBox(wtitle.c_str());
            if (!box) return;
            found = true;
            wchar_t buf[256] = {};
            GetWindowTextW(box, buf, 256);
            seen.title = buf;
            GetDlgItemTextW(box, 0xFFFF, buf, 256);  // the box's message text
            seen.text = buf;
            // The default button is the one that has the focus. A box can be
            // visible a moment before the system has given it the focus.
            for (int i = 0; i < 500 && !(seen.defaultId = focusedControlId(box)); ++i) Sleep(10);
            for (int id : allIds) seen.buttons[id] = GetDlgItem(box, id) != nullptr;
            for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                if (HICON icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0))) seen.icon = icon;
            }
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(c.press, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, c.press)));
        });
        platform::MessageBoxSpec spec;
        spec.text = "无法连接更新服务器，请稍后再试！";
        spec.title = title;
        spec.icon = c.icon;
        spec.buttons = c.buttons;
        spec.defaultButton = c.defaultButton;
        const Answer answer = win32::Win32Dialogs().messageBox(spec);
        presser.join();
        ASSERT_TRUE(found) << "no message box appeared (is there a display?)";
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(seen.title, wtitle);
        EXPECT_EQ(seen.text, L"无法连接更新服务器，请稍后再试！");
        EXPECT_EQ(seen.defaultId, c.expectedDefaultId);
        EXPECT_TRUE(seen.buttons[c.press]);
        if (c.systemIcon) {
            EXPECT_EQ(seen.icon, LoadIconW(nullptr, c.systemIcon));
        } else {
            EXPECT_EQ(seen.icon, nullptr);
        }
    }
}

// ---- shell ---------------------------------------------------------------

TEST(Shell, OpensWhatExistsAndReportsWhatDoesNot) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    TempDir dir;
    win32::Win32Shell shell;
    EXPECT_FALSE(shell.open(dir / "没有这个文件.txt"));

    // A program opened by the shell starts in a normal window.
    const std::string program = dir / "打开测试.exe";
    ASSERT_TRUE(CopyFileW((binaryDir() + L"\\standin.exe").c_str(), widen(program).c_str(), FALSE));
    const std::string log = dir / "shell.log", done = dir / "done";
    SetEnvironmentVariableW(L"KORVAN_STANDIN_LOG", widen(log).c_str());
    SetEnvironmentVariableW(L"KORVAN_STANDIN_DONE", widen(done).c_str());
    const bool opened = shell.open(program);
    SetEnvironmentVariableW(L"KORVAN_STANDIN_LOG", nullptr);
    SetEnvironmentVariableW(L"KORVAN_STANDIN_DONE", nullptr);
    ASSERT_TRUE(opened);
    for (int i = 0; i < 500 && attributesOf(done) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(20);
    win32::Win32Files files;
    const std::string record = files.read(log).value_or("");
    EXPECT_EQ(record.rfind("打开测试\tsw=1\t", 0), 0u) << record;
    CoUninitialize();
}

}  // namespace

// The FTP client for real: WinINet against the FTP fixture server (started
// around this binary by tests/fixtures/with-ftp-server), real windows built
// from the layouts and driven with window messages, real files. Only the
// questions and the input box are answered by a test double.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <thread>

#include "adapter/confirm_window.h"
#include "ftp/cipher.h"
#include "ftp/client.h"
#include "ftp/ini.h"
#include "platform/codec.h"
#include "platform/win32/confirm_win32.h"
#include "platform/win32/ftp_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/update_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "win_helpers.h"

using win32::narrow;
using win32::widen;

namespace {

// `auto& w = <the FTP window after a login>`, or the test ends there.
#define LOGIN(w, ...)                                          \
    win32::Win32Form* w##Window = nullptr;                     \
    ASSERT_NO_FATAL_FAILURE(login(w##Window, ##__VA_ARGS__));  \
    auto& w = *w##Window

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// A Unix path of the fixture as Wine sees it.
std::string winPath(std::string unix) {
    for (char& c : unix)
        if (c == '/') c = '\\';
    return "Z:" + unix;
}

std::string serverFile(std::string_view rel) { return winPath(env("KORVAN_FTP_ROOT") + "/" + std::string(rel)); }

std::string slurp(const std::string& path) {
    std::ifstream in(widen(path).c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const std::string& path, std::string_view bytes) {
    std::ofstream out(widen(path).c_str(), std::ios::binary);
    out << bytes;
}

bool exists(const std::string& path) { return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string binaryDir() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring p(buf, n);
    return narrow(p.substr(0, p.find_last_of(L"\\/")));
}

// A fresh empty folder beside the test binary.
std::string freshDir(const std::string& name) {
    const std::string dir = binaryDir() + "\\" + name;
    SHFILEOPSTRUCTW op{};
    std::wstring from = widen(dir) + L'\0';
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
    CreateDirectoryW(widen(dir).c_str(), nullptr);
    return dir;
}

struct Answers : platform::Dialogs {
    std::deque<platform::Answer> answers;
    std::vector<std::string> asked;
    std::deque<std::optional<std::string>> inputs;
    platform::Answer messageBox(const platform::MessageBoxSpec& s) override {
        asked.emplace_back(s.text);
        if (answers.empty()) return platform::Answer::No;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> inputBox(std::string_view, std::string_view, std::string_view) override {
        if (inputs.empty()) return std::nullopt;
        auto a = inputs.front();
        inputs.pop_front();
        return a;
    }
};

struct ProgramDir : platform::System {
    std::string dir;
    std::string hostName() override { return "test"; }
    std::string programDirectory() override { return dir; }
};

struct FtpWine : ::testing::Test {
    win32::Win32Windows windows;
    win32::Win32Ftp ftp{&windows};
    win32::Win32LocalDisk disk;
    win32::Win32Pause pause{windows};
    win32::Win32Files files;
    Answers dialogs;
    ProgramDir system;
    ftp::FtpServices services{windows, dialogs, system, files, ftp, disk, pause};
    std::unique_ptr<ftp::FtpClient> client;
    win32::Win32Form* main = nullptr;
    std::string local;

    void SetUp() override {
        ASSERT_FALSE(env("KORVAN_FTP_PORT").empty()) << "run through tests/fixtures/with-ftp-server";
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        local = freshDir("ftp-local-" + name);
        system.dir = freshDir("ftp-program-" + name);
        SetCurrentDirectoryW(widen(local).c_str());
        resetServerTree();
        openMain();
    }
    // Every test starts from the fixture's own tree: the next connection
    // builds it afresh before it greets (see ftp_server.py).
    void resetServerTree() {
        spit(winPath(env("KORVAN_FTP_ROOT") + ".reset"), "");
        // Once, on a heavily loaded machine, the login right after a test
        // that gave up a stalled step got no answer within the stall limit;
        // the reset itself is not what a test checks, so it may try again.
        bool opened = false;
        for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
            win32::Win32Ftp probe;
            opened = probe.open("127.0.0.1", env("KORVAN_FTP_USER"), env("KORVAN_FTP_PASSWORD"),
                                std::atoi(env("KORVAN_FTP_PORT").c_str()), false);
        }
        ASSERT_TRUE(opened);
        ASSERT_FALSE(exists(winPath(env("KORVAN_FTP_ROOT") + ".reset")));
    }

    void openMain() {
        client = std::make_unique<ftp::FtpClient>(services);
        main = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
        client->bindLoginPanel(*main);
        main->setVisible("", true);
    }
    void TearDown() override {
        win32::setFtpLimits({});
        SetCurrentDirectoryW(widen(binaryDir()).c_str());
    }
    void fillLogin(std::string_view password, std::string port = env("KORVAN_FTP_PORT"),
                   std::string user = env("KORVAN_FTP_USER")) {
        main->setText("地址编辑框", "127.0.0.1");
        main->setText("端口编辑框", port);
        main->setText("用户编辑框", user);
        main->setText("密码编辑框", password);
    }
    // Opens the connection directly, in active mode, as `user`.
    bool openActive(const std::string& user) {
        return ftp.open("127.0.0.1", user, env("KORVAN_FTP_PASSWORD"), std::atoi(env("KORVAN_FTP_PORT").c_str()),
                        false);
    }
    // Waits (the windows working) until no partial download is left; the
    // partial file of a step given up goes on a thread of its own.
    bool noPartLeft() {
        return wintest::pumpUntil(windows, [&] { return countLocal(".part") == 0; });
    }
    void click(win32::Win32Form& f, std::string_view unit) { SendMessageW(f.unitHwnd(unit), BM_CLICK, 0, 0); }
    // Logs in and hands out the FTP window; a failed login ends the test
    // (see LOGIN).
    void login(win32::Win32Form*& out, const std::string& user = env("KORVAN_FTP_USER")) {
        out = nullptr;
        fillLogin(env("KORVAN_FTP_PASSWORD"), env("KORVAN_FTP_PORT"), user);
        click(*main, "登录按钮");
        ASSERT_EQ(main->text("状态标签"), "登陆成功!");
        out = static_cast<win32::Win32Form*>(client->window());
        ASSERT_NE(out, nullptr);
    }
    // Files of the local folder whose names end in `suffix`.
    int countLocal(const std::string& suffix) {
        WIN32_FIND_DATAW fd{};
        HANDLE h = FindFirstFileW(widen(local + "\\*" + suffix).c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return 0;
        int n = 0;
        do ++n;
        while (FindNextFileW(h, &fd));
        FindClose(h);
        return n;
    }

    // Titles of a list as the control holds them.
    std::vector<std::string> titles(win32::Win32Form& w, std::string_view list) {
        std::vector<std::string> out;
        for (int i = 0; i < w.itemCount(list); ++i) out.push_back(w.itemText(list, i, 0));
        return out;
    }
    int indexOf(win32::Win32Form& w, std::string_view list, std::string_view title) {
        for (int i = 0; i < w.itemCount(list); ++i)
            if (w.itemText(list, i, 0) == title) return i;
        return -1;
    }
    void select(win32::Win32Form& w, std::string_view list, std::string_view title) {
        const int i = indexOf(w, list, title);
        ASSERT_GE(i, 0) << title;
        w.setSelection(list, i);
    }
    // What the list view tells its window on a double click.
    void doubleClick(win32::Win32Form& w, std::string_view list) {
        NMITEMACTIVATE nm{};
        nm.hdr.hwndFrom = w.unitHwnd(list);
        nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(nm.hdr.hwndFrom));
        nm.hdr.code = NM_DBLCLK;
        nm.iItem = w.selection(list);
        SendMessageW(w.hwnd(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    }
    void pressEnter(win32::Win32Form& w, std::string_view edit, std::string_view text) {
        w.setText(edit, text);
        SendMessageW(w.unitHwnd(edit), WM_KEYDOWN, VK_RETURN, 0);
    }
    // Edits a server item's title in place the way a user does: the label
    // editor opens, takes the text, Enter ends it. The title it leaves.
    std::string editLabel(win32::Win32Form& w, int index, std::string_view text) {
        HWND list = w.unitHwnd("远程文件框");
        SetFocus(list);
        HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, index, 0));
        EXPECT_NE(edit, nullptr);
        if (!edit) return {};
        SetWindowTextW(edit, widen(text).c_str());
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        windows.pump();
        // The control shows the title the window kept, kept or reverted.
        EXPECT_EQ(shown(w, "远程文件框", index, 0), w.itemText("远程文件框", index, 0));
        return w.itemText("远程文件框", index, 0);
    }
    void goRemote(win32::Win32Form& w, std::string_view dir) { pressEnter(w, "远程目录编辑框", dir); }
    void listLocalAgain(win32::Win32Form& w) { pressEnter(w, "本地目录编辑框", w.text("本地目录编辑框")); }
    // What the list view control itself shows for a cell, and its image:
    // asked of the control, which asks its window.
    std::string shown(win32::Win32Form& w, std::string_view list, int index, int column) {
        wchar_t buf[260] = {};
        LVITEMW it{};
        it.iSubItem = column;
        it.pszText = buf;
        it.cchTextMax = 260;
        SendMessageW(w.unitHwnd(list), LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&it));
        return narrow(buf);
    }
    int shownImage(win32::Win32Form& w, std::string_view list, int index) {
        LVITEMW it{};
        it.mask = LVIF_IMAGE;
        it.iItem = index;
        it.iImage = -7;
        SendMessageW(w.unitHwnd(list), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
        return it.iImage;
    }
};

TEST_F(FtpWine, LoginSucceedsOrSaysWhyNot) {
    fillLogin("wrong");
    click(*main, "登录按钮");
    EXPECT_EQ(main->text("状态标签"), "登录FTP服务器失败!");
    EXPECT_EQ(client->window(), nullptr);
    EXPECT_FALSE(ftp.isOpen());

    // The port box is read up to its first non-digit.
    fillLogin(env("KORVAN_FTP_PASSWORD"), env("KORVAN_FTP_PORT") + "abc");
    click(*main, "登录按钮");
    EXPECT_EQ(main->text("状态标签"), "登陆成功!");
    auto* w = static_cast<win32::Win32Form*>(client->window());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(IsWindowVisible(w->hwnd()));
    EXPECT_EQ(narrow([&] {
                  wchar_t b[64] = {};
                  GetWindowTextW(w->hwnd(), b, 64);
                  return std::wstring(b);
              }()),
              "迷你FTP工具");
    EXPECT_EQ(w->text("远程目录编辑框"), "/");
    EXPECT_EQ(w->text("状态标签"), "获取磁盘目录列表完毕");
    EXPECT_EQ(GetFocus(), w->unitHwnd("本地文件框"));

    fillLogin(env("KORVAN_FTP_PASSWORD"), env("KORVAN_FTP_PORT") + ".9");
    click(*main, "登录按钮");
    EXPECT_EQ(main->text("状态标签"), "登陆成功!");
    EXPECT_EQ(client->window(), w);   // the same window, listed again
}

TEST_F(FtpWine, ServerListingShowsWhatAUserExpects) {
    LOGIN(w);
    // At "/" no up entry; directories (without dot ones) before files.
    EXPECT_EQ(titles(w, "远程文件框"),
              std::vector<std::string>({"cn", "crafted", "faults", "full", "incoming", "pub", "ro", "slow", "slower",
                                        "stall", "unsafe", ".htaccess", "index.html"}));
    const int file = 11;   // .htaccess
    EXPECT_EQ(w.itemValue("远程文件框", 0), 1);
    EXPECT_EQ(w.itemValue("远程文件框", file), 2);
    EXPECT_EQ(w.itemText("远程文件框", file, 1), "14");
    EXPECT_NE(w.itemText("远程文件框", file, 2).find("年"), std::string::npos);
    // The control shows the same rows with their images.
    HWND list = w.unitHwnd("远程文件框");
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 13);
    EXPECT_EQ(shown(w, "远程文件框", file, 0), ".htaccess");
    EXPECT_EQ(shown(w, "远程文件框", file, 1), "14");
    EXPECT_EQ(shown(w, "远程文件框", file, 2), w.itemText("远程文件框", file, 2));
    EXPECT_EQ(shownImage(w, "远程文件框", 0), 1);
    EXPECT_EQ(shownImage(w, "远程文件框", file), 2);

    select(w, "远程文件框", "pub");
    doubleClick(w, "远程文件框");
    EXPECT_EQ(w.text("远程目录编辑框"), "/pub");
    EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>({"", "a", "readme.txt"}));
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(shownImage(w, "远程文件框", 0), 0);
    EXPECT_EQ(shown(w, "远程文件框", 2, 0), "readme.txt");
    select(w, "远程文件框", "a");
    doubleClick(w, "远程文件框");
    EXPECT_EQ(w.text("远程目录编辑框"), "/pub/a");
    w.setSelection("远程文件框", 0);
    doubleClick(w, "远程文件框");
    EXPECT_EQ(w.text("远程目录编辑框"), "/pub");
    w.setSelection("远程文件框", 0);
    doubleClick(w, "远程文件框");
    EXPECT_EQ(w.text("远程目录编辑框"), "/");

    // Enter in the path box; sizes of 2 GiB and more stay whole.
    goRemote(w, "/unsafe");
    EXPECT_EQ(w.text("远程目录编辑框"), "/unsafe");
    EXPECT_EQ(w.itemText("远程文件框", indexOf(w, "远程文件框", "huge.bin"), 1), "3221225472");
    goRemote(w, "/no/such/place");
    EXPECT_EQ(w.text("远程目录编辑框"), "/unsafe");
}

TEST_F(FtpWine, LocalListingFollowsTheCurrentDirectory) {
    CreateDirectoryW(widen(local + "\\sub").c_str(), nullptr);
    spit(local + "\\file.txt", "12345");
    spit(local + "\\hidden.txt", "h");
    SetFileAttributesW(widen(local + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    LOGIN(w);
    EXPECT_EQ(w.text("本地目录编辑框").substr(1), ":\\");   // the drive's root after start
    pressEnter(w, "本地目录编辑框", local);
    EXPECT_EQ(w.text("本地目录编辑框"), local);
    EXPECT_EQ(titles(w, "本地文件框"), std::vector<std::string>({"", "sub", "file.txt", "hidden.txt"}));
    EXPECT_EQ(w.itemText("本地文件框", 2, 1), "5");
    select(w, "本地文件框", "sub");
    doubleClick(w, "本地文件框");
    EXPECT_EQ(w.text("本地目录编辑框"), local + "\\sub");
    w.setSelection("本地文件框", 0);
    doubleClick(w, "本地文件框");
    EXPECT_EQ(w.text("本地目录编辑框"), local);
    pressEnter(w, "本地目录编辑框", local + "\\missing");
    EXPECT_EQ(w.text("本地目录编辑框"), local);
}

TEST_F(FtpWine, DownloadAsksBeforeReplacingAndRefusesUnsafeNames) {
    LOGIN(w);
    pressEnter(w, "本地目录编辑框", local);
    goRemote(w, "/pub");
    spit(local + "\\readme.txt", "mine");
    select(w, "远程文件框", "readme.txt");
    dialogs.answers = {platform::Answer::No};
    click(w, "下载按钮");
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0], "文件“readme.txt”已经存在,覆盖它吗?");
    EXPECT_EQ(slurp(local + "\\readme.txt"), "mine");

    dialogs.answers = {platform::Answer::Yes};
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“readme.txt”成功");
    EXPECT_EQ(slurp(local + "\\readme.txt"), "read me\n");
    EXPECT_NE(indexOf(w, "本地文件框", "readme.txt"), -1);

    goRemote(w, "/unsafe");
    for (std::string bad : {"CON", "a\\b", "c:d"}) {
        select(w, "远程文件框", bad);
        click(w, "下载按钮");
        EXPECT_EQ(w.text("状态标签"), "下载文件“" + bad + "”失败");
    }
    select(w, "远程文件框", "plain.txt");
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“plain.txt”成功");
    // Only the two plain files came down.
    EXPECT_EQ(titles(w, "本地文件框"), std::vector<std::string>({"", "plain.txt", "readme.txt"}));

    // A file gone from the server: the download fails and the local file
    // of that name is left as it was.
    spit(local + "\\plain.txt", "kept");
    DeleteFileW(widen(serverFile("unsafe/plain.txt")).c_str());
    dialogs.answers = {platform::Answer::Yes};
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“plain.txt”失败");
    EXPECT_EQ(slurp(local + "\\plain.txt"), "kept");
}

TEST_F(FtpWine, CraftedListingShowsEveryNameAndDownloadsOnlyThePlainOne) {
    // The fixture makes up this listing: a path up, a backslash path, a
    // drive, a device, control characters, and a 3 GiB entry.
    // And a name whose bytes are no UTF-8: shown with replacement characters.
    const std::vector<std::string> unsafe = {"../x", "..\\x", "C:\\x", "CON", "CONOUT$", "ctl\x01name", "bell\x07", "del\x7f",
                                             "bad\uFFFD\uFFFD.txt"};
    const std::string below = local + "\\down";
    CreateDirectoryW(widen(below).c_str(), nullptr);
    LOGIN(w);
    pressEnter(w, "本地目录编辑框", below);
    goRemote(w, "/crafted");
    ASSERT_EQ(w.text("远程目录编辑框"), "/crafted");
    std::vector<std::string> shown = unsafe;
    shown.insert(shown.begin(), "");
    shown.insert(shown.end(), {"fine.txt", "big.bin"});
    EXPECT_EQ(titles(w, "远程文件框"), shown);
    EXPECT_EQ(w.itemText("远程文件框", indexOf(w, "远程文件框", "big.bin"), 1), "3221225472");

    for (const std::string& bad : unsafe) {
        select(w, "远程文件框", bad);
        click(w, "下载按钮");
        EXPECT_EQ(w.text("状态标签"), "下载文件“" + bad + "”失败") << bad;
    }
    select(w, "远程文件框", "fine.txt");
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“fine.txt”成功");
    EXPECT_EQ(slurp(below + "\\fine.txt"), "fine\n");
    // Nothing but that file came down, here or above.
    EXPECT_EQ(titles(w, "本地文件框"), std::vector<std::string>({"", "fine.txt"}));
    EXPECT_FALSE(exists(local + "\\x"));
    EXPECT_FALSE(exists(below + "\\x"));
    EXPECT_FALSE(exists(binaryDir() + "\\x"));
    EXPECT_FALSE(exists("C:\\x"));
}

// The fixture's log as each connection's lines, in order.
std::map<int, std::vector<std::string>> serverLog() {
    std::map<int, std::vector<std::string>> out;
    std::istringstream in(slurp(winPath(env("KORVAN_FTP_ROOT") + ".log")));
    for (std::string line; std::getline(in, line);) {
        const size_t blank = line.find(' ');
        if (blank != std::string::npos) out[std::atoi(line.c_str())].push_back(line.substr(blank + 1));
    }
    return out;
}

TEST_F(FtpWine, ChineseNamesCrossAUtf8ServerUnderTheirOwnNames) {
    const std::string text = "中文文件.txt", sheet = "报价单.xls";
    LOGIN(w);
    EXPECT_TRUE(ftp.utf8());
    pressEnter(w, "本地目录编辑框", local);
    goRemote(w, "/cn");
    EXPECT_EQ(w.text("远程目录编辑框"), "/cn");
    EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>({"", "目录", text, sheet}));
    dialogs.answers = {platform::Answer::Yes};
    for (const std::string& name : {text, sheet}) {
        select(w, "远程文件框", name);
        click(w, "下载按钮");
        EXPECT_EQ(w.text("状态标签"), "下载文件“" + name + "”成功");
        EXPECT_TRUE(slurp(local + "\\" + name) == slurp(serverFile("cn/" + name))) << name;
    }
    // Into a folder of a Chinese name, shown as the server names it, and
    // back up by its bytes.
    select(w, "远程文件框", "目录");
    doubleClick(w, "远程文件框");
    EXPECT_EQ(w.text("远程目录编辑框"), "/cn/目录");
    for (const std::string& name : {text, sheet}) {
        select(w, "本地文件框", name);
        click(w, "上传按钮");
        EXPECT_EQ(w.text("状态标签"), "上传“" + name + "”成功!");
        EXPECT_TRUE(slurp(serverFile("cn/目录/" + name)) == slurp(local + "\\" + name)) << name;
    }
    EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>({"", text, sheet}));

    // The passive login again of the fallback asks for UTF-8 before its way
    // back into the folder.
    ASSERT_TRUE(openActive(env("KORVAN_FTP_NAT_USER")));
    ASSERT_TRUE(ftp.setCurrentDirectory("/cn/目录"));
    const auto listed = ftp.list("*.*");
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [&](auto& e) { return e.name == text; }));
    EXPECT_TRUE(ftp.passive());
    EXPECT_EQ(ftp.currentDirectory(), "/cn/目录");
    int logins = 0;
    for (const auto& [connection, lines] : serverLog()) {
        if (lines.empty() || !lines[0].starts_with("login ")) continue;
        ++logins;
        EXPECT_TRUE(lines.size() > 1 && lines[1] == "OPTS UTF8 ON") << connection << ": " << lines[0];
    }
    EXPECT_GE(logins, 4);   // the reset's, the window's, the active and the passive one
    const auto last = serverLog().rbegin()->second;
    EXPECT_EQ(last, std::vector<std::string>({"login nat", "OPTS UTF8 ON", "CWD /cn/目录"}));
}

TEST_F(FtpWine, ChineseNamesCrossAServerThatRefusesUtf8InTheSystemCodePage) {
    // The server refuses OPTS UTF8 ON and keeps GBK names: the system's
    // ANSI code page carries them. Under code page 936 (a zh_CN.UTF-8 locale, see tests/fixtures/with-chinese-locale)
    // they cross as under a Chinese Windows; under any other a Chinese
    // name cannot be written in it, and its upload fails with nothing sent.
    const std::string text = "中文文件.txt", sheet = "报价单.xls";
    if (const std::string acp = env("KORVAN_EXPECT_ACP"); !acp.empty())
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp.c_str())));
    LOGIN(w, "gbk");
    EXPECT_FALSE(ftp.utf8());
    pressEnter(w, "本地目录编辑框", local);
    if (GetACP() != 936) {
        spit(local + "\\" + sheet, "xls");
        listLocalAgain(w);
        goRemote(w, "/pub");
        select(w, "本地文件框", sheet);
        click(w, "上传按钮");
        EXPECT_EQ(w.text("状态标签"), "上传文件“" + sheet + "”失败!！");
        EXPECT_FALSE(exists(serverFile("pub/" + sheet)));
        return;
    }
    goRemote(w, "/cn");
    EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>({"", "目录", text, sheet}));
    for (const std::string& name : {text, sheet}) {
        select(w, "远程文件框", name);
        click(w, "下载按钮");
        EXPECT_EQ(w.text("状态标签"), "下载文件“" + name + "”成功");
        EXPECT_TRUE(slurp(local + "\\" + name) == slurp(serverFile("cn/" + name))) << name;
    }
    select(w, "远程文件框", "目录");
    doubleClick(w, "远程文件框");
    EXPECT_EQ(w.text("远程目录编辑框"), "/cn/目录");
    select(w, "本地文件框", sheet);
    click(w, "上传按钮");
    EXPECT_EQ(w.text("状态标签"), "上传“" + sheet + "”成功!");
    EXPECT_TRUE(slurp(serverFile("cn/目录/" + sheet)) == slurp(local + "\\" + sheet));
    const auto log = serverLog();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](auto& c) {
        return c.second.size() > 1 && c.second[0] == "login gbk" && c.second[1] == "OPTS UTF8 ON";
    }));
}

TEST_F(FtpWine, UploadReplacesOnlyWhenAllowed) {
    LOGIN(w);
    spit(local + "\\index.html", "new home");
    spit(local + "\\up.bin", std::string("\0\1\2\r\n\x1a", 6));
    pressEnter(w, "本地目录编辑框", local);
    select(w, "本地文件框", "index.html");
    dialogs.answers = {platform::Answer::No};
    click(w, "上传按钮");
    EXPECT_EQ(dialogs.asked.back(), "文件“index.html”已经存在,覆盖它吗?");
    EXPECT_EQ(slurp(serverFile("index.html")), "<html>home</html>\n");
    dialogs.answers = {platform::Answer::Yes};
    click(w, "上传按钮");
    EXPECT_EQ(w.text("状态标签"), "上传“index.html”成功!");
    EXPECT_EQ(slurp(serverFile("index.html")), "new home");

    select(w, "本地文件框", "up.bin");
    const size_t asked = dialogs.asked.size();
    click(w, "上传按钮");
    EXPECT_EQ(dialogs.asked.size(), asked);
    EXPECT_EQ(slurp(serverFile("up.bin")), std::string("\0\1\2\r\n\x1a", 6));   // binary, byte for byte
    EXPECT_NE(indexOf(w, "远程文件框", "up.bin"), -1);

    goRemote(w, "/ro");
    click(w, "上传按钮");
    EXPECT_EQ(w.text("状态标签"), "上传文件“up.bin”失败!！");
    EXPECT_FALSE(exists(serverFile("ro/up.bin")));
}

TEST_F(FtpWine, FilesOfSeveralBlocksCrossByteForByte) {
    // Several transfer blocks and a ragged end, every byte value.
    std::string data(3 * (1u << 20) + 12345, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : data) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    spit(serverFile("pub/blocks.bin"), data);
    ASSERT_TRUE(ftp.open("127.0.0.1", env("KORVAN_FTP_USER"), env("KORVAN_FTP_PASSWORD"),
                         std::atoi(env("KORVAN_FTP_PORT").c_str()), false));
    ASSERT_TRUE(ftp.setCurrentDirectory("/pub"));
    spit(local + "\\blocks.bin", "old");
    ASSERT_TRUE(ftp.get("blocks.bin", local + "\\blocks.bin"));
    EXPECT_TRUE(slurp(local + "\\blocks.bin") == data) << "the download differs";
    ASSERT_TRUE(ftp.put(local + "\\blocks.bin", "back.bin"));
    EXPECT_TRUE(slurp(serverFile("pub/back.bin")) == data) << "the upload differs";
    // Nothing of the download is left beside the file.
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW(widen(local + "\\*.part").c_str(), &fd);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    ftp.close();
}

TEST_F(FtpWine, DeleteCreateAndRenameOnTheServer) {
    LOGIN(w);
    CreateDirectoryW(widen(serverFile("pub/gone")).c_str(), nullptr);
    spit(serverFile("pub/old.txt"), "o");
    goRemote(w, "/pub");

    select(w, "远程文件框", "old.txt");
    dialogs.answers = {platform::Answer::No};
    click(w, "删除文件按钮");
    EXPECT_TRUE(exists(serverFile("pub/old.txt")));
    EXPECT_EQ(dialogs.asked.back(), "您确认要删除FTP服务器上的文件“old.txt”吗?");

    // Rename accepted: the title stays, the server has the new name.
    const int i = indexOf(w, "远程文件框", "old.txt");
    EXPECT_EQ(editLabel(w, i, "new name.txt"), "new name.txt");
    EXPECT_EQ(w.text("状态标签"), "更名“old.txt”到“new name.txt”成功");
    EXPECT_TRUE(exists(serverFile("pub/new name.txt")));

    dialogs.answers = {platform::Answer::Yes};
    select(w, "远程文件框", "gone");
    click(w, "删除目录按钮");
    EXPECT_EQ(w.text("状态标签"), "删除目录“gone”成功");
    EXPECT_FALSE(exists(serverFile("pub/gone")));
    EXPECT_EQ(indexOf(w, "远程文件框", "gone"), -1);

    dialogs.inputs = {std::string("made")};
    click(w, "新建目录按钮");
    EXPECT_EQ(w.text("状态标签"), "创建新目录“made”成功");
    EXPECT_EQ(GetFileAttributesW(widen(serverFile("pub/made")).c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(w.itemValue("远程文件框", indexOf(w, "远程文件框", "made")), 1);

    // In the read-only area every change fails with its own text.
    goRemote(w, "/ro");
    dialogs.answers = {platform::Answer::Yes, platform::Answer::Yes};
    select(w, "远程文件框", "locked.txt");
    click(w, "删除文件按钮");
    EXPECT_EQ(w.text("状态标签"), "删除文件“locked.txt”失败");
    select(w, "远程文件框", "keep");
    click(w, "删除目录按钮");
    EXPECT_EQ(w.text("状态标签"), "删除目录“keep”失败");
    dialogs.inputs = {std::string("nope")};
    click(w, "新建目录按钮");
    EXPECT_EQ(w.text("状态标签"), "创建新目录“nope”失败");
    EXPECT_EQ(editLabel(w, indexOf(w, "远程文件框", "locked.txt"), "moved.txt"), "locked.txt");
    EXPECT_EQ(w.text("状态标签"), "更名“locked.txt”到“moved.txt”失败");
    EXPECT_TRUE(exists(serverFile("ro/locked.txt")));
}

TEST_F(FtpWine, TransfersAreDoneOnlyWhenTheServerConfirmsThem) {
    LOGIN(w);
    pressEnter(w, "本地目录编辑框", local);
    // The server sends half the file, then aborts (426): a failure, the
    // local file of that name untouched, nothing left beside it.
    spit(local + "\\abort.bin", "mine");
    goRemote(w, "/faults");
    select(w, "远程文件框", "abort.bin");
    dialogs.answers = {platform::Answer::Yes};
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“abort.bin”失败");
    EXPECT_EQ(slurp(local + "\\abort.bin"), "mine");
    EXPECT_EQ(countLocal(".part"), 0);

    // The server takes all the data, then refuses it (552): a failure,
    // although the bytes are there and their size agrees.
    spit(local + "\\up.bin", std::string(5000, 'u'));
    pressEnter(w, "本地目录编辑框", local);
    goRemote(w, "/full");
    select(w, "本地文件框", "up.bin");
    click(w, "上传按钮");
    EXPECT_EQ(w.text("状态标签"), "上传文件“up.bin”失败!！");
    EXPECT_EQ(slurp(serverFile("full/up.bin")).size(), 5000u);
    EXPECT_EQ(indexOf(w, "远程文件框", "up.bin"), -1) << "no refresh after a failure";

    // The same transfers where the server confirms them.
    goRemote(w, "/pub");
    click(w, "上传按钮");
    EXPECT_EQ(w.text("状态标签"), "上传“up.bin”成功!");
    DeleteFileW(widen(local + "\\up.bin").c_str());
    select(w, "远程文件框", "up.bin");
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“up.bin”成功");
    EXPECT_EQ(slurp(local + "\\up.bin"), std::string(5000, 'u'));
}

// Counts the ticks of a timer of the FTP window.
int g_ticks = 0;
void CALLBACK countTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

TEST_F(FtpWine, WindowKeepsPaintingAndDropsClicksWhileTheServerWorks) {
    LOGIN(w);
    goRemote(w, "/pub");
    select(w, "远程文件框", "readme.txt");
    HWND button = w.unitHwnd("删除文件按钮");
    auto clickLater = [&] {
        PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    };
    // Idle, a click of the user's reaches the button: it asks (No).
    clickLater();
    windows.pump();
    ASSERT_EQ(dialogs.asked.size(), 1u);

    // The fixture answers the listing of /slow only after 1.5 s: meanwhile
    // the timer runs and the click is dropped.
    g_ticks = 0;
    SetTimer(w.hwnd(), 4242, 20, countTick);
    clickLater();
    goRemote(w, "/slow");
    KillTimer(w.hwnd(), 4242);
    EXPECT_GE(g_ticks, 3);
    EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>({"", "file0.txt", "file1.txt", "file2.txt", "late.bin"}));
    EXPECT_EQ(w.text("状态标签"), "获取磁盘目录列表完毕");
    windows.pump();
    EXPECT_EQ(dialogs.asked.size(), 1u);   // the click never arrives
}

TEST_F(FtpWine, TheQuestionOverTheMainWindowIsAnsweredWhileTheServerWorks) {
    // The fixture holds the listing of /slow for 1.5 s; the user answers the
    // question meanwhile, with Enter on its focused button, with a click,
    // then with Esc: each answer arrives during the step, not after it.
    LOGIN(w);
    win32::Win32Clock clock;
    win32::Win32Form* q = nullptr;
    adapter::ConfirmQuestion question(windows, clock, [&q](ui::Form& asked, ui::Form& owner) {
        q = static_cast<win32::Win32Form*>(&asked);
        win32::placeOverForm(asked, owner);
    });
    std::vector<std::pair<adapter::ConfirmResult, std::string>> answers;
    HWND keep = nullptr, undo = nullptr;
    auto ask = [&] {
        question.show(*main, "IP地址修改成功！", 120, [&](adapter::ConfirmResult r) {
            answers.emplace_back(r, w.text("状态标签"));
        });
        ASSERT_TRUE(question.open());
        ASSERT_NE(q, nullptr);
        keep = q->unitHwnd(adapter::kKeepButton);
        undo = q->unitHwnd(adapter::kUndoButton);
        ASSERT_TRUE(wintest::pumpUntil(windows, [&] { return GetFocus() == keep; }));
    };
    ASSERT_TRUE(ftp.setCurrentDirectory("/slow"));
    ASSERT_NO_FATAL_FAILURE(ask());
    PostMessageW(keep, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(keep, WM_KEYUP, VK_RETURN, 0);
    ftp::listRemote(w, ftp);
    ASSERT_NO_FATAL_FAILURE(ask());
    PostMessageW(undo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(undo, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ftp::listRemote(w, ftp);
    // Esc is the question's cancel: undo.
    ASSERT_NO_FATAL_FAILURE(ask());
    PostMessageW(keep, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(keep, WM_KEYUP, VK_ESCAPE, 0);
    ftp::listRemote(w, ftp);
    const std::string during = "正在获取目录列表,请稍候...";
    EXPECT_EQ(answers, (std::vector<std::pair<adapter::ConfirmResult, std::string>>{
                           {adapter::ConfirmResult::Keep, during},
                           {adapter::ConfirmResult::Undo, during},
                           {adapter::ConfirmResult::Undo, during}}));
    EXPECT_TRUE(IsWindowEnabled(main->hwnd()));
    EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>({"", "file0.txt", "file1.txt", "file2.txt", "late.bin"}));
}

// Posts WM_CLOSE to each of g_closeTargets once, from a timer of the thread.
std::vector<HWND> g_closeTargets;
void CALLBACK closeLater(HWND h, UINT, UINT_PTR id, DWORD) {
    KillTimer(h, id);
    for (HWND target : g_closeTargets) PostMessageW(target, WM_CLOSE, 0, 0);
}

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

TEST_F(FtpWine, ClosingTheFtpWindowEndsAStalledStepAtOnce) {
    LOGIN(w);
    pressEnter(w, "本地目录编辑框", local);
    // The server opens the listing of /stall and never sends it; the FTP
    // window is closed a second into the wait.
    ASSERT_TRUE(ftp.setCurrentDirectory("/stall"));
    g_closeTargets = {w.hwnd()};
    SetTimer(nullptr, 0, 1000, closeLater);
    auto t0 = std::chrono::steady_clock::now();
    ftp::listRemote(w, ftp);
    EXPECT_LT(secondsSince(t0), 10.0) << "the step did not end at the close";
    EXPECT_FALSE(ftp.isOpen());
    EXPECT_EQ(w.itemCount("远程文件框"), 1) << "only the up entry of a failed listing";
    windows.pump();
    EXPECT_EQ(client->window(), nullptr) << "the close went on";

    // The server sends the first 64 KiB of stuck.bin, then nothing; the FTP
    // window is closed meanwhile: the download fails, its partial file
    // goes, the local file of that name stays.
    LOGIN(w2);
    pressEnter(w2, "本地目录编辑框", local);
    goRemote(w2, "/faults");
    spit(local + "\\stuck.bin", "mine");
    select(w2, "远程文件框", "stuck.bin");
    dialogs.answers = {platform::Answer::Yes};
    g_closeTargets = {w2.hwnd()};
    SetTimer(nullptr, 0, 1500, closeLater);
    t0 = std::chrono::steady_clock::now();
    click(w2, "下载按钮");
    EXPECT_LT(secondsSince(t0), 10.0) << "the step did not end at the close";
    EXPECT_EQ(w2.text("状态标签"), "下载文件“stuck.bin”失败");
    EXPECT_EQ(slurp(local + "\\stuck.bin"), "mine");
    EXPECT_TRUE(noPartLeft());
}

TEST_F(FtpWine, ClosingOtherWindowsWaitsForTheStep) {
    // The server answers RETR of late.bin only after 1.5 s. The about window
    // and the main window are closed half a second into the download: it
    // finishes and succeeds, the connection stays, then both close.
    LOGIN(w);
    pressEnter(w, "本地目录编辑框", local);
    goRemote(w, "/slow");
    auto* about = static_cast<win32::Win32Form*>(windows.create(layouts::about()));
    about->setVisible("", true);
    HWND aboutWindow = about->hwnd(), mainWindow = main->hwnd();
    select(w, "远程文件框", "late.bin");
    g_closeTargets = {aboutWindow, mainWindow};
    SetTimer(nullptr, 0, 500, closeLater);
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“late.bin”成功");
    EXPECT_EQ(slurp(local + "\\late.bin").size(), 4000u);
    EXPECT_TRUE(ftp.isOpen());
    EXPECT_TRUE(wintest::pumpUntil(windows, [&] { return !IsWindow(aboutWindow) && !IsWindow(mainWindow); }))
        << "the held closes went on after the step";
    EXPECT_EQ(client->window(), &w);
    EXPECT_EQ(ftp.currentDirectory(), "/slow");
}

TEST_F(FtpWine, AStepFailsOnlyWhenNoByteMovesForItsLimit) {
    // A listing the server answers after 4.5 s, read by WinINet in one call,
    // does not fail at a limit of 2 s.
    LOGIN(w);
    pressEnter(w, "本地目录编辑框", local);
    win32::setFtpLimits({2000});
    goRemote(w, "/slower");
    EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>({"", "file.txt"}));

    // A download that stops moving fails once nothing came for the limit.
    goRemote(w, "/faults");
    select(w, "远程文件框", "stuck.bin");
    const auto t0 = std::chrono::steady_clock::now();
    click(w, "下载按钮");
    const double took = secondsSince(t0);
    EXPECT_LT(took, 2 + 10.0) << "the stalled download was not ended";
    EXPECT_GE(took, 1.9) << "ended before its limit";
    EXPECT_EQ(w.text("状态标签"), "下载文件“stuck.bin”失败");
    EXPECT_FALSE(exists(local + "\\stuck.bin"));
    const auto t1 = std::chrono::steady_clock::now();
    EXPECT_TRUE(noPartLeft());
    printf("stalled download ended after %.1f s, its partial file gone %.1f s later\n", took, secondsSince(t1));
    EXPECT_FALSE(ftp.isOpen()) << "the connection is closed with the step";
}

TEST_F(FtpWine, BehindNatTheConnectionFallsBackToPassiveMode) {
    // The server cannot connect back (425 to PORT): the window's first
    // listing goes through the fallback, and the connection stays passive.
    LOGIN(w, env("KORVAN_FTP_NAT_USER"));
    EXPECT_NE(indexOf(w, "远程文件框", "pub"), -1);
    EXPECT_EQ(w.text("状态标签"), "获取磁盘目录列表完毕");
    EXPECT_TRUE(ftp.passive());

    // Each data step falls back on its own, back in the directory it was in.
    spit(local + "\\mine.bin", std::string(3000, 'm'));
    ASSERT_TRUE(openActive(env("KORVAN_FTP_NAT_USER")));
    ASSERT_TRUE(ftp.setCurrentDirectory("/pub"));
    EXPECT_TRUE(ftp.get("readme.txt", local + "\\readme.txt"));
    EXPECT_EQ(slurp(local + "\\readme.txt"), "read me\n");
    EXPECT_EQ(ftp.currentDirectory(), "/pub");
    EXPECT_TRUE(ftp.passive());
    ASSERT_TRUE(openActive(env("KORVAN_FTP_NAT_USER")));
    ASSERT_TRUE(ftp.setCurrentDirectory("/pub"));
    EXPECT_TRUE(ftp.put(local + "\\mine.bin", "mine.bin"));
    EXPECT_EQ(slurp(serverFile("pub/mine.bin")), std::string(3000, 'm'));
    ASSERT_TRUE(openActive(env("KORVAN_FTP_NAT_USER")));
    ASSERT_TRUE(ftp.setCurrentDirectory("/pub"));
    const auto listed = ftp.list("*.*");
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [](auto& e) { return e.name == "readme.txt"; }));
    EXPECT_TRUE(ftp.passive());

    // A folder that refuses its listing (550) is no reason to fall back.
    ASSERT_TRUE(openActive(env("KORVAN_FTP_USER")));
    ASSERT_TRUE(ftp.setCurrentDirectory("/incoming"));
    EXPECT_TRUE(ftp.list("*.*").empty());
    EXPECT_FALSE(ftp.passive());
    EXPECT_EQ(countLocal(".part"), 0);
}

TEST_F(FtpWine, AFallbackThatCannotGetBackLeavesTheOldConnectionWhereItWas) {
    // The passive login again is refused its way back to /pub: the step
    // fails, and the connection is still the old one, in /pub, active.
    ASSERT_TRUE(openActive(env("KORVAN_FTP_LOST_USER")));
    ASSERT_TRUE(ftp.setCurrentDirectory("/pub"));
    EXPECT_TRUE(ftp.list("*.*").empty());
    EXPECT_TRUE(ftp.isOpen());
    EXPECT_FALSE(ftp.passive());
    EXPECT_EQ(ftp.currentDirectory(), "/pub");
}

TEST_F(FtpWine, WhereNeitherModeWorksEachStepFailsWithItsOwnText) {
    // PORT and PASV both refused: the login works, listings come back empty
    // and transfers fail with their texts, leaving nothing behind.
    LOGIN(w, env("KORVAN_FTP_CLOSED_USER"));
    EXPECT_EQ(w.itemCount("远程文件框"), 0);
    EXPECT_EQ(w.text("状态标签"), "获取磁盘目录列表完毕");
    pressEnter(w, "本地目录编辑框", local);
    goRemote(w, "/pub");
    EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>{""});
    // As a listing that worked would have shown it.
    w.addItem("远程文件框", "readme.txt", 2, 2);
    select(w, "远程文件框", "readme.txt");
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“readme.txt”失败");
    EXPECT_FALSE(exists(local + "\\readme.txt"));
    EXPECT_EQ(countLocal(".part"), 0);
    spit(local + "\\sent.bin", "s");
    listLocalAgain(w);
    select(w, "本地文件框", "sent.bin");
    click(w, "上传按钮");
    EXPECT_EQ(w.text("状态标签"), "上传文件“sent.bin”失败!！");
    EXPECT_FALSE(exists(serverFile("pub/sent.bin")));
    EXPECT_TRUE(ftp.isOpen());
}

TEST_F(FtpWine, TransfersNeedNoSizeWhereTheServerKeepsItToItself) {
    // SIZE answered 502 and a folder with no listing: a complete upload
    // there is confirmed by its 226 alone; the 426 and 552 still fail.
    LOGIN(w, env("KORVAN_FTP_NAT_USER"));
    spit(local + "\\drop.bin", std::string(7000, 'd'));
    pressEnter(w, "本地目录编辑框", local);
    goRemote(w, "/incoming");
    select(w, "本地文件框", "drop.bin");
    click(w, "上传按钮");
    EXPECT_EQ(w.text("状态标签"), "上传“drop.bin”成功!");
    EXPECT_EQ(slurp(serverFile("incoming/drop.bin")), std::string(7000, 'd'));
    goRemote(w, "/pub");
    select(w, "远程文件框", "readme.txt");
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“readme.txt”成功");

    goRemote(w, "/full");
    select(w, "本地文件框", "drop.bin");
    click(w, "上传按钮");
    EXPECT_EQ(w.text("状态标签"), "上传文件“drop.bin”失败!！");
    goRemote(w, "/faults");
    select(w, "远程文件框", "abort.bin");
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“abort.bin”失败");
    EXPECT_FALSE(exists(local + "\\abort.bin"));
    EXPECT_EQ(countLocal(".part"), 0);
}

TEST_F(FtpWine, AStepWhoseThreadCannotStartFailsAndTheNextOneRuns) {
    LOGIN(w);
    pressEnter(w, "本地目录编辑框", local);
    goRemote(w, "/pub");
    select(w, "远程文件框", "readme.txt");
    // No thread: the step's failure, shown as such.
    win32::setFtpThreadStart([](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    });
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“readme.txt”失败");
    // No memory: the same.
    win32::setFtpThreadStart([](std::function<void()>) -> std::thread { throw std::bad_alloc(); });
    EXPECT_TRUE(ftp.list("*.*").empty());
    win32::setFtpThreadStart(nullptr);
    // The connection was not left busy: the next steps run.
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "下载文件“readme.txt”成功");
    EXPECT_EQ(ftp.currentDirectory(), "/pub");
}

TEST_F(FtpWine, DisconnectTwiceLeavesTheUpEntry) {
    LOGIN(w);
    for (int round = 0; round < 2; ++round) {
        click(w, "断开按钮");
        EXPECT_FALSE(ftp.isOpen());
        EXPECT_EQ(titles(w, "远程文件框"), std::vector<std::string>{""});
        EXPECT_EQ(w.text("远程目录编辑框"), "");
        EXPECT_EQ(w.text("状态标签"), "获取磁盘目录列表完毕");
    }
    w.setSelection("远程文件框", 0);
    click(w, "下载按钮");
    EXPECT_EQ(w.text("状态标签"), "只能下载文件");
}

TEST_F(FtpWine, SavedLoginIsWrittenReloadedAndForgotten) {
    const std::string config = system.dir + "\\Config.ini";
    spit(config, codec::utf8ToGbk("[别的]\r\n键=值\r\n"));
    fillLogin("密码pw");
    main->setText("地址编辑框", "ftp.例子.cn");
    click(*main, "保存选择框");   // checks it, waits 1500 ms, saves
    ASSERT_TRUE(main->checked("保存选择框"));
    const std::string file = slurp(config);
    const std::string section = codec::utf8ToGbk("登陆信息");
    EXPECT_EQ(codec::gbkToUtf8(ftp::decipher(ftp::iniRead(file, section, codec::utf8ToGbk("地址")))), "ftp.例子.cn");
    EXPECT_EQ(ftp::decipher(ftp::iniRead(file, section, codec::utf8ToGbk("帐号"))), env("KORVAN_FTP_USER"));
    EXPECT_EQ(ftp::iniRead(file, codec::utf8ToGbk("别的"), codec::utf8ToGbk("键")), codec::utf8ToGbk("值"));

    // The next start reads it back and keeps the file open.
    openMain();
    client->loadSavedLogin(*main);
    EXPECT_EQ(main->text("地址编辑框"), "ftp.例子.cn");
    EXPECT_EQ(main->text("用户编辑框"), env("KORVAN_FTP_USER"));
    EXPECT_EQ(main->text("密码编辑框"), "密码pw");
    main->setChecked("保存选择框", true);
    // Saving again works while the file is held open.
    click(*main, "保存选择框");   // clears: forget
    EXPECT_FALSE(exists(config));
    main->setText("用户编辑框", "other");
    click(*main, "保存选择框");   // checks: saves anew
    EXPECT_EQ(ftp::decipher(ftp::iniRead(slurp(config), section, codec::utf8ToGbk("帐号"))), "other");

    // The main window closed during the pause: nothing is written over the
    // saved login.
    const std::string saved = slurp(config);
    click(*main, "保存选择框");   // clears: forget
    spit(config, saved);
    HWND box = main->unitHwnd("保存选择框");
    PostMessageW(main->hwnd(), WM_CLOSE, 0, 0);
    SendMessageW(box, BM_CLICK, 0, 0);   // checks, waits, and the window goes meanwhile
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(slurp(config), saved);

    // Cleared during the pause (a click the window handles while it
    // waits): nothing is written after it.
    openMain();
    box = main->unitHwnd("保存选择框");
    PostMessageW(box, BM_CLICK, 0, 0);
    click(*main, "保存选择框");
    EXPECT_FALSE(main->checked("保存选择框"));
    EXPECT_FALSE(exists(config));
}

TEST_F(FtpWine, HostileConfigFileLoadsWhatItCanAndKeepsTheRest) {
    // A UTF-8 file with a byte-order mark and a 20 KiB value, then the
    // login section: one value without its last comma, one not in the
    // cipher's form at all.
    const std::string config = system.dir + "\\Config.ini";
    const std::string section = codec::utf8ToGbk("登陆信息");
    const std::string head = "\xEF\xBB\xBF[登陆信息]\r\nlong=" + std::string(20 << 10, '7') + "\r\n";
    spit(config, head + "[" + section + "]\r\n" + codec::utf8ToGbk("地址=") +
                     ftp::encipher("ftp.example.com").substr(0, 44) + "\r\n" + codec::utf8ToGbk("帐号=") + "zz,QQ\r\n");
    openMain();
    client->loadSavedLogin(*main);
    EXPECT_EQ(main->text("地址编辑框"), "ftp.example.com") << "the last comma is optional";
    EXPECT_EQ(main->text("用户编辑框"), codec::gbkToUtf8(ftp::decipher("0000")));
    EXPECT_EQ(main->text("密码编辑框"), "");

    main->setText("用户编辑框", "user");
    click(*main, "保存选择框");
    ASSERT_TRUE(main->checked("保存选择框"));
    const std::string file = slurp(config);
    EXPECT_EQ(file.substr(0, head.size()), head) << "the file's own lines are kept";
    EXPECT_EQ(ftp::decipher(ftp::iniRead(file, section, codec::utf8ToGbk("帐号"))), "user");
    EXPECT_EQ(ftp::decipher(ftp::iniRead(file, section, codec::utf8ToGbk("地址"))), "ftp.example.com");
}

TEST_F(FtpWine, InputBoxReturnsWhatWasTyped) {
    win32::Win32Dialogs real;
    // Plays the user: finds the box, types, presses OK (then, the second
    // time, Cancel).
    auto user = [](bool ok) {
        return std::thread([ok] {
            for (int i = 0; i < 200; ++i) {
                // The box is shown once its WM_INITDIALOG has put the
                // initial text in; typing before that would be overwritten.
                HWND box = FindWindowW(L"#32770", L"请输入名称:");
                if (box && IsWindowVisible(box)) {
                    SetDlgItemTextW(box, 101, L"新目录");
                    wchar_t now[16] = {};
                    GetDlgItemTextW(box, 101, now, 16);
                    if (std::wstring_view(now) == L"新目录") {
                        PostMessageW(box, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
                        return;
                    }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
        });
    };
    // A user that gives up leaves the box to the watchdog.
    wintest::DialogWatchdog watchdog;
    auto t1 = user(true);
    auto typed = real.inputBox("请输入名称:", "请输入欲在FTP服务器现行目录中新建的子目录名:", "");
    t1.join();
    EXPECT_EQ(typed, std::optional<std::string>("新目录"));
    auto t2 = user(false);
    EXPECT_EQ(real.inputBox("请输入名称:", "prompt", "x"), std::nullopt);
    t2.join();
}

}  // namespace

namespace {

TEST(FtpPause, KeepsHandlingTheWindowsWhileItWaits) {
    win32::Win32Windows windows;
    win32::Win32Pause pause(windows);
    auto* main = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    main->setVisible("", true);
    int clicks = 0;
    main->on("登录按钮", ui::Event::Click, [&](ui::EventArgs&) { ++clicks; });
    PostMessageW(main->unitHwnd("登录按钮"), BM_CLICK, 0, 0);
    const auto t0 = std::chrono::steady_clock::now();
    pause.pause(300);
    EXPECT_EQ(clicks, 1);   // handled during the wait, not after it
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(290));
}

}  // namespace

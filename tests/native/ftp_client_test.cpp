// The FTP client's handlers over the in-memory windows: the login panel and
// its remembered login, the FTP window's lists and navigation, and every
// file operation with its questions and status texts.
#include <gtest/gtest.h>

#include "ftp/cipher.h"
#include "ftp/client.h"
#include "ftp/ini.h"
#include "ftp/listing.h"
#include "ftp_fakes.h"
#include "platform/codec.h"
#include "resources/layouts.h"
#include "shell/app.h"

using platform::Answer;
using ui::Event;

namespace {

constexpr char kConfig[] = "C:\\tool\\Config.ini";

std::string gbkOf(std::string_view utf8) { return codec::utf8ToGbk(utf8); }

struct LoginPanel : ::testing::Test {
    FtpTestServices t;
    ui::MemoryForm main{layouts::mainWindow()};
    ftp::FtpClient client{t.ftpServices};
    void SetUp() override {
        client.bindLoginPanel(main);
        t.ftp.statusNow = [this] { return main.text("状态标签"); };
        t.ftp.tree["/"] = {fileEntry("index.html")};
    }
    std::string stored(std::string_view key) {
        return codec::gbkToUtf8(ftp::decipher(ftp::iniRead(t.files.files[kConfig], gbkOf("登陆信息"), gbkOf(key))));
    }
};

TEST_F(LoginPanel, LoginShowsItsProgressFirstThenOpensTheWindow) {
    main.setText("地址编辑框", "ftp.example.com");
    main.setText("端口编辑框", "2121abc");
    main.setText("用户编辑框", " user ");
    main.setText("密码编辑框", "");
    main.click("登录按钮");
    ASSERT_EQ(t.ftp.opens.size(), 1u);
    const auto& o = t.ftp.opens[0];
    EXPECT_EQ(o.server, "ftp.example.com");
    EXPECT_EQ(o.port, 2121);
    EXPECT_EQ(o.account, std::optional<std::string>(" user "));   // as typed
    EXPECT_EQ(o.password, std::optional<std::string>(""));        // empty, not anonymous
    EXPECT_FALSE(o.passive);
    EXPECT_EQ(t.ftp.calls.front(), "open ftp.example.com @正在登录,请稍候...");
    EXPECT_EQ(main.repaints.front(), "状态标签");
    EXPECT_EQ(main.text("状态标签"), "登陆成功!");
    ui::MemoryForm* w = t.windows.find("ftp");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->visible(""));
    EXPECT_EQ(w->text(""), "迷你FTP工具");
    EXPECT_EQ(client.window(), w);
    EXPECT_EQ(t.ftp.stepWindow, w) << "only this window's close ends a step";
    w->close();
    EXPECT_EQ(t.ftp.stepWindow, nullptr);
}

TEST_F(LoginPanel, FailedLoginOpensNoWindowAndPortsReadTheirLeadingNumber) {
    t.ftp.acceptLogin = false;
    for (auto [box, port] : std::vector<std::pair<std::string, int>>{{"21.9", 21}, {"", 0}, {"x", 0}}) {
        main.setText("端口编辑框", box);
        main.click("登录按钮");
        EXPECT_EQ(t.ftp.opens.back().port, port) << box;
        EXPECT_EQ(main.text("状态标签"), "登录FTP服务器失败!");
    }
    EXPECT_EQ(t.windows.find("ftp"), nullptr);
}

TEST_F(LoginPanel, HiddenAnonymousBoxSendsNoAccount) {
    EXPECT_FALSE(main.visible("匿名登录选择框"));
    main.setChecked("匿名登录选择框", true);
    main.setText("用户编辑框", "ignored");
    main.click("登录按钮");
    EXPECT_EQ(t.ftp.opens[0].account, std::nullopt);
    EXPECT_EQ(t.ftp.opens[0].password, std::nullopt);
}

TEST_F(LoginPanel, SecondLoginReusesTheWindowOnTheNewConnection) {
    main.click("登录按钮");
    t.ftp.tree["/"].push_back(fileEntry("new.txt"));
    main.click("登录按钮");
    EXPECT_EQ(std::count_if(t.windows.forms.begin(), t.windows.forms.end(),
                            [](auto& f) { return f->layoutName() == "ftp"; }),
              1);
    ui::MemoryForm* w = t.windows.find("ftp");
    EXPECT_EQ(w->frontCount, 1);
    EXPECT_EQ(w->itemCount("远程文件框"), 2);
    w->close();
    EXPECT_EQ(client.window(), nullptr);
    main.click("登录按钮");
    EXPECT_NE(client.window(), nullptr);
}

TEST_F(LoginPanel, SavedLoginLoadsEnciphersAndForgets) {
    // A file of an earlier version, with something else in it.
    t.files.files[kConfig] = gbkOf("[其他]\r\nx=1\r\n[登陆信息]\r\n地址=") + ftp::encipher(gbkOf("ftp.例子.cn")) +
                             gbkOf("\r\n帐号=") + ftp::encipher("web") + "\r\n";
    main.setText("密码编辑框", "typed before");
    client.loadSavedLogin(main);
    EXPECT_EQ(main.text("地址编辑框"), "ftp.例子.cn");
    EXPECT_EQ(main.text("用户编辑框"), "web");
    EXPECT_EQ(main.text("密码编辑框"), "");   // a missing value empties the box

    // Saving waits 1500 ms with the window working, then writes each key,
    // keeping the rest of the file.
    main.setText("密码编辑框", "密码1");
    t.pause.during = [this] { main.setText("用户编辑框", "changed meanwhile"); };
    t.files.ops.clear();
    main.click("保存选择框");
    EXPECT_EQ(t.pause.waits, std::vector<int>{1500});
    EXPECT_EQ(t.files.ops, (std::vector<std::string>{"pause 1500", std::string("write ") + kConfig,
                                                     std::string("write ") + kConfig,
                                                     std::string("write ") + kConfig}));
    EXPECT_EQ(stored("地址"), "ftp.例子.cn");
    EXPECT_EQ(stored("帐号"), "changed meanwhile");
    EXPECT_EQ(stored("密码"), "密码1");
    EXPECT_EQ(ftp::iniRead(t.files.files[kConfig], gbkOf("其他"), "x"), "1");

    // Forgetting closes the file kept open since start-up, then deletes it.
    t.files.ops.clear();
    main.click("保存选择框");
    EXPECT_EQ(t.files.ops, (std::vector<std::string>{"release", std::string("remove ") + kConfig}));
    EXPECT_FALSE(t.files.exists(kConfig));
    // Checking again does not reopen it; clearing again has nothing to close.
    main.click("保存选择框");
    t.files.ops.clear();
    main.click("保存选择框");
    EXPECT_EQ(t.files.ops, std::vector<std::string>{std::string("remove ") + kConfig});
}

TEST_F(LoginPanel, SaveAfterThePauseFollowsTheUsersLastChoice) {
    main.setText("用户编辑框", "typed");
    // Cleared during the pause: forgotten, and nothing written after it.
    int pauses = 0;
    t.pause.during = [&] {
        if (pauses++ == 0) main.click("保存选择框");
    };
    main.click("保存选择框");
    EXPECT_FALSE(main.checked("保存选择框"));
    EXPECT_FALSE(t.files.exists(kConfig));

    // Cleared and ticked again during the pause: saved once, after the
    // second tick's own pause.
    pauses = 0;
    t.files.ops.clear();
    t.pause.during = [&] {
        if (pauses++ > 0) return;
        main.click("保存选择框");
        main.click("保存选择框");
    };
    main.click("保存选择框");
    EXPECT_TRUE(main.checked("保存选择框"));
    EXPECT_EQ(t.files.ops, (std::vector<std::string>{"pause 1500", std::string("remove ") + kConfig, "pause 1500",
                                                     std::string("write ") + kConfig, std::string("write ") + kConfig,
                                                     std::string("write ") + kConfig}));
    EXPECT_EQ(stored("帐号"), "typed");

    // The window goes away during the pause (its boxes then read empty):
    // the saved login is not overwritten.
    const std::string saved = t.files.files[kConfig];
    main.setChecked("保存选择框", false);
    t.pause.during = [&] {
        main.close();
        for (auto box : {"地址编辑框", "用户编辑框", "密码编辑框"}) main.setText(box, "");
    };
    main.click("保存选择框");
    EXPECT_EQ(t.files.files[kConfig], saved);
}

TEST_F(LoginPanel, ConfigThatCannotBeOpenedLoadsNothing) {
    t.files.files[kConfig] = gbkOf("[登陆信息]\r\n地址=") + ftp::encipher("host") + "\r\n";
    t.disk.canHold = false;
    client.loadSavedLogin(main);
    EXPECT_EQ(main.text("地址编辑框"), "");
    EXPECT_EQ(main.text("端口编辑框"), "21");
    // Without a section every box is emptied.
    t.disk.canHold = true;
    t.files.files[kConfig] = "[x]\r\n";
    main.setText("地址编辑框", "a");
    client.loadSavedLogin(main);
    EXPECT_EQ(main.text("地址编辑框"), "");
}

TEST_F(LoginPanel, TheApplicationBindsThePanelAndLoadsTheLoginAtStart) {
    shell::App app(t.services);
    app.steps().bindLoginPanel = [this](ui::Form& m) { client.bindLoginPanel(m); };
    app.steps().loadSavedLogin = [this](ui::Form& m) { client.loadSavedLogin(m); };
    t.files.files[kConfig] = gbkOf("[登陆信息]\r\n帐号=") + ftp::encipher("saved") + "\r\n";
    t.windows.onModal = [](ui::MemoryForm& f) { f.fire("", Event::Deactivated); };
    auto* m = static_cast<ui::MemoryForm*>(app.openMainWindow());
    EXPECT_EQ(m->text("用户编辑框"), "saved");
    EXPECT_TRUE(m->checked("保存选择框"));
    m->click("登录按钮");
    EXPECT_EQ(m->text("状态标签"), "登陆成功!");
}

// --- the FTP window ----------------------------------------------------------------

struct FtpWindow : ::testing::Test {
    FtpTestServices t;
    ui::MemoryForm w{layouts::ftpWindow()};
    FakeFtp& ftp = t.ftp;
    FakeDisk& disk = t.disk;

    void SetUp() override {
        ftp.tree["/"] = {dirEntry("pub"), dirEntry(".well-known"), fileEntry(".htaccess"), fileEntry("index.html", 42)};
        ftp.tree["/pub"] = {dirEntry("a"), fileEntry("a.txt"), fileEntry("CON"), fileEntry("..\\evil")};
        ftp.tree["/pub/a"] = {};
        ftp.tree["/ro"] = {fileEntry("old.txt")};
        ftp.connected = true;
        ftp.cwd = "/pub";
        disk.ops = nullptr;   // the disk keeps its own log here
        ftp.statusNow = [this] { return w.text("状态标签"); };
        disk.dirs["C:\\"] = {dirEntry("work"), fileEntry("boot.ini")};
        disk.dirs["C:\\work"] = {dirEntry("."), dirEntry(".."), fileEntry("a.txt", 5), fileEntry("index.html")};
        disk.driveDirs['D'] = "D:\\";
        disk.dirs["D:\\"] = {fileEntry("d.txt")};
        w.addItem("驱动器框1", "c:", 0, -1);
        w.addItem("驱动器框1", "d:", 0, -1);
        w.setSelection("驱动器框1", 0);
        ftp::bindFtpWindow(w, t.ftpServices);
    }
    std::vector<std::string> titles(std::string_view list) {
        std::vector<std::string> out;
        for (int i = 0; i < w.itemCount(list); ++i) out.push_back(w.itemText(list, i, 0));
        return out;
    }
    int indexOf(std::string_view list, std::string_view title) {
        for (int i = 0; i < w.itemCount(list); ++i)
            if (w.itemText(list, i, 0) == title) return i;
        return -1;
    }
    void selectRemote(std::string_view title) { w.setSelection("远程文件框", indexOf("远程文件框", title)); }
    void selectLocal(std::string_view title) { w.setSelection("本地文件框", indexOf("本地文件框", title)); }
    void enterLocal(std::string_view dir) {
        disk.setCurrentDirectory(dir);
        ftp::listLocal(w, disk);
    }
    std::string status() { return w.text("状态标签"); }
};

TEST_F(FtpWindow, StartListsTheDriveRootThenTheServer) {
    ftp.tree["/"].clear();   // the server refuses "\", so the login directory stays
    disk.driveDirs['C'] = "C:\\work";
    ftp::startFtpWindow(w, t.ftpServices);
    EXPECT_EQ(disk.own, std::vector<std::string>({"drive c", "chdir \\"}));
    EXPECT_EQ(w.text("本地目录编辑框"), "C:\\");
    EXPECT_EQ(titles("本地文件框"), std::vector<std::string>({"work", "boot.ini"}));
    EXPECT_EQ(ftp.calls[0], "cd \\ @");
    EXPECT_EQ(ftp.calls[1], "list *.* @正在获取目录列表,请稍候...");
    EXPECT_EQ(w.text("远程目录编辑框"), "/pub");
    EXPECT_EQ(status(), "获取磁盘目录列表完毕");
    EXPECT_EQ(w.focused, "本地文件框");
    EXPECT_EQ(w.repaints, std::vector<std::string>({"本地文件框", "状态标签"}));
    // Columns with their widths.
    EXPECT_EQ(w.itemCount("远程文件框"), 5);
}

TEST_F(FtpWindow, ListsCarryValuesImagesAndColumns) {
    ftp::listRemote(w, ftp);
    EXPECT_EQ(titles("远程文件框"), std::vector<std::string>({"", "a", "a.txt", "CON", "..\\evil"}));
    EXPECT_EQ(w.itemValue("远程文件框", 0), ftp::kUpEntry);
    EXPECT_EQ(w.itemValue("远程文件框", 1), ftp::kDirectory);
    EXPECT_EQ(w.itemText("远程文件框", 1, 1), "");
    EXPECT_EQ(w.itemText("远程文件框", 1, 2), "2010年6月2日12时20分7秒");
    EXPECT_EQ(w.itemValue("远程文件框", 2), ftp::kFile);
    EXPECT_EQ(w.itemText("远程文件框", 2, 1), "10");

    ftp.cwd = "/";
    ftp::listRemote(w, ftp);
    EXPECT_EQ(titles("远程文件框"), std::vector<std::string>({"pub", ".htaccess", "index.html"}));

    enterLocal("C:\\work");
    EXPECT_EQ(titles("本地文件框"), std::vector<std::string>({"", "a.txt", "index.html"}));
    EXPECT_EQ(w.itemText("本地文件框", 1, 1), "5");
}

TEST_F(FtpWindow, DoubleClicksMoveThroughDirectoriesOnBothSides) {
    ftp::listRemote(w, ftp);
    selectRemote("a");
    w.fire("远程文件框", Event::DoubleClick);
    EXPECT_EQ(w.text("远程目录编辑框"), "/pub/a");
    w.setSelection("远程文件框", 0);
    w.fire("远程文件框", Event::DoubleClick);
    EXPECT_EQ(w.text("远程目录编辑框"), "/pub");
    w.setSelection("远程文件框", 0);
    w.fire("远程文件框", Event::DoubleClick);
    EXPECT_EQ(w.text("远程目录编辑框"), "/");
    EXPECT_EQ(indexOf("远程文件框", ""), -1);
    // A file, or nothing selected: nothing happens.
    ftp.calls.clear();
    selectRemote("index.html");
    w.fire("远程文件框", Event::DoubleClick);
    w.setSelection("远程文件框", -1);
    w.fire("远程文件框", Event::DoubleClick);
    EXPECT_TRUE(ftp.calls.empty());
    // A server reporting "/pub/" goes up to "/pub".
    ftp.tree["/pub/"] = {};
    ftp.cwd = "/pub/";
    ftp::listRemote(w, ftp);
    w.setSelection("远程文件框", 0);
    w.fire("远程文件框", Event::DoubleClick);
    EXPECT_EQ(ftp.cwd, "/pub");

    enterLocal("C:\\");
    selectLocal("work");
    w.fire("本地文件框", Event::DoubleClick);
    EXPECT_EQ(w.text("本地目录编辑框"), "C:\\work");
    w.setSelection("本地文件框", 0);
    w.fire("本地文件框", Event::DoubleClick);
    EXPECT_EQ(disk.own.back(), "chdir C:\\work\\..");
    EXPECT_EQ(w.text("本地目录编辑框"), "C:\\");
}

TEST_F(FtpWindow, EnterInThePathBoxesIsConsumedAndRelists) {
    w.setText("远程目录编辑框", "/pub/a");
    EXPECT_FALSE(w.fire("远程目录编辑框", Event::Enter));
    EXPECT_EQ(ftp.cwd, "/pub/a");
    EXPECT_EQ(status(), "获取磁盘目录列表完毕");
    // A path that does not exist lists the unchanged directory.
    enterLocal("C:\\work");
    w.setText("本地目录编辑框", "C:\\nowhere");
    EXPECT_FALSE(w.fire("本地目录编辑框", Event::Enter));
    EXPECT_EQ(w.text("本地目录编辑框"), "C:\\work");
    // The drive box switches to the root of the chosen drive.
    w.select("驱动器框1", 1);
    EXPECT_EQ(w.text("本地目录编辑框"), "D:\\");
    EXPECT_EQ(titles("本地文件框"), std::vector<std::string>({"d.txt"}));
}

TEST_F(FtpWindow, DownloadAsksBeforeReplacingAndRefusesUnsafeNames) {
    enterLocal("C:\\work");
    ftp::listRemote(w, ftp);
    w.click("下载按钮");
    EXPECT_EQ(status(), "未选中欲下载文件");
    selectRemote("a");
    w.click("下载按钮");
    EXPECT_EQ(status(), "只能下载文件");
    w.setSelection("远程文件框", 0);
    w.click("下载按钮");
    EXPECT_EQ(status(), "只能下载文件");

    // a.txt exists locally: No leaves it alone.
    t.files.files["a.txt"] = "mine";
    selectRemote("a.txt");
    t.dialogs.answers = {Answer::No};
    w.click("下载按钮");
    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    const auto& q = t.dialogs.shown[0];
    EXPECT_EQ(q.text, "文件“a.txt”已经存在,覆盖它吗?");
    EXPECT_EQ(q.title, "询问");
    EXPECT_EQ(q.icon, platform::Icon::Question);
    EXPECT_EQ(q.buttons, platform::Buttons::YesNo);
    EXPECT_EQ(q.defaultButton, 1);
    EXPECT_EQ(status(), "只能下载文件");
    EXPECT_TRUE(ftp.downloaded.empty());

    t.dialogs.answers = {Answer::Yes};
    disk.own.clear();
    w.click("下载按钮");
    EXPECT_EQ(ftp.downloaded["a.txt"], "/pub/a.txt");
    EXPECT_EQ(ftp.calls.back(), "get a.txt @正在下载文件“a.txt”,请稍候...");
    EXPECT_EQ(status(), "下载文件“a.txt”成功");

    // Names that are not plain file names never reach the disk.
    ftp.calls.clear();
    for (std::string bad : {"CON", "..\\evil"}) {
        selectRemote(bad);
        w.click("下载按钮");
        EXPECT_EQ(status(), "下载文件“" + bad + "”失败");
    }
    EXPECT_TRUE(ftp.calls.empty());

    ftp.refuse.insert("get a.txt");
    t.dialogs.answers = {Answer::Yes};
    selectRemote("a.txt");
    w.click("下载按钮");
    EXPECT_EQ(status(), "下载文件“a.txt”失败");
}

TEST_F(FtpWindow, UploadChecksTheServerFirstAndReportsFailureLoudly) {
    enterLocal("C:\\work");
    ftp.cwd = "/";
    ftp::listRemote(w, ftp);
    w.click("上传按钮");
    EXPECT_EQ(status(), "未选中欲上传文件");
    w.setSelection("本地文件框", 0);
    w.click("上传按钮");
    EXPECT_EQ(status(), "只能上传文件");

    selectLocal("index.html");
    t.dialogs.answers = {Answer::No};
    ftp.calls.clear();
    w.click("上传按钮");
    EXPECT_EQ(ftp.calls, std::vector<std::string>{"list index.html @只能上传文件"});
    EXPECT_EQ(t.dialogs.shown.back().text, "文件“index.html”已经存在,覆盖它吗?");

    t.dialogs.answers = {Answer::Yes};
    w.click("上传按钮");
    EXPECT_EQ(ftp.calls[2], "put index.html @正在上传文件“index.html”,请稍候...");
    EXPECT_EQ(ftp.calls[3], "list *.* @正在获取目录列表,请稍候...");   // refresh before the final text
    EXPECT_EQ(status(), "上传“index.html”成功!");

    // A new name asks nothing.
    size_t asked = t.dialogs.shown.size();
    selectLocal("a.txt");
    w.click("上传按钮");
    EXPECT_EQ(t.dialogs.shown.size(), asked);
    EXPECT_NE(indexOf("远程文件框", "a.txt"), -1);

    ftp.refuse.insert("put a.txt");
    t.dialogs.answers = {Answer::Yes};
    w.click("上传按钮");
    EXPECT_EQ(status(), "上传文件“a.txt”失败!！");
}

TEST_F(FtpWindow, TransfersOverOneMibShowOnTheTaskbarButton) {
    const std::uint64_t mib = 1u << 20;
    auto& bar = t.taskbar.calls;
    enterLocal("C:\\work");
    ftp::listRemote(w, ftp);
    // A small file shows nothing but the cleared button.
    selectRemote("a.txt");
    ftp.moves = {{10, 10}};
    w.click("下载按钮");
    EXPECT_EQ(bar, std::vector<std::string>({"state 0"}));
    EXPECT_FALSE(ftp.progress) << "the progress calls end with the transfer";

    // 4 MiB: how far it is, then cleared after the success.
    bar.clear();
    ftp.moves = {{mib, 4 * mib}, {4 * mib, 4 * mib}};
    t.dialogs.answers = {Answer::Yes};
    w.click("下载按钮");
    EXPECT_EQ(bar, std::vector<std::string>({"state 0", "value 1048576/4194304", "value 4194304/4194304", "state 0"}));

    // The connection tells no size: the list's size column does.
    bar.clear();
    w.setItemText("远程文件框", indexOf("远程文件框", "a.txt"), 1, "8388608");
    ftp.moves = {{2 * mib, 0}};
    t.dialogs.answers = {Answer::Yes};
    w.click("下载按钮");
    EXPECT_EQ(bar, std::vector<std::string>({"state 0", "value 2097152/8388608", "state 0"}));

    // No size known anywhere: moving, once past 1 MiB; a failure stays red
    // until the next transfer starts.
    w.setItemText("远程文件框", indexOf("远程文件框", "a.txt"), 1, "");
    bar.clear();
    ftp.moves = {{mib / 2, 0}, {2 * mib, 0}, {3 * mib, 0}};
    ftp.refuse.insert("get a.txt");
    t.dialogs.answers = {Answer::Yes};
    w.click("下载按钮");
    EXPECT_EQ(status(), "下载文件“a.txt”失败");
    EXPECT_EQ(bar, std::vector<std::string>({"state 0", "state 1", "state 3"}));
    bar.clear();
    ftp.moves = {{2 * mib, 2 * mib}};
    selectLocal("index.html");
    t.dialogs.answers = {Answer::Yes};
    w.click("上传按钮");
    EXPECT_EQ(bar, std::vector<std::string>({"state 0", "value 2097152/2097152", "state 0"}));
}

TEST_F(FtpWindow, DeletesAskAndCheckTheKindOfEntry) {
    ftp::listRemote(w, ftp);
    w.click("删除文件按钮");
    EXPECT_EQ(status(), "未选中欲删除文件");
    w.click("删除目录按钮");
    EXPECT_EQ(status(), "未选中欲删除目录");
    selectRemote("a.txt");
    w.click("删除目录按钮");
    EXPECT_EQ(status(), "只能删除目录");
    selectRemote("a");
    w.click("删除文件按钮");
    EXPECT_EQ(status(), "只能删除文件");

    t.dialogs.answers = {Answer::No};
    w.click("删除目录按钮");
    EXPECT_EQ(t.dialogs.shown.back().text, "您确认要删除FTP服务器上的目录“a”吗?");
    EXPECT_NE(indexOf("远程文件框", "a"), -1);
    t.dialogs.answers = {Answer::Yes};
    w.click("删除目录按钮");
    EXPECT_EQ(status(), "删除目录“a”成功");
    EXPECT_EQ(indexOf("远程文件框", "a"), -1);

    selectRemote("a.txt");
    t.dialogs.answers = {Answer::Yes};
    w.click("删除文件按钮");
    EXPECT_EQ(t.dialogs.shown.back().text, "您确认要删除FTP服务器上的文件“a.txt”吗?");
    EXPECT_EQ(status(), "删除文件“a.txt”成功");
    EXPECT_EQ(indexOf("远程文件框", "a.txt"), -1);

    ftp.refuse.insert("delete CON");
    selectRemote("CON");
    t.dialogs.answers = {Answer::Yes};
    w.click("删除文件按钮");
    EXPECT_EQ(ftp.calls.back(), "delete CON @正在删除文件“CON”,请稍候...");
    EXPECT_EQ(status(), "删除文件“CON”失败");
}

TEST_F(FtpWindow, NewDirectoryAsksForItsName) {
    ftp::listRemote(w, ftp);
    w.setText("状态标签", "before");
    t.dialogs.inputs = {std::nullopt, std::string()};
    w.click("新建目录按钮");
    w.click("新建目录按钮");
    EXPECT_EQ(status(), "before");
    EXPECT_EQ(t.dialogs.inputPrompts[0], "请输入名称:|请输入欲在FTP服务器现行目录中新建的子目录名:|");

    t.dialogs.inputs = {std::string(" 新 目录 ")};
    w.click("新建目录按钮");
    EXPECT_EQ(status(), "创建新目录“ 新 目录 ”成功");
    EXPECT_NE(indexOf("远程文件框", " 新 目录 "), -1);
    t.dialogs.inputs = {std::string(" 新 目录 ")};
    w.click("新建目录按钮");
    EXPECT_EQ(status(), "创建新目录“ 新 目录 ”失败");
}

TEST_F(FtpWindow, RenameKeepsOrRevertsTheTitle) {
    ftp::listRemote(w, ftp);
    const int i = indexOf("远程文件框", "a.txt");
    EXPECT_TRUE(w.fire("远程文件框", Event::LabelEdited, 0, i, "b.txt"));
    EXPECT_EQ(ftp.calls.back(), "rename a.txt @正在更名“a.txt”到“b.txt”,请稍候...");
    EXPECT_EQ(status(), "更名“a.txt”到“b.txt”成功");

    ftp.refuse.insert("rename CON");
    EXPECT_FALSE(w.fire("远程文件框", Event::LabelEdited, 0, indexOf("远程文件框", "CON"), "con2"));
    EXPECT_EQ(status(), "更名“CON”到“con2”失败");
}

TEST_F(FtpWindow, NamesThatDoNotFitTheConnectionFailBeforeAnythingIsAskedOrSent) {
    // An entry whose bytes did not decode, and names the connection's
    // encoding cannot hold: each operation fails with its own text, asks
    // nothing and sends nothing.
    ftp.tree["/pub"] = {dirEntry("目录\uFFFD"), fileEntry("bad\uFFFD.txt"), fileEntry("ok.txt")};
    ftp.unfit = {"目录\uFFFD", "bad\uFFFD.txt", "a.txt", "新\uFFFD"};
    ftp::listRemote(w, ftp);
    enterLocal("C:\\work");
    t.files.files["bad\uFFFD.txt"] = "mine";
    const size_t calls = ftp.calls.size();
    selectRemote("bad\uFFFD.txt");
    w.click("下载按钮");
    EXPECT_EQ(status(), "下载文件“bad\uFFFD.txt”失败");
    w.click("删除文件按钮");
    EXPECT_EQ(status(), "删除文件“bad\uFFFD.txt”失败");
    EXPECT_FALSE(w.fire("远程文件框", Event::LabelEdited, 0, indexOf("远程文件框", "bad\uFFFD.txt"), "good.txt"));
    EXPECT_EQ(status(), "更名“bad\uFFFD.txt”到“good.txt”失败");
    EXPECT_FALSE(w.fire("远程文件框", Event::LabelEdited, 0, indexOf("远程文件框", "ok.txt"), "新\uFFFD"));
    EXPECT_EQ(status(), "更名“ok.txt”到“新\uFFFD”失败");
    selectRemote("目录\uFFFD");
    w.click("删除目录按钮");
    EXPECT_EQ(status(), "删除目录“目录\uFFFD”失败");
    t.dialogs.inputs = {std::string("新\uFFFD")};
    w.click("新建目录按钮");
    EXPECT_EQ(status(), "创建新目录“新\uFFFD”失败");
    selectLocal("a.txt");
    w.click("上传按钮");
    EXPECT_EQ(status(), "上传文件“a.txt”失败!！");
    EXPECT_TRUE(t.dialogs.shown.empty());
    EXPECT_EQ(ftp.calls.size(), calls) << ftp.calls.back();
    EXPECT_TRUE(ftp.downloaded.empty());
}

TEST_F(FtpWindow, DisconnectLeavesOnlyTheUpEntry) {
    ftp::listRemote(w, ftp);
    for (int round = 0; round < 2; ++round) {
        w.click("断开按钮");
        EXPECT_FALSE(ftp.connected);
        EXPECT_EQ(titles("远程文件框"), std::vector<std::string>{""});
        EXPECT_EQ(w.text("远程目录编辑框"), "");
        EXPECT_EQ(status(), "获取磁盘目录列表完毕");
    }
    EXPECT_EQ(std::count(ftp.calls.begin(), ftp.calls.end(), "close @获取磁盘目录列表完毕"), 1);
    // Every operation now fails with its own text.
    w.setSelection("远程文件框", 0);
    t.dialogs.inputs = {std::string("x")};
    w.click("新建目录按钮");
    EXPECT_EQ(status(), "创建新目录“x”失败");
}

}  // namespace

// The version check and the update window's handlers over the in-memory
// backend, with a downloader whose counters and notifications the test plays.
#include <gtest/gtest.h>

#include <cstdlib>

#include "resources/layouts.h"
#include "update/updater.h"
#include "update_fakes.h"

namespace {

constexpr const char* kBase = "http://upd.test/base";
const std::string kSave = "C:\\Users\\a\\Desktop\\tarnel.zip";

struct UpdateTest : ::testing::Test {
    UpdateDoubles d;
    update::DownloadRecord record;
    std::vector<std::string> requested;   // addresses the GET was asked for
    std::string versionBody = "1.2";
    int cleanups = 0;
    std::vector<std::string> log;
    ui::MemoryForm* main = nullptr;
    std::unique_ptr<update::Updater> updater;

    void SetUp() override {
        setenv("KORVAN_UPDATE_URL", kBase, 1);
        d.downloader.log = &log;
        d.process.log = &log;
        main = static_cast<ui::MemoryForm*>(d.t.windows.create(layouts::mainWindow()));
        main->setVisible("", true);
        main->on("", ui::Event::CanClose, [this](ui::EventArgs&) { log.push_back("main closes"); });
        update::UpdateHooks hooks{[this](std::string_view url) {
                                      requested.emplace_back(url);
                                      return versionBody;
                                  },
                                  [this] { ++cleanups; }};
        updater = std::make_unique<update::Updater>(d.services, record, hooks);
    }
    void TearDown() override { unsetenv("KORVAN_UPDATE_URL"); }

    ui::MemoryForm* window() { return d.t.windows.find("update"); }
    // Opens the update window the way the menu check does.
    ui::MemoryForm& openWindow() {
        updater->window().open(main);
        return *window();
    }
    const platform::DownloadTask& task() { return d.downloader.started.back(); }
};

}  // namespace

// --- the menu check -----------------------------------------------------------

TEST_F(UpdateTest, SameVersionSaysSoAndKeepsTheMainWindow) {
    versionBody = "1.1";
    updater->checkFromMenu(*main);
    EXPECT_EQ(requested, std::vector<std::string>{"http://upd.test/base/e/md5.htm"});
    EXPECT_EQ(main->text("编辑框4"), "1.1");
    ASSERT_EQ(d.t.dialogs.shown.size(), 1u);
    EXPECT_EQ(d.t.dialogs.shown[0].text, "当前没有新的版本，无需更新!");
    EXPECT_EQ(d.t.dialogs.shown[0].title, "提示");
    EXPECT_EQ(d.t.dialogs.shown[0].icon, platform::Icon::Information);
    EXPECT_EQ(d.t.dialogs.shown[0].buttons, platform::Buttons::Ok);
    EXPECT_TRUE(main->visible(""));
    EXPECT_EQ(window(), nullptr);
    EXPECT_TRUE(d.downloader.started.empty());
}

TEST_F(UpdateTest, AnyOtherVersionOpensTheUpdateWindowAndHidesTheMainWindow) {
    for (std::string body : {"1.2", "1.1\r\n", "1.10", "1.0"}) {
        SCOPED_TRACE(body);
        UpdateDoubles fresh;
        update::DownloadRecord rec;
        ui::MemoryForm* m = static_cast<ui::MemoryForm*>(fresh.t.windows.create(layouts::mainWindow()));
        m->setText("编辑框4", "old");
        update::Updater u(fresh.services, rec, {[&](std::string_view) { return body; }, {}});
        u.checkFromMenu(*m);
        EXPECT_EQ(m->text("编辑框4"), body);
        ASSERT_EQ(fresh.t.dialogs.shown.size(), 1u);
        EXPECT_EQ(fresh.t.dialogs.shown[0].text, "发现新的版本，单击确定进入自动更新！");
        EXPECT_EQ(fresh.t.dialogs.shown[0].title, "提示");
        EXPECT_EQ(fresh.t.dialogs.shown[0].icon, platform::Icon::Information);
        ui::MemoryForm* w = fresh.t.windows.find("update");
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->visible(""));
        EXPECT_FALSE(m->visible(""));
        EXPECT_EQ(fresh.downloader.started.size(), 1u);
    }
}

TEST_F(UpdateTest, UnreachableServerIsNotANewVersion) {
    versionBody = "";
    main->setText("编辑框4", "1.2");
    updater->checkFromMenu(*main);
    EXPECT_EQ(main->text("编辑框4"), "");
    ASSERT_EQ(d.t.dialogs.shown.size(), 1u);
    EXPECT_EQ(d.t.dialogs.shown[0].text, "无法连接更新服务器，请稍后再试！");
    EXPECT_EQ(d.t.dialogs.shown[0].title, "提示");
    EXPECT_EQ(d.t.dialogs.shown[0].icon, platform::Icon::Information);
    EXPECT_TRUE(main->visible(""));
    EXPECT_EQ(window(), nullptr);
    EXPECT_TRUE(d.downloader.started.empty());
}

// --- the update window --------------------------------------------------------

TEST_F(UpdateTest, OpeningStartsTheDownloadWithoutAClick) {
    auto& w = openWindow();
    EXPECT_EQ(w.rect("").width, 285);
    EXPECT_EQ(w.text(""), "自动更新");
    ASSERT_EQ(d.downloader.started.size(), 1u);
    const auto& t = task();
    EXPECT_EQ(t.kind, 4096);
    EXPECT_EQ(t.url, "http://upd.test/base/e/down/tarnel.zip");
    EXPECT_EQ(t.localFile, kSave);
    EXPECT_EQ(t.user, "");
    EXPECT_EQ(t.password, "");
    EXPECT_EQ(t.rateLimit, 999999999);
    EXPECT_EQ(t.connectTimeoutMs, 5000u);
    EXPECT_EQ(t.sendTimeoutMs, 5001u);
    EXPECT_EQ(t.receiveTimeoutMs, 10000u);
    EXPECT_EQ(t.stopWaitMs, 1000u);
    EXPECT_EQ(t.blockSize, 20480u);
    EXPECT_EQ(record.packageUrl, t.url);
    EXPECT_EQ(record.savePath, kSave);
    EXPECT_EQ(record.startTick, 1000);

    EXPECT_FALSE(w.enabled("按钮1"));
    EXPECT_EQ(w.text("按钮1"), "下载更新");
    EXPECT_EQ(w.text("标签大小"), "正在连接下载服务器...");
    EXPECT_EQ(w.text("标签进度"), "等待下载...");
    EXPECT_EQ(w.timerPeriod("时钟1"), 1000);
    EXPECT_EQ(w.timerPeriod("时钟"), 50);
}

TEST_F(UpdateTest, DesktopWhoseNameHasADotStillGetsThePackageName) {
    d.desktop.dir = "C:\\Users\\a\\Desktop.old\\";
    openWindow();
    EXPECT_EQ(task().localFile, "C:\\Users\\a\\Desktop.old\\tarnel.zip");
}

TEST_F(UpdateTest, CountersAndTextsWhileDownloading) {
    auto& w = openWindow();
    // Before the size is known nothing moves.
    d.downloader.downloaded = 5000;
    w.fire("时钟", ui::Event::Tick);
    w.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(w.position("进度条1"), 0);
    EXPECT_EQ(w.text("标签进度"), "等待下载...");
    EXPECT_EQ(w.text("标签大小"), "正在连接下载服务器...");

    d.downloader.notify(platform::kStatusSize, 2831155);
    EXPECT_EQ(record.totalSize, 2831155);
    d.downloader.downloaded = 1291007;
    w.fire("时钟", ui::Event::Tick);
    EXPECT_EQ(w.position("进度条1"), 456);
    d.downloader.taskBytes = {153600};
    d.downloader.allBytes = {153600};
    w.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(w.text("标签进度"), "已下载:45.6%");
    EXPECT_EQ(w.text("标签大小"), "进度：1.23M/2.7M");
    EXPECT_EQ(w.text("标签速度"), "速度：150KB/秒 ");
    EXPECT_EQ(w.text("标签时间"), "剩余时间:10秒");
    EXPECT_TRUE(d.downloader.taskBytes.empty());
    EXPECT_TRUE(d.downloader.allBytes.empty());

    // A second without data: speed 0, the remaining time keeps its text.
    w.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(w.text("标签速度"), "速度：0KB/秒 ");
    EXPECT_EQ(w.text("标签时间"), "剩余时间:10秒");
}

TEST_F(UpdateTest, FinishedBarThenFinalTextsOnceTheFileIsWhole) {
    auto& w = openWindow();
    d.downloader.notify(platform::kStatusSize, 2831155);
    d.downloader.downloaded = 2831155;
    w.setText("标签时间", "剩余时间:1秒");
    w.fire("时钟", ui::Event::Tick);
    EXPECT_EQ(w.position("进度条1"), 1000);
    EXPECT_EQ(w.text("标签速度"), "更新已完成!");
    EXPECT_EQ(w.text("标签进度"), "");
    EXPECT_EQ(w.text("标签大小"), "");
    EXPECT_EQ(w.text("标签时间"), "");

    // Not on disk yet at its whole size: the final texts wait.
    d.sizes.sizes[kSave] = 1000;
    w.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(w.text("标签大小"), "");
    EXPECT_EQ(w.timerPeriod("时钟1"), 1000);

    d.sizes.sizes[kSave] = 2831155;
    d.clock.now = 4456;
    w.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(w.text("标签大小"), "文件大小:2.7M");
    EXPECT_EQ(w.text("标签时间"), "总耗时:3.46秒");
    EXPECT_EQ(w.text("标签进度"), "已完成:100%");
    EXPECT_EQ(w.text("标签速度"), "更新已完成!");
    EXPECT_EQ(w.timerPeriod("时钟1"), 0);
    EXPECT_EQ(w.timerPeriod("时钟"), 0);
}

TEST_F(UpdateTest, WholePackageIsOfferedOpenedAndTheScratchFilesCleaned) {
    auto& w = openWindow();
    d.downloader.notify(platform::kStatusSize, 4096);
    d.sizes.sizes[kSave] = 4096;
    d.downloader.notify(platform::kStatusEnd, 4096, true);
    EXPECT_EQ(w.text("按钮1"), "安装");
    EXPECT_TRUE(w.enabled("按钮1"));
    EXPECT_EQ(d.t.shell.opened, std::vector<std::string>{kSave});
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(d.downloader.started.size(), 1u);

    // "安装" again opens it again; no second download.
    w.click("按钮1");
    EXPECT_EQ(d.t.shell.opened.size(), 2u);
    EXPECT_EQ(cleanups, 2);
    EXPECT_EQ(d.downloader.started.size(), 1u);
}

TEST_F(UpdateTest, NothingBrokenIsEverOpened) {
    struct Case {
        const char* name;
        std::int64_t announced;   // 0: no size notification
        bool ok;
        std::int64_t onDisk;      // -1: no file
        bool removes;             // the handler removes what lies at the save path
    };
    const Case cases[] = {
        {"transfer failed", 4096, false, -1, false},
        {"no announced size", 0, true, 4096, true},
        {"size differs", 4096, true, 4000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateDoubles fresh;
        update::DownloadRecord rec;
        int cleaned = 0;
        update::UpdateWindow uw(fresh.services, rec, {{}, [&] { ++cleaned; }});
        uw.open(nullptr);
        ui::MemoryForm& w = *fresh.t.windows.find("update");
        if (c.announced) fresh.downloader.notify(platform::kStatusSize, c.announced);
        if (c.onDisk >= 0) {
            fresh.sizes.sizes[kSave] = c.onDisk;
            fresh.t.files.files[kSave] = std::string(static_cast<size_t>(c.onDisk), 'x');
        }
        fresh.downloader.notify(platform::kStatusEnd, c.onDisk, c.ok);
        EXPECT_EQ(w.text("标签速度"), "更新失败!");
        EXPECT_EQ(w.timerPeriod("时钟"), 0);
        EXPECT_EQ(w.timerPeriod("时钟1"), 0);
        EXPECT_FALSE(w.enabled("按钮1"));
        EXPECT_EQ(w.text("按钮1"), "下载更新");
        EXPECT_TRUE(fresh.t.shell.opened.empty());
        EXPECT_EQ(cleaned, 0);
        EXPECT_EQ(fresh.t.files.exists(kSave), c.onDisk >= 0 && !c.removes);
    }
}

TEST_F(UpdateTest, OnlyAPackageTheMakerVouchesForAsTheAnnouncedVersionIsKept) {
    // The fake key signs the counting bytes 0..63 over exactly the
    // statement's first four lines; each case but "another key" is signed
    // so, and fails (when it does) for its one fault alone.
    const std::string signature =
        "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";
    platform::Sha256 digest;
    digest.fill(0x5A);
    std::string hash;
    for (int i = 0; i < 32; ++i) hash += "5a";
    const std::string otherHash = hash.substr(0, 62) + "5b";
    auto lines = [](const std::string& version, const std::string& sha, const std::string& expires) {
        return "korvan-update 1\nversion " + version + "\nsha256 " + sha + "\nexpires " + expires + "\n";
    };
    struct Case {
        const char* name;
        std::string announced;   // 编辑框4 when the download starts
        std::string signedLines;
        platform::Date today;
        bool otherKey, kept;
        std::string served;      // "": the signed lines and the signature line
    };
    const std::string good = lines("1.2", hash, "2027-06-30");
    const Case cases[] = {
        {"vouched, its last day", "1.2", good, {2027, 6, 30}, false, true, ""},
        {"the announced text's trailing break and blanks do not count", "1.2\r\n \t", good, {2027, 1, 1}, false, true, ""},
        {"no statement", "1.2", good, {2027, 1, 1}, false, false, "-"},
        {"an older release's statement", "1.2", lines("1.1", hash, "2027-06-30"), {2027, 1, 1}, false, false, ""},
        {"expired", "1.2", good, {2027, 7, 1}, false, false, ""},
        {"another package", "1.2", lines("1.2", otherHash, "2027-06-30"), {2027, 1, 1}, false, false, ""},
        {"another key", "1.2", good, {2027, 1, 1}, true, false, ""},
        {"no version announced", "", good, {2027, 1, 1}, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateDoubles fresh;
        fresh.signatures.message = c.otherKey ? "another message" : c.signedLines;
        for (int i = 0; i < 64; ++i) fresh.signatures.signature[i] = static_cast<std::uint8_t>(i);
        fresh.calendar.today = c.today;
        update::DownloadRecord rec;
        std::vector<std::string> asked;
        int cleaned = 0;
        update::UpdateWindow uw(fresh.services, rec,
                                {[&](std::string_view url) {
                                     asked.emplace_back(url);
                                     return std::string();
                                 },
                                 [&] { ++cleaned; }});
        ui::Form* m = fresh.t.windows.create(layouts::mainWindow());
        m->setText("编辑框4", c.announced);
        uw.open(m);
        ui::MemoryForm& w = *fresh.t.windows.find("update");
        fresh.downloader.notify(platform::kStatusSize, 4096);
        fresh.sizes.sizes[kSave] = 4096;
        const std::string served = c.served == "-" ? "" : c.signedLines + "signature " + signature + "\n";
        fresh.downloader.finish(4096, digest, served);
        // The statement travels with the package: one task, so one and the
        // same connection settings and limits for both; never the shared GET.
        ASSERT_EQ(fresh.downloader.started.size(), 1u);
        const platform::DownloadTask& task = fresh.downloader.started[0];
        EXPECT_EQ(task.signatureUrl, "http://upd.test/base/e/down/tarnel.zip.sig");
        EXPECT_EQ(task.url + ".sig", task.signatureUrl);
        EXPECT_EQ(task.connectTimeoutMs, update::kConnectTimeoutMs);
        EXPECT_EQ(task.receiveTimeoutMs, update::kReceiveTimeoutMs);
        EXPECT_TRUE(asked.empty());
        EXPECT_EQ(fresh.downloader.verified, std::vector<bool>{c.kept});
        if (c.kept) {
            EXPECT_EQ(w.text("按钮1"), "安装");
            EXPECT_EQ(fresh.t.shell.opened, std::vector<std::string>{kSave});
            EXPECT_EQ(cleaned, 1);
        } else {
            EXPECT_EQ(w.text("标签速度"), "更新失败!");
            EXPECT_EQ(w.text("按钮1"), "下载更新");
            EXPECT_FALSE(w.enabled("按钮1"));
            EXPECT_TRUE(fresh.t.shell.opened.empty());
            EXPECT_EQ(cleaned, 0);
        }
    }
}

TEST_F(UpdateTest, TheVersionIsTheOneAnnouncedWhenTheDownloadStarted) {
    // A version page fetched again while the package downloads (编辑框4
    // rewritten) changes nothing about which statement the package needs.
    main->setText("编辑框4", "1.2");
    openWindow();
    main->setText("编辑框4", "1.3");
    auto lines = [](const char* version) {
        return "korvan-update 1\nversion " + std::string(version) + "\nsha256 " + std::string(64, 'e') +
               "\nexpires 2027-06-30\n";
    };
    platform::Sha256 digest;
    digest.fill(0xEE);
    const platform::DownloadTask& t = task();
    d.signatures.message = lines("1.3");
    EXPECT_FALSE(t.verify(digest, lines("1.3") + "signature " + std::string(86, 'A') + "==\n"));
    d.signatures.message = lines("1.2");
    EXPECT_TRUE(t.verify(digest, lines("1.2") + "signature " + std::string(86, 'A') + "==\n"));
}

TEST_F(UpdateTest, RefusedStartOrNoDesktopIsAFailureAtOnce) {
    d.downloader.accept = false;
    auto& w = openWindow();
    EXPECT_EQ(w.text("标签速度"), "更新失败!");
    EXPECT_EQ(w.timerPeriod("时钟"), 0);
    EXPECT_FALSE(w.enabled("按钮1"));

    UpdateDoubles fresh;
    fresh.desktop.dir = "";
    update::DownloadRecord rec;
    update::UpdateWindow uw(fresh.services, rec, {});
    uw.open(nullptr);
    EXPECT_TRUE(fresh.downloader.started.empty());
    EXPECT_EQ(fresh.t.windows.find("update")->text("标签速度"), "更新失败!");
}

TEST_F(UpdateTest, CancelStopsTheTransferClosesTheMainWindowAndExitsWithZero) {
    auto& w = openWindow();
    d.downloader.notify(platform::kStatusSize, 4096);
    w.click("按钮2");
    EXPECT_EQ(log, (std::vector<std::string>{"stop", "main closes", "exit 0"}));
    EXPECT_TRUE(main->closed);
    // The window going away afterwards does not end the program twice, and
    // a late notification changes nothing.
    w.close();
    d.downloader.notify(platform::kStatusEnd, 4096, true);
    EXPECT_EQ(d.process.exits, std::vector<int>{0});
    EXPECT_TRUE(d.t.shell.opened.empty());
}

TEST_F(UpdateTest, ClosingTheWindowEndsTheProgramTheSameWay) {
    auto& w = openWindow();
    w.close();
    EXPECT_EQ(log, (std::vector<std::string>{"stop", "main closes", "exit 0"}));
    EXPECT_EQ(d.process.exits, std::vector<int>{0});
}

TEST_F(UpdateTest, TheEndWaitsUntilARunningAdapterApplyIsDone) {
    // The application holds the end while an apply runs (the hook main.cpp
    // gives), and lets it go on once the enable has run.
    std::function<void()> held;
    update::UpdateHooks hooks{[](std::string_view) { return std::string("1.2"); }, [] {},
                              [&](std::function<void()> then) {
                                  log.push_back("held");
                                  held = std::move(then);
                              }};
    updater = std::make_unique<update::Updater>(d.services, record, hooks);
    auto& w = openWindow();
    w.click("按钮2");
    EXPECT_EQ(log, (std::vector<std::string>{"stop", "held"}));
    EXPECT_TRUE(d.process.exits.empty());
    EXPECT_FALSE(main->closed);
    ASSERT_TRUE(held);
    held();
    EXPECT_EQ(log, (std::vector<std::string>{"stop", "held", "main closes", "exit 0"}));
    EXPECT_EQ(d.process.exits, std::vector<int>{0});
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "fakes.h"
#include "platform/codec.h"
#include "resources/layouts.h"
#include "shell/announcements.h"
#include "shell/app.h"
#include "shell/web_startup.h"

using shell::Notice;

namespace {
std::string g(std::string_view utf8) { return codec::utf8ToGbk(utf8); }
}  // namespace

TEST(Ticker, WidthCountsGbkBytesAtHalfTheHeightOfA) {
    EXPECT_EQ(shell::tickerUnit(12), 6.0f);
    EXPECT_EQ(shell::tickerWidth(6.0f, "十个中文字符的公告啊"), 120);
    EXPECT_EQ(shell::tickerWidth(6.5f, "abc"), 19) << "19.5 truncated";
    EXPECT_EQ(shell::tickerWidth(7.5f, "a中"), 22);
    EXPECT_EQ(shell::tickerWidth(6.0f, ""), 0);
}

TEST(Ticker, MovesLeftAndReentersOnePixelInsideTheStrip) {
    EXPECT_EQ(shell::nextTickerLeft(471, 120, 471), 470);
    EXPECT_EQ(shell::nextTickerLeft(-119, 120, 471), -120);
    EXPECT_EQ(shell::nextTickerLeft(-120, 120, 471), 470);
    // An empty label keeps cycling.
    EXPECT_EQ(shell::nextTickerLeft(0, 0, 471), 470);
}

TEST(Ticker, ATickAfterARestLandsWhereEverySingleTickWouldHave) {
    // The clock rests while nobody can see the strip; its first tick after
    // counts the periods that went by.
    for (int width : {0, 1, 120, 900})
        for (int start : {471, 470, 0, -width, 300, -width - 5})
            for (long long n : {0LL, 1LL, 2LL, 470LL, 471LL + width, 5LL * (471 + width) + 17, 2000LL}) {
                int walked = start;
                for (long long i = 0; i < n; ++i) walked = shell::nextTickerLeft(walked, width, 471);
                EXPECT_EQ(shell::advanceTickerLeft(start, width, 471, n), walked)
                    << "width " << width << " from " << start << " after " << n;
            }
    // A day minimised: 4,320,000 periods of 20 ms.
    int walked = 471;
    for (long long i = 0; i < 4'320'000; ++i) walked = shell::nextTickerLeft(walked, 120, 471);
    EXPECT_EQ(shell::advanceTickerLeft(471, 120, 471, 4'320'000), walked);

    // Through the clock's handler: the tick's count is the periods elapsed.
    ui::MemoryForm main(layouts::mainWindow());
    main.setFont("标签1", ui::FontSpec{"宋体", 12});
    main.setText("标签11", "x");
    shell::setUpTicker(main, [] { return std::string("十个中文字符的公告啊"); });
    main.fire("时钟1", ui::Event::Tick, 500);
    EXPECT_EQ(main.rect("标签11").left, shell::advanceTickerLeft(471, 120, 471, 500));
    main.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(main.rect("标签11").left, shell::advanceTickerLeft(471, 120, 471, 501)) << "a plain tick is one";
}

TEST(Ticker, SetUpSizesPlacesColoursAndStartsTheClock) {
    ui::MemoryForm main(layouts::mainWindow());
    main.setFont("标签1", ui::FontSpec{"宋体", 12});
    main.setText("标签11", "旧公告");
    int fetches = 0;
    shell::setUpTicker(main, [&] {
        ++fetches;
        return std::string("十个中文字符的公告啊");
    });
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(main.text("标签11"), "十个中文字符的公告啊") << "the second fetch replaces the first";
    EXPECT_EQ(main.font("画板1"), (ui::FontSpec{"宋体", 12}));
    EXPECT_EQ(main.rect("标签11"), (ui::Rect{471, 3, 120, 16}));
    EXPECT_EQ(main.textColour("标签11"), ui::rgb(0, 0, 255));
    EXPECT_EQ(main.timerPeriod("时钟1"), 20);

    main.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(main.rect("标签11").left, 470);
    for (int i = 0; i < 470 + 120; ++i) main.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(main.rect("标签11").left, -120);
    main.fire("时钟1", ui::Event::Tick);
    EXPECT_EQ(main.rect("标签11").left, 470);
}

TEST(Ticker, EmptyAnnouncementScrollsTheFallbackWithoutASecondFetch) {
    ui::MemoryForm main(layouts::mainWindow());
    int fetches = 0;
    shell::setUpTicker(main, [&] {
        ++fetches;
        return std::string();
    });
    EXPECT_EQ(fetches, 0);
    const std::string fallback = "暂无最新公告，更多资讯请登录我司官方网站——http://www.korvan.example！";
    EXPECT_EQ(main.text("标签11"), fallback);
    EXPECT_EQ(main.rect("标签11").width, static_cast<int>(6.0f * g(fallback).size()));

    // A first announcement whose second fetch fails leaves a blank strip.
    ui::MemoryForm other(layouts::mainWindow());
    other.setText("标签11", "x");
    shell::setUpTicker(other, [] { return std::string(); });
    EXPECT_EQ(other.text("标签11"), "");
    EXPECT_EQ(other.rect("标签11").width, 0);
}

TEST(Notices, VersionTextAndSwitchDecide) {
    EXPECT_EQ(shell::noticeFor("1.1", "1"), Notice::StartupText);
    EXPECT_EQ(shell::noticeFor("1.1", "0"), Notice::None);
    EXPECT_EQ(shell::noticeFor("1.2", "1"), Notice::NewVersion);
    EXPECT_EQ(shell::noticeFor("1.1\r\n", "0"), Notice::NewVersion) << "exact comparison, no trimming";
    EXPECT_EQ(shell::noticeFor("1.1", "1 "), Notice::None);
    EXPECT_EQ(shell::noticeFor("1.1", "1\r\n"), Notice::None);
    // A failed version fetch is no new version; the switch still decides.
    EXPECT_EQ(shell::noticeFor("", ""), Notice::None);
    EXPECT_EQ(shell::noticeFor("", "1"), Notice::StartupText);
    EXPECT_EQ(shell::pageText(std::string("1.1\0junk", 8)), "1.1");
    EXPECT_EQ(shell::pageText(g("公告")), "公告");
}

namespace {

// The whole web part of start-up over the doubles: the pages by URL, the
// location request answered by the transport.
struct WebStartupTest : ::testing::Test {
    TestServices t;
    shell::App app{t.services};
    shell::WebStartup web{t.http, app.state().http, t.dialogs};
    const std::string update = "http://update.test";
    const std::string ip = "http://ip.test";

    void SetUp() override {
        setenv("KORVAN_UPDATE_URL", update.c_str(), 1);
        setenv("KORVAN_IPLOOKUP_URL", ip.c_str(), 1);
        web.bind(app.steps());
        t.windows.onModal = [](ui::MemoryForm& f) { f.fire("", ui::Event::Deactivated); };
    }
    void TearDown() override {
        unsetenv("KORVAN_UPDATE_URL");
        unsetenv("KORVAN_IPLOOKUP_URL");
    }
    void servePages(const char* version, const char* noticeSwitch) {
        t.http.page(update + "/e/md5.htm", version);
        t.http.page(update + "/e/cc.htm", noticeSwitch);
        t.http.page(update + "/e/gg.htm", g("新公告"));
        t.http.page(update + "/e/tt.htm", g("维护通知"));
        t.http.page(ip + "/ip2city.asp", g("您的IP是：[1.2.3.4] 来自：四川"));
        t.transport.reply = {platform::FetchEnd::Complete, g("<li>参考数据二：四川省 电信</li></ul></td>"),
                             "HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\n\r\n"};
    }
};

}  // namespace

TEST_F(WebStartupTest, CurrentVersionWithTheSwitchOnShowsTheNoticeText) {
    servePages("1.1", "1");
    ui::Form* main = app.openMainWindow();
    EXPECT_EQ(main->text("编辑框4"), "1.1");
    EXPECT_EQ(main->text("编辑框5"), "1");
    EXPECT_EQ(main->text("标签11"), "新公告");
    EXPECT_EQ(main->text("标签1"), "1.2.3.4");
    EXPECT_EQ(main->text("标签3"), "\r\n你的地理位置为：【四川省 电信】");
    EXPECT_EQ(main->timerPeriod("时钟1"), 20);

    // Every independent page was asked for before the first answer was used;
    // the notice page only once the switch was known.
    ASSERT_EQ(t.http.started.size(), 6u);
    EXPECT_EQ(t.http.started[5], update + "/e/tt.htm");
    const auto& events = t.http.events;
    const auto firstTake =
        std::find_if(events.begin(), events.end(), [](const std::string& e) { return e.starts_with("take "); });
    EXPECT_EQ(std::vector<std::string>(events.begin(), firstTake),
              (std::vector<std::string>{"start " + update + "/e/md5.htm", "start " + update + "/e/cc.htm",
                                        "start " + update + "/e/gg.htm", "start " + update + "/e/gg.htm",
                                        "start " + ip + "/ip2city.asp"}));
    const auto switchTaken = std::find(events.begin(), events.end(), "take " + update + "/e/cc.htm");
    const auto noticeStarted = std::find(events.begin(), events.end(), "start " + update + "/e/tt.htm");
    ASSERT_NE(noticeStarted, events.end());
    EXPECT_LT(switchTaken, noticeStarted);

    ASSERT_EQ(t.transport.requests.size(), 1u);
    EXPECT_EQ(t.transport.requests[0].method, "POST");
    EXPECT_EQ(t.transport.requests[0].host, "ip.test");
    EXPECT_EQ(t.transport.requests[0].path, "/ips.asp");
    EXPECT_EQ(t.transport.requests[0].body, "ip=1.2.3.4&action=2");
    EXPECT_EQ(t.transport.cookies.size(), 1u);

    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_EQ(t.dialogs.shown[0].text, "维护通知");
    EXPECT_EQ(t.dialogs.shown[0].title, "系统提示");
    EXPECT_EQ(t.dialogs.shown[0].icon, platform::Icon::Information);
    EXPECT_EQ(t.dialogs.shown[0].buttons, platform::Buttons::Ok);
}

TEST_F(WebStartupTest, NewVersionShowsOnlyTheVersionNoticeAndNeverAsksForTheNoticePage) {
    servePages("1.2", "1");
    app.openMainWindow();
    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_EQ(t.dialogs.shown[0].text, "已经有新的版本发布，请点击【检测更新】下载新的版本使用！");
    EXPECT_EQ(t.dialogs.shown[0].title, "系统提示");
    EXPECT_EQ(std::count(t.http.started.begin(), t.http.started.end(), update + "/e/tt.htm"), 0);
}

TEST_F(WebStartupTest, WithoutNetworkNothingIsAnnouncedButTheFallback) {
    t.transport.reply = {platform::FetchEnd::Failed, "", ""};
    ui::Form* main = app.openMainWindow();
    EXPECT_TRUE(t.dialogs.shown.empty()) << "a failed version fetch is not a new version";
    EXPECT_EQ(main->text("编辑框4"), "");
    EXPECT_EQ(main->text("标签11").rfind("暂无最新公告", 0), 0u);
    EXPECT_EQ(main->text("标签1"), "");
    EXPECT_EQ(main->text("标签3"), "\r\n你的地理位置为：【】");
    ASSERT_EQ(t.transport.requests.size(), 1u);
    EXPECT_EQ(t.transport.requests[0].body, "ip=&action=2");
    EXPECT_TRUE(main->visible(""));
}

TEST_F(WebStartupTest, AnAddressPageThatRanIntoTheDeadlineStillSendsTheLocationRequest) {
    servePages("1.1", "0");
    t.http.pages[ip + "/ip2city.asp"] = {platform::FetchEnd::TimedOut, ""};
    t.transport.reply = {platform::FetchEnd::Complete, "", ""};
    ui::Form* main = app.openMainWindow();
    ASSERT_EQ(t.transport.requests.size(), 1u) << "the service may well answer for an empty address";
    EXPECT_EQ(t.transport.requests[0].path, "/ips.asp");
    EXPECT_EQ(t.transport.requests[0].body, "ip=&action=2");
    EXPECT_EQ(main->text("标签1"), "");
    EXPECT_EQ(main->text("标签3"), "\r\n你的地理位置为：【】");
    EXPECT_TRUE(t.dialogs.shown.empty());
}

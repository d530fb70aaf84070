#include <gtest/gtest.h>

#include <cstdlib>

#include "fakes.h"
#include "resources/layouts.h"
#include "shell/app.h"
#include "tools/whois.h"

using platform::Buttons;
using platform::Icon;

namespace {

constexpr const char* kBase = "http://whois.test/q/";

struct Whois : ::testing::Test {
    ui::MemoryForm form{layouts::mainWindow()};
    ScriptedDialogs dialogs;
    std::shared_ptr<RecordingBrowser> browser = std::make_shared<RecordingBrowser>(form, "超文本浏览框1");
    void SetUp() override { tools::bindWhois(form, dialogs, browser, kBase); }
    void setSize(int w, int h) { form.setRect("", {120, 80, w, h}); }
    ui::Rect window() { return form.rect(""); }
    int browserTop() { return form.rect("超文本浏览框1").top; }
};

}  // namespace

TEST_F(Whois, ToggleWidensFromTheNarrowSizeAndNarrowsBack) {
    setSize(563, 543);
    form.click("按钮4");
    EXPECT_EQ(window(), (ui::Rect{120, 80, 916, 555}));
    EXPECT_EQ(form.text("按钮4"), "关闭查询");
    form.click("按钮4");
    EXPECT_EQ(window(), (ui::Rect{120, 80, 563, 543}));
    EXPECT_EQ(form.text("按钮4"), "域名whois查询");
    form.click("按钮4");
    EXPECT_EQ(window().width, 916);
}

TEST_F(Whois, AnyOtherSizeIsFirstBroughtToTheNarrowOne) {
    for (ui::Size other : {ui::Size{573, 555}, ui::Size{563, 555}, ui::Size{916, 555}, ui::Size{700, 600}}) {
        setSize(other.width, other.height);
        form.setText("按钮4", "关闭查询");
        form.click("按钮4");
        EXPECT_EQ(window(), (ui::Rect{120, 80, 563, 543})) << other.width << "x" << other.height;
        EXPECT_EQ(form.text("按钮4"), "域名whois查询");
    }
    form.click("按钮4");
    EXPECT_EQ(window().width, 916);
}

TEST_F(Whois, EmptyDomainAsksForOneAndPutsTheCaretBack) {
    form.focus("按钮5");
    form.click("按钮5");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "请输入正确的域名后再查询!");
    EXPECT_EQ(dialogs.shown[0].title, "提示");
    EXPECT_EQ(dialogs.shown[0].icon, Icon::Information);
    EXPECT_EQ(dialogs.shown[0].buttons, Buttons::Ok);
    EXPECT_EQ(form.focused, "编辑框6");
    EXPECT_TRUE(browser->navigations.empty());
    EXPECT_EQ(browserTop(), -400);
}

TEST_F(Whois, DomainIsAppendedToTheBaseExactlyAsTypedAndThePageMovesUp) {
    EXPECT_EQ(form.rect("超文本浏览框1"), (ui::Rect{-65, -400, 400, 749}));
    form.setText("编辑框6", "example.com");
    form.click("按钮5");
    EXPECT_EQ(form.rect("超文本浏览框1"), (ui::Rect{-65, -280, 400, 749}));
    // The prefix shown beside the box is sent when typed; nothing is trimmed
    // or encoded.
    form.setText("编辑框6", "www.例子.cn ");
    form.click("按钮5");
    form.setText("编辑框6", "a b?c=d");
    form.click("按钮5");
    EXPECT_EQ(browser->navigations,
              (std::vector<std::string>{"http://whois.test/q/example.com", "http://whois.test/q/www.例子.cn ",
                                        "http://whois.test/q/a b?c=d"}));
    EXPECT_EQ(browserTop(), -280);
    EXPECT_TRUE(dialogs.shown.empty());
}

// Through the application: the window opens at the narrow size, so the first
// press opens the panel; the browser sits in 超文本浏览框1 and is sent to the
// configured service.
TEST(WhoisApp, FirstPressAfterStartUpOpensThePanelAndLookupsUseTheConfiguredService) {
    setenv("KORVAN_WHOIS_URL", "http://127.0.0.1:1/w/", 1);
    TestServices t;
    shell::App app(t.services);
    auto* main = static_cast<ui::MemoryForm*>(app.openMainWindow());
    unsetenv("KORVAN_WHOIS_URL");
    ASSERT_NE(main, nullptr);
    main->click("按钮4");
    EXPECT_EQ(main->rect("").width, 916);
    EXPECT_EQ(main->rect("").height, 555);
    EXPECT_EQ(main->text("按钮4"), "关闭查询");

    ASSERT_EQ(t.browsers.attached.size(), 1u);
    RecordingBrowser& browser = *t.browsers.attached[0];
    EXPECT_EQ(browser.unit, "超文本浏览框1");
    main->setText("编辑框6", "example.org");
    main->click("按钮5");
    EXPECT_EQ(browser.navigations, (std::vector<std::string>{"http://127.0.0.1:1/w/example.org"}));
    EXPECT_EQ(main->rect("超文本浏览框1").top, -280);
}

TEST(WhoisApp, WithoutABrowserTheLookupStillChecksItsInput) {
    TestServices t;
    t.services.browsers = nullptr;
    shell::App app(t.services);
    auto* main = static_cast<ui::MemoryForm*>(app.openMainWindow());
    main->setText("编辑框6", "");
    main->click("按钮5");
    EXPECT_EQ(t.dialogs.shown.size(), 1u);
    main->setText("编辑框6", "example.org");
    main->click("按钮5");
    EXPECT_EQ(t.dialogs.shown.size(), 1u);
}

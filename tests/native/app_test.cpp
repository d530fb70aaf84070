#include <gtest/gtest.h>

#include <set>

#include "adapter/settings.h"
#include "fakes.h"
#include "memory_registry.h"
#include "resources/layouts.h"
#include "shell/app.h"

namespace {

struct AppTest : ::testing::Test {
    TestServices t;
    shell::App app{t.services};
    std::vector<std::string> order;

    // Every start-up step records its name, and what the main window looks
    // like at that moment.
    void recordSteps() {
        auto& s = app.steps();
        auto rec = [this](const char* name) {
            return [this, name](ui::Form& f) {
                order.push_back(std::string(name) + (f.visible("") ? "+visible" : ""));
            };
        };
        s.fetchServerTexts = rec("texts");
        s.attachSkin = rec("skin");
        s.setUpTicker = rec("ticker");
        s.publicIpLookup = [this] {
            order.push_back("ip");
            return std::string("1.2.3.4");
        };
        s.locationLookup = [this](ui::Form& f) { order.push_back("location:" + f.text("标签1")); };
        s.refreshAdapters = [this](ui::Form& f) { order.push_back("adapters:" + f.text("计算机名_编辑框")); };
        s.loadSavedLogin = rec("login");
        s.startupNotices = rec("notices");
        t.windows.onModal = [this](ui::MemoryForm& f) {
            order.push_back("modal:" + std::string(f.layoutName()));
            f.fire("图片框1", ui::Event::MouseDown);
        };
    }
};

}  // namespace

TEST_F(AppTest, StartupRunsEveryStepInOrderThenShowsTheWindow) {
    recordSteps();
    t.files.files["C:\\tool\\Config.ini"] = "";
    ui::Form* main = app.openMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(order, (std::vector<std::string>{"modal:splash", "texts", "skin", "ticker", "ip", "location:1.2.3.4",
                                               "adapters:testhost", "login", "notices"}));
    EXPECT_TRUE(main->visible(""));
    EXPECT_EQ(main->rect("").width, 563);
    EXPECT_EQ(main->rect("").height, 543);
    EXPECT_TRUE(main->checked("保存选择框"));
    EXPECT_TRUE(t.windows.find("splash")->closed);
}

TEST_F(AppTest, WithoutConfigTheLoginStaysEmpty) {
    recordSteps();
    ui::Form* main = app.openMainWindow();
    EXPECT_EQ(std::count(order.begin(), order.end(), "login"), 0);
    EXPECT_FALSE(main->checked("保存选择框"));
    EXPECT_EQ(main->text("端口编辑框"), "21");
    EXPECT_EQ(main->text("地址编辑框"), "");
}

TEST_F(AppTest, EmptyStepsAreSkippedAndTheSplashClosesOnFocusLoss) {
    t.windows.onModal = [](ui::MemoryForm& f) { f.fire("", ui::Event::Deactivated); };
    t.system.host = "";
    ui::Form* main = app.openMainWindow();
    EXPECT_TRUE(t.windows.find("splash")->closed);
    EXPECT_TRUE(main->visible(""));
    EXPECT_EQ(main->text("计算机名_编辑框"), "");
    EXPECT_EQ(main->text("标签1"), "获取中...");
}

TEST_F(AppTest, ComputerNameIsCutAt255Characters) {
    t.system.host = std::string(300, 'h');
    ui::Form* main = app.openMainWindow();
    EXPECT_EQ(main->text("计算机名_编辑框").size(), 255u);
    EXPECT_EQ(shell::truncateChars("中文名字", 2), "中文");
    EXPECT_EQ(shell::truncateChars("ab", 5), "ab");
}

TEST_F(AppTest, CloseRunsCanCloseThenDestroyedAndNeverRefuses) {
    app.steps().canClose = [this](ui::Form&) { order.push_back("canclose"); };
    app.steps().destroyed = [this](ui::Form&) { order.push_back("destroyed"); };
    ui::Form* main = app.openMainWindow();
    main->close();
    EXPECT_EQ(order, (std::vector<std::string>{"canclose", "destroyed"}));
    EXPECT_TRUE(static_cast<ui::MemoryForm*>(main)->closed);
    EXPECT_EQ(app.mainWindow(), nullptr);
}

TEST_F(AppTest, MenuItemsReachTheirHandlers) {
    int effect = 0, update = 0;
    app.steps().effectMenu = [&](ui::Form&) { ++effect; };
    app.steps().updateMenu = [&](ui::Form&) { ++update; };
    auto* main = static_cast<ui::MemoryForm*>(app.openMainWindow());
    main->click(layouts::kMenuEffect);
    main->click(layouts::kMenuUpdate);
    main->click(layouts::kMenuUpdate);
    EXPECT_EQ(effect, 1);
    EXPECT_EQ(update, 2);
}

TEST_F(AppTest, AboutOpensOnceModelessAndComesForwardOnTheSecondChoice) {
    auto* main = static_cast<ui::MemoryForm*>(app.openMainWindow());
    main->click(layouts::kMenuAbout);
    ui::MemoryForm* about = t.windows.find("about");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->visible(""));
    EXPECT_EQ(about->text(""), "关于软件");
    main->click(layouts::kMenuAbout);
    EXPECT_EQ(t.windows.forms.size(), 3u);   // splash, main, one about
    EXPECT_EQ(about->frontCount, 1);
    // The main window keeps working meanwhile.
    main->setText("编辑框1", "h");
    main->click("按钮1");
    EXPECT_EQ(t.runner.calls.size(), 1u);
    // Links open their targets; after a close the next choice opens anew.
    about->click("超级链接框1");
    EXPECT_EQ(t.shell.opened, (std::vector<std::string>{"http://www.korvan.example"}));
    about->close();
    main->click(layouts::kMenuAbout);
    EXPECT_EQ(t.windows.forms.size(), 4u);
}

TEST_F(AppTest, DnsTestTakesTheSelectedAdaptersServersOpensOnceAndGoesWithTheHiddenMainWindow) {
    unsetenv("KORVAN_DNS_SERVERS");
    const std::string entry = std::string(adapter::kClassKey) + "0000";
    t.registry.put(entry + "\\Linkage", "UpperBind", platform::RegistryType::MultiString, std::string("Tcpip\0\0", 7));
    t.registry.putText(entry + "\\Ndi\\Interfaces", "LowerRange", "ethernet");
    t.registry.putText(entry, "DriverDesc", "A");
    t.registry.putText(entry, "NetCfgInstanceId", "{A}");
    const std::string key = std::string(adapter::kInterfacesKey) + "{A}";
    t.registry.putText(key, "NameServer", ",");
    t.registry.putText(key, "DhcpNameServer", "10.0.0.53 10.0.0.54");
    auto* main = static_cast<ui::MemoryForm*>(app.openMainWindow());
    main->click(layouts::kMenuDns);
    ui::MemoryForm* dnsWindow = t.windows.find("dns");
    ASSERT_NE(dnsWindow, nullptr);
    EXPECT_TRUE(dnsWindow->visible(""));
    ASSERT_EQ(dnsWindow->itemCount("结果_列表"), 2 + 8 + 10);
    EXPECT_EQ(dnsWindow->itemText("结果_列表", 0, 0) + dnsWindow->itemText("结果_列表", 0, 1), "当前首选10.0.0.53");
    EXPECT_EQ(dnsWindow->itemText("结果_列表", 1, 0) + dnsWindow->itemText("结果_列表", 1, 1), "当前备用10.0.0.54");
    EXPECT_EQ(dnsWindow->itemText("结果_列表", 2, 0), "Google");
    // Chosen again: to the front, no new window and no registry read.
    const size_t forms = t.windows.forms.size(), reads = t.registry.opened.size();
    main->click(layouts::kMenuDns);
    EXPECT_EQ(t.windows.forms.size(), forms);
    EXPECT_EQ(t.registry.opened.size(), reads);
    EXPECT_EQ(dnsWindow->frontCount, 1);
    // Hidden by the update: the window's next look closes it.
    main->setVisible("", false);
    dnsWindow->fire("状态_时钟", ui::Event::Tick, 1);
    EXPECT_TRUE(dnsWindow->closed);
}

TEST(Layouts, NamesAreUniqueAndParentsExist) {
    for (const ui::Layout* l : layouts::all()) {
        std::set<std::string_view> names;
        for (const ui::Unit& u : l->units) {
            EXPECT_TRUE(names.insert(u.name).second) << l->name << ": duplicate " << u.name;
            if (!u.parent.empty()) {
                EXPECT_NE(ui::findUnit(*l, u.parent), nullptr) << u.name;
            }
        }
    }
}

TEST(Layouts, RunnerHelpTextHasItsSixLines) {
    const std::string help(layouts::kRunnerHelp);
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = help.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(help.substr(from, at - from));
    lines.push_back(help.substr(from));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2].substr(0, lines[2].find("//")), "md wwwroot..\\" + std::string(9, ' '));
    EXPECT_EQ(lines[3].substr(0, lines[3].find("//")), "rd wwwroot..\\ /s /q" + std::string(3, ' '));
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(ui::findUnit(layouts::mainWindow(), "编辑框2")->text, layouts::kRunnerHelp);
}

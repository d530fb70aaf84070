#include <gtest/gtest.h>

#include "fakes.h"
#include "resources/layouts.h"
#include "tools/launchers.h"

using platform::WindowMode;

namespace {

struct Launchers : ::testing::Test {
    ui::MemoryForm form{layouts::mainWindow()};
    RecordingRunner runner;
    void SetUp() override { tools::bindLaunchers(form, runner); }
};

}  // namespace

TEST_F(Launchers, HostToolsBuildTheirCommandLinesAndDoNotWait) {
    form.setText("编辑框1", "example.com");
    form.click("按钮1");
    form.click("按钮2");
    form.click("按钮6");
    ASSERT_EQ(runner.calls.size(), 3u);
    EXPECT_EQ(runner.calls[0].commandLine, "cmd /k ping example.com -t");
    EXPECT_EQ(runner.calls[1].commandLine, "cmd /k tracert example.com -d");
    EXPECT_EQ(runner.calls[2].commandLine, "mstsc /v:example.com");
    for (auto& c : runner.calls) {
        EXPECT_FALSE(c.options.wait);
        EXPECT_EQ(c.options.mode, WindowMode::Normal);
        // Inheriting the program's current directory.
        EXPECT_FALSE(c.options.startInSystemFolder);
    }
    // Each started by its own program of the system folder.
    EXPECT_EQ(runner.calls[0].options.program, "cmd.exe");
    EXPECT_EQ(runner.calls[1].options.program, "cmd.exe");
    EXPECT_EQ(runner.calls[2].options.program, "mstsc.exe");
    EXPECT_EQ(form.text("状态标签"), "");
}

TEST_F(Launchers, EmptyHostShowsThePromptAndStartsNothing) {
    form.setText("编辑框1", "");
    form.click("按钮1");
    EXPECT_EQ(form.text("状态标签"), "提示：请输入正确的域名或IP地址！");
    form.setText("状态标签", "");
    form.click("按钮2");
    EXPECT_EQ(form.text("状态标签"), "提示：请输入正确的域名或IP地址！");
    form.click("按钮6");
    EXPECT_EQ(form.text("状态标签"), "提示：请输入正确的域名或IP地址");
    EXPECT_TRUE(runner.calls.empty());
    // A later launch leaves the earlier prompt standing.
    form.setText("编辑框1", "h");
    form.click("按钮1");
    EXPECT_EQ(form.text("状态标签"), "提示：请输入正确的域名或IP地址");
}

TEST_F(Launchers, UntouchedHintIsTakenAsTheHost) {
    form.click("按钮1");
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].commandLine, "cmd /k ping 请不要输入http:// -t");
}

TEST_F(Launchers, DnsFlushIsHiddenAndAlwaysReported) {
    form.setText("编辑框1", "");
    runner.result = {false, false, 0};
    form.click("按钮3");
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].commandLine, "cmd /c ipconfig /flushdns");
    EXPECT_EQ(runner.calls[0].options.mode, WindowMode::Hidden);
    EXPECT_FALSE(runner.calls[0].options.wait);
    EXPECT_EQ(runner.calls[0].options.program, "cmd.exe");
    EXPECT_FALSE(runner.calls[0].options.startInSystemFolder);
    EXPECT_EQ(form.text("状态标签"), "提示：DNS缓存已经清除！");
}

TEST_F(Launchers, TwoClicksStartTwoConsoles) {
    form.setText("编辑框1", "h");
    form.click("按钮1");
    form.click("按钮1");
    EXPECT_EQ(runner.calls.size(), 2u);
}

TEST_F(Launchers, HostBoxFilterAndClickToClear) {
    form.fire("编辑框1", ui::Event::MouseDown);
    EXPECT_EQ(form.text("编辑框1"), "");
    form.type("编辑框1", "my-host.example.com:80/ x");
    EXPECT_EQ(form.text("编辑框1"), "myhost.example.com80x");
    form.fire("编辑框1", ui::Event::Char, 8);   // Backspace passes
    EXPECT_EQ(form.text("编辑框1"), "myhost.example.com80");
    EXPECT_FALSE(form.fire("编辑框1", ui::Event::Char, 22));   // Ctrl+V as a character
    EXPECT_FALSE(form.fire("编辑框1", ui::Event::Char, 0x4E2D));  // a Chinese character
    form.fire("编辑框1", ui::Event::MouseDown);
    EXPECT_EQ(form.text("编辑框1"), "");
}

TEST_F(Launchers, PastedTextPassesTheSameFilter) {
    form.setText("编辑框1", "");
    form.fire("编辑框1", ui::Event::Paste, 0, -1, "a.com & calc | x\r\n\b中");
    EXPECT_EQ(form.text("编辑框1"), "a.comcalcx");
    form.click("按钮1");
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0].commandLine, "cmd /k ping a.comcalcx -t");
}

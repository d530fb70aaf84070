// The keyboard of the real windows, keys handed to the message loop as the
// system would: Tab through the main window in reading order and round
// again, the options one stop whose arrows choose a preset and stay among
// the presets, a text box entered by Tab selected, the console box let go
// by Tab; Enter and Esc in the question window, Esc closing the about
// window and doing nothing in the main one; the default button following
// the focus.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter/confirm_window.h"
#include "adapter/panel.h"
#include "platform/win32/registry_win32.h"
#include "resources/layouts.h"
#include "win_helpers.h"

namespace {

struct Clock : platform::Clock {
    std::int64_t tickCount() override { return static_cast<std::int64_t>(GetTickCount64()); }
};

struct NoDialogs : platform::Dialogs {
    platform::Answer messageBox(const platform::MessageBoxSpec&) override { return platform::Answer::Ok; }
};

// A key pressed where the focus is, through the loop's own dispatch.
void key(win32::Win32Windows& w, WPARAM vk) {
    HWND to = GetFocus();
    MSG m{to, WM_KEYDOWN, vk, 1};
    w.dispatch(m);
    MSG up{GetFocus(), WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001)};
    w.dispatch(up);
    w.pump();
}

// The unit that holds the focus (an IP field for its inner edits).
std::string focused(const win32::Win32Form& f) {
    for (HWND h = GetFocus(); h && h != f.hwnd(); h = GetParent(h))
        for (const ui::Unit& u : layouts::mainWindow().units)
            if (f.unitHwnd(u.name) == h) return std::string(u.name);
    return "?";
}

bool isDefault(HWND b) { return (GetWindowLongW(b, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON; }

struct MainKeys : ::testing::Test {
    win32::Win32Windows windows;
    win32::Win32Form* form = nullptr;
    win32::Win32Registry registry;
    win32::Win32Runner runner;
    NoDialogs dialogs;
    adapter::AdapterLists lists;
    void SetUp() override {
        form = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
        ASSERT_TRUE(form->alive());
        adapter::bindAdapterPanel(*form, lists, {registry, runner, dialogs});
        // The start-up width: the whois panel lies beyond the edge.
        form->setRect("", {100, 50, 563, 543});
        form->setVisible("", true);
        form->focus("编辑框1");
        windows.pump();
    }
    std::vector<std::string> tabRound(size_t most) {
        std::vector<std::string> seen{focused(*form)};
        for (size_t i = 0; i < most; ++i) {
            key(windows, VK_TAB);
            seen.push_back(focused(*form));
            if (seen.back() == seen.front()) break;
        }
        return seen;
    }
};

}  // namespace

TEST_F(MainKeys, TabGoesRoundInReadingOrderAndTheOptionsAreOneStop) {
    const std::vector<std::string> expected = {
        "编辑框1", "按钮1", "按钮2", "按钮6", "按钮3", "地址编辑框", "端口编辑框", "用户编辑框", "密码编辑框",
        "登录按钮", "保存选择框", "按钮4", "计算机名_编辑框", "IP编辑框1", "IP编辑框2", "IP编辑框3", "IP编辑框4",
        "IP编辑框5", "单选框1", "修改_按钮", "刷新_按钮", "超级按钮1", "超级按钮2", "超级按钮3", "编辑框2", "编辑框1"};
    const std::string console = form->text("编辑框2");
    EXPECT_EQ(tabRound(40), expected);
    // Tab let go of the console box and typed nothing into it; a text box
    // entered by Tab has its text selected.
    EXPECT_EQ(form->text("编辑框2"), console);
    form->focus("地址编辑框");
    key(windows, VK_TAB);
    DWORD from = 9, to = 0;
    SendMessageW(form->unitHwnd("端口编辑框"), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 2u);   // "21"

    // The whois panel in view: its box and button come after the console.
    form->setRect("", {100, 50, 910, 543});
    form->focus("编辑框2");
    key(windows, VK_TAB);
    EXPECT_EQ(focused(*form), "编辑框6");
    key(windows, VK_TAB);
    EXPECT_EQ(focused(*form), "按钮5");
}

TEST_F(MainKeys, ArrowsChooseAPresetAsAClickDoesAndStayAmongThePresets) {
    form->focus("IP编辑框5");
    key(windows, VK_TAB);
    ASSERT_EQ(focused(*form), "单选框1");
    key(windows, VK_DOWN);
    EXPECT_EQ(focused(*form), "单选框2");
    EXPECT_TRUE(form->checked("单选框2"));
    EXPECT_EQ(form->text("IP编辑框4"), "61.139.2.69");
    EXPECT_EQ(form->text("IP编辑框5"), "202.98.96.68");
    EXPECT_FALSE(form->enabled("IP编辑框4"));
    std::vector<std::string> seen;
    for (int i = 0; i < 4; ++i) {
        key(windows, VK_DOWN);
        seen.push_back(focused(*form));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"单选框3", "单选框4", "单选框1", "单选框2"}));
    key(windows, VK_UP);
    key(windows, VK_UP);
    EXPECT_EQ(focused(*form), "单选框4");
    EXPECT_EQ(form->text("IP编辑框4"), "211.98.2.4");
    // Tab leaves the group and comes back onto the chosen option, past the
    // two DNS fields the preset locked.
    key(windows, VK_TAB);
    EXPECT_EQ(focused(*form), "修改_按钮");
    form->focus("IP编辑框3");
    key(windows, VK_TAB);
    EXPECT_EQ(focused(*form), "单选框4");

    // Esc does nothing in the main window.
    key(windows, VK_ESCAPE);
    EXPECT_TRUE(form->alive());
}

TEST(QuestionKeys, EnterKeepsEscUndoesAndTheDefaultFollowsTheFocus) {
    win32::Win32Windows windows;
    Clock clock;
    auto answer = [&](WPARAM vk, bool focusUndo) {
        auto* f = static_cast<win32::Win32Form*>(windows.create(layouts::confirmWindow()));
        adapter::ConfirmWindow question(*f, clock, "IP地址修改成功！", 60);
        f->setVisible("", true);
        windows.pump();
        HWND keep = f->unitHwnd(adapter::kKeepButton), undo = f->unitHwnd(adapter::kUndoButton);
        EXPECT_TRUE(isDefault(keep));
        EXPECT_FALSE(isDefault(undo));
        if (focusUndo) {
            // Enter on the focused button presses it: it is drawn as the default.
            f->focus(adapter::kUndoButton);
            EXPECT_TRUE(isDefault(undo));
            EXPECT_FALSE(isDefault(keep));
        }
        key(windows, vk);
        EXPECT_FALSE(f->alive());
        return question.result();
    };
    EXPECT_EQ(answer(VK_RETURN, false), adapter::ConfirmResult::Keep);
    EXPECT_EQ(answer(VK_ESCAPE, false), adapter::ConfirmResult::Undo);
    EXPECT_EQ(answer(VK_RETURN, true), adapter::ConfirmResult::Undo);
}

TEST(AboutKeys, EscClosesTheAboutWindow) {
    win32::Win32Windows windows;
    auto* about = static_cast<win32::Win32Form*>(windows.create(layouts::about()));
    about->setVisible("", true);
    windows.pump();
    SetFocus(about->hwnd());
    key(windows, VK_ESCAPE);
    EXPECT_FALSE(about->alive());
}

TEST(ScopedEnter, EnterInAnIpFieldPressesItsButtonElsewhereTheDefault) {
    static constexpr ui::Unit units[] = {
        {"标签1", ui::Kind::Label, "", 8, 8, 60, 20, "服务器："},
        {"地址框", ui::Kind::IpAddress, "", 70, 8, 150, 20},
        {"添加", ui::Kind::Button, "", 230, 8, 60, 22, "添加"},
        {"名称框", ui::Kind::Edit, "", 8, 40, 150, 20},
        {"开始", ui::Kind::Button, "", 230, 40, 60, 22, "开始"},
    };
    static constexpr ui::EnterKey scoped[] = {{"地址框", "添加"}};
    static constexpr ui::Layout layout{.name = "scoped", .title = "测试", .width = 320, .height = 120, .units = units,
                                       .keys = {.defaultButton = "开始", .escapeCloses = true, .enterKeys = scoped}};
    win32::Win32Windows windows;
    auto* f = static_cast<win32::Win32Form*>(windows.create(layout));
    std::vector<std::string> pressed;
    for (const char* b : {"添加", "开始"}) f->on(b, ui::Event::Click, [&, b](ui::EventArgs&) { pressed.push_back(b); });
    f->setVisible("", true);
    f->focus("地址框");
    windows.pump();
    EXPECT_TRUE(isDefault(f->unitHwnd("添加")));
    key(windows, VK_RETURN);
    f->focus("名称框");
    EXPECT_TRUE(isDefault(f->unitHwnd("开始")));
    EXPECT_FALSE(isDefault(f->unitHwnd("添加")));
    key(windows, VK_RETURN);
    EXPECT_EQ(pressed, (std::vector<std::string>{"添加", "开始"}));
    // A default that is disabled is not pressed.
    f->setEnabled("开始", false);
    EXPECT_FALSE(isDefault(f->unitHwnd("开始")));
    key(windows, VK_RETURN);
    EXPECT_EQ(pressed.size(), 2u);
    key(windows, VK_ESCAPE);
    EXPECT_FALSE(f->alive());
}

// The remote-safe apply in the panel: the question after the restart, the
// answer reaching whoever holds the rights, the undo, and the texts from
// their end.
#include <gtest/gtest.h>

#include "adapter_panel_fakes.h"

namespace {
struct AdapterRemote : AdapterPanel {};
}  // namespace

// --- the remote-safe apply ---

namespace {

// A main window whose apply goes through an elevated instance, in a
// session that may be remote, with the question built beside it.
struct RemotePanel {
    AdapterPanel& t;
    FakeElevation elevation;
    FakeSession session;
    TestClock clock;
    ui::MemoryWindows windows;
    FakeTasks tasks;
    ui::MemoryForm window{layouts::mainWindow()};
    adapter::AdapterLists lists;
    explicit RemotePanel(AdapterPanel& test) : t(test) {
        t.twoAdapters();
        adapter::PanelServices services{t.reg, t.runner, t.dialogs, &elevation, nullptr, &tasks};
        services.session = &session;
        services.windows = &windows;
        services.clock = &clock;
        adapter::bindAdapterPanel(window, lists, services);
        elevation.form = &window;
        adapter::刷新网卡列表(window, lists, t.reg);   // B: 192.168.1.10 / 255.255.255.0 / 192.168.1.1
    }
    void apply(std::string_view ip, std::string_view dns) {
        window.setText("IP编辑框1", ip);
        window.setText("IP编辑框4", dns);
        window.click("修改_按钮");
    }
    ui::MemoryForm* question() { return windows.find("confirm"); }
    bool asking() { return question() && !question()->closed; }
};

}  // namespace

TEST_F(AdapterRemote, RemoteAddressChangesAskAndEverythingElseIsThePlainApply) {
    RemotePanel p(*this);
    const Strings plain{"--apply-adapter", "{B}", "10.0.0.9", "255.255.255.0", "192.168.1.1", "8.8.8.8", ""};
    // Console session, or only DNS changed in a remote one: the plain
    // arguments, the plain texts, no question, no events.
    p.session.isRemote = false;
    p.apply("10.0.0.9", "8.8.8.8");
    p.session.isRemote = true;
    p.elevation.steps = {1, 2, 3};
    p.elevation.restartCode = 0;
    p.elevation.play();
    p.apply("192.168.1.10", "9.9.9.9");
    p.elevation.play();
    ASSERT_EQ(p.elevation.runs.size(), 2u);
    EXPECT_EQ(p.elevation.runs[0], plain);
    EXPECT_EQ(p.elevation.runs[1][2], "192.168.1.10");
    EXPECT_EQ(p.elevation.runs[1].size(), 7u);
    EXPECT_EQ(p.elevation.statuses, (Strings{"正在禁用网络适配器...", "正在启用网络适配器...", "正在启用网络适配器...",
                                             "正在禁用网络适配器...", "正在启用网络适配器...", "正在启用网络适配器..."}))
        << "a confirming step from an apply that does not ask is ignored";
    EXPECT_EQ(p.window.text("状态_标签"), "IP地址修改成功！");
    EXPECT_EQ(p.question(), nullptr);
    EXPECT_EQ(p.session.made, 0);
    EXPECT_EQ(p.window.text("IP编辑框4"), "9.9.9.9") << "the plain apply leaves the fields alone";

    // Remote and the address changes: the instance is told to wait for the
    // answer on fresh events; after its restart the question shows, first
    // line the restart's text. "保留设置" sets .keep; the last text and the
    // fields come from the instance's end and the registry.
    p.elevation.statuses.clear();
    p.apply("10.0.0.9", "8.8.8.8");
    Strings asking = plain;
    for (const char* a : {"--confirm-within", "120", "--answer", "answer-1"}) asking.push_back(a);
    EXPECT_EQ(p.elevation.runs.back(), asking);
    p.elevation.restartCode = adapter::kExitRestartFailed;
    p.elevation.report({1, 2, 3});
    ASSERT_TRUE(p.asking());
    EXPECT_EQ(p.question()->text("结果_标签"), "IP地址已写入，但重启网卡失败！");
    EXPECT_EQ(p.window.text("状态_标签"), "IP地址已写入，但重启网卡失败！");
    EXPECT_FALSE(p.window.enabled(""));
    p.question()->click("保留_按钮");
    EXPECT_EQ(p.session.set, Strings{"keep"});
    reg.put(interfaceKey("{B}"), "IPAddress", RegistryType::MultiString, "10.0.0.77\0\0"s);
    p.elevation.end(adapter::kExitRestartFailed);
    EXPECT_EQ(p.window.text("状态_标签"), "IP地址已写入，但重启网卡失败！");
    EXPECT_EQ(p.window.text("IP编辑框1"), "10.0.0.77") << "the fields show what the registry holds";
    EXPECT_TRUE(p.window.enabled(""));
    EXPECT_TRUE(p.window.enabled("修改_按钮"));

    // No events to be had: nothing is started, nothing written.
    p.session.canMake = false;
    p.apply("10.0.0.8", "8.8.8.8");
    EXPECT_EQ(p.elevation.runs.size(), 3u);
    EXPECT_EQ(p.window.text("状态_标签"), "IP地址修改失败！");
    EXPECT_TRUE(reg.writes.empty());
}

TEST_F(AdapterRemote, RemoteUndoByButtonTimeOrCloseAndTheTextFromTheInstancesEnd) {
    struct Case {
        std::string name;
        std::function<void(RemotePanel&)> act;
        std::optional<int> code;
        std::string_view text;
    };
    const Case cases[] = {
        {"button", [](RemotePanel& p) { p.question()->click("还原_按钮"); }, adapter::kExitUndone, "已还原原来的网络设置"},
        {"time",
         [](RemotePanel& p) {
             p.clock.now += 119999;
             p.question()->fire("倒计时_时钟", ui::Event::Tick, 1);
             EXPECT_TRUE(p.session.set.empty());
             p.clock.now += 1;
             p.question()->fire("倒计时_时钟", ui::Event::Tick, 1);
         },
         adapter::kExitUndoFailed, "还原原来的网络设置失败！"},
        {"title bar", [](RemotePanel& p) { p.question()->close(); }, adapter::kExitUndone, "已还原原来的网络设置"},
        {"unreadable end", [](RemotePanel& p) { p.question()->click("还原_按钮"); }, std::nullopt, "还原原来的网络设置失败！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemotePanel p(*this);
        p.apply("10.0.0.9", "8.8.8.8");
        p.elevation.report({1, 2, 3});
        ASSERT_TRUE(p.asking());
        c.act(p);
        EXPECT_EQ(p.session.set, Strings{"undo"});
        EXPECT_FALSE(p.asking());
        p.elevation.statuses.clear();
        p.elevation.report({4, 5});
        EXPECT_EQ(p.elevation.statuses, (Strings{"正在禁用网络适配器...", "正在启用网络适配器..."}));
        p.elevation.end(c.code);
        EXPECT_EQ(p.window.text("状态_标签"), c.text);
        EXPECT_EQ(p.window.text("IP编辑框1"), "192.168.1.10");
        EXPECT_TRUE(p.window.enabled("修改_按钮"));
    }

    // "保留设置" that crossed the instance's time: the instance undid, and
    // so the text says.
    RemotePanel late(*this);
    late.apply("10.0.0.9", "8.8.8.8");
    late.elevation.report({1, 2, 3});
    late.question()->click("保留_按钮");
    late.elevation.end(adapter::kExitUndone);
    EXPECT_EQ(late.window.text("状态_标签"), "已还原原来的网络设置");

    // A close while the question is open: it is answered as closed (undo),
    // the close waits for the instance's end, held past the question's time.
    RemotePanel closing(*this);
    closing.apply("10.0.0.9", "8.8.8.8");
    closing.elevation.report({1, 2, 3});
    closing.window.close();
    EXPECT_FALSE(closing.window.closed);
    EXPECT_EQ(closing.session.set, Strings{"undo"});
    EXPECT_FALSE(closing.asking());
    ASSERT_EQ(closing.tasks.timers.size(), 1u);
    EXPECT_EQ(closing.tasks.timers[0].first,
              adapter::kCloseHoldMs + adapter::confirmHoldMs(120, adapter::kRestartTimeoutMs));
    closing.elevation.report({4, 5});
    closing.elevation.end(adapter::kExitUndone);
    EXPECT_TRUE(closing.window.closed);

    // A close before the restart has ended: no question, the undo at once.
    RemotePanel early(*this);
    early.apply("10.0.0.9", "8.8.8.8");
    early.elevation.report({1});
    early.window.close();
    early.elevation.report({2, 3});
    EXPECT_EQ(early.question(), nullptr);
    EXPECT_EQ(early.session.set, Strings{"undo"});
}

TEST_F(AdapterRemote, RemoteInProcessTheWorkerWaitsForTheAnswerAndUndoesWithoutTheWindow) {
    twoAdapters();
    const std::string key = interfaceKey("{B}");
    const auto before = reg.keys;
    RecordingRunner commands;   // never touches the window: the worker calls it
    FakeSession session;
    TestClock clock;
    ui::MemoryWindows windows;
    ui::MemoryForm window{layouts::mainWindow()};
    adapter::AdapterLists own;
    ThreadTasks tasks;   // last: its threads are joined first
    adapter::PanelServices services{reg, commands, dialogs, nullptr, &devices, &tasks};
    services.session = &session;
    services.windows = &windows;
    services.clock = &clock;
    services.confirmSeconds = 0;   // the worker's own wait: the grace alone
    adapter::bindAdapterPanel(window, own, services);
    adapter::刷新网卡列表(window, own, reg);
    auto ended = [&] { return window.enabled("修改_按钮"); };

    // The window's thread is stuck: the worker undoes at its own time.
    window.setText("IP编辑框1", "10.0.0.9");
    window.click("修改_按钮");
    tasks.join();
    EXPECT_EQ(reg.keys, before) << "written back byte for byte";
    EXPECT_EQ(commands.calls.size(), 4u) << "restarted, then restarted again";
    ASSERT_TRUE(tasks.runUntil(ended));
    EXPECT_EQ(window.text("状态_标签"), "已还原原来的网络设置");
    EXPECT_EQ(window.text("IP编辑框1"), "192.168.1.10");
    EXPECT_TRUE(session.set.empty()) << "no named events in this process";

    // With time to answer: "保留设置" keeps, "立即还原" undoes.
    adapter::PanelServices answering = services;
    answering.confirmSeconds = 60;
    ui::MemoryForm second{layouts::mainWindow()};
    adapter::AdapterLists secondLists;
    adapter::bindAdapterPanel(second, secondLists, answering);
    adapter::刷新网卡列表(second, secondLists, reg);
    for (const char* button : {"保留_按钮", "还原_按钮"}) {
        SCOPED_TRACE(button);
        second.setText("IP编辑框1", "10.0.0.9");
        second.click("修改_按钮");
        ASSERT_TRUE(tasks.runUntil([&] { auto* q = windows.find("confirm"); return q && !q->closed; }));
        EXPECT_EQ(reg.get(key, "IPAddress")->data, "10.0.0.9\0\0"s);
        windows.find("confirm")->click(button);
        ASSERT_TRUE(tasks.runUntil([&] { return second.enabled("修改_按钮"); }));
        const bool kept = std::string_view(button) == "保留_按钮";
        EXPECT_EQ(second.text("状态_标签"), kept ? "IP地址修改成功！" : "已还原原来的网络设置");
        EXPECT_EQ(second.text("IP编辑框1"), kept ? "10.0.0.9" : "192.168.1.10");
        if (!kept) {
            EXPECT_EQ(reg.keys, before);
        }
        // Back to the old address for the next round.
        if (kept) reg.keys = before;
    }
}

namespace {

// The machine's apply lock: held elsewhere, or taken and counted.
struct FakeLock : platform::ApplyLock {
    bool heldElsewhere = false;
    int holders = 0;
    struct Hold : platform::ApplyLock::Held {
        FakeLock& owner;
        explicit Hold(FakeLock& o) : owner(o) { ++owner.holders; }
        ~Hold() override { --owner.holders; }
    };
    std::unique_ptr<platform::ApplyLock::Held> take() override {
        if (heldElsewhere) return nullptr;
        return std::make_unique<Hold>(*this);
    }
};

}  // namespace

// Two administrators in two sessions: the in-process apply (the tool
// started elevated) used to take no lock and could undo the other's kept
// change.
TEST_F(AdapterRemote, TheInProcessApplyTakesTheLockBeforeItsSnapshotAndHoldsItToTheEnd) {
    twoAdapters();
    FakeLock lock;
    FakeSession session;
    TestClock clock;
    ui::MemoryWindows windows;
    FakeTasks tasks;
    ui::MemoryForm window{layouts::mainWindow()};
    adapter::AdapterLists own;
    adapter::PanelServices services{reg, runner, dialogs, nullptr, &devices, &tasks};
    services.session = &session;
    services.windows = &windows;
    services.clock = &clock;
    services.lock = &lock;
    adapter::bindAdapterPanel(window, own, services);
    runner.form = &window;
    adapter::刷新网卡列表(window, own, reg);
    window.setText("IP编辑框1", "10.0.0.9");

    // Held by another apply: nothing read, nothing written, nothing run.
    lock.heldElsewhere = true;
    reg.opened.clear();
    window.click("修改_按钮");
    EXPECT_EQ(window.text("状态_标签"), "IP地址修改失败！");
    EXPECT_TRUE(reg.opened.empty()) << "the snapshot was read before the lock";
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_TRUE(window.enabled("修改_按钮"));

    // Free: held while the commands run, let go once the apply has ended.
    lock.heldElsewhere = false;
    session.isRemote = false;
    std::vector<int> heldWhileRunning;
    runner.whileRunning = [&] { heldWhileRunning.push_back(lock.holders); };
    window.click("修改_按钮");
    runner.whileRunning = nullptr;
    EXPECT_EQ(heldWhileRunning, (std::vector<int>{1, 1}));
    EXPECT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(lock.holders, 0);
    EXPECT_EQ(window.text("状态_标签"), "IP地址修改成功！");
}

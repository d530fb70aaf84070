// The adapter panel's handlers over the in-memory main window: the list
// and its selection, the fields, the apply with its restart and status
// texts, the DNS presets, and the wiring into the application.
#include <gtest/gtest.h>

#include "adapter_panel_fakes.h"
#include "shell/app.h"

TEST_F(AdapterPanel, RefreshSelectsTheSecondAdapterQuietlyAndShowsIt) {
    twoAdapters();
    adapter::刷新网卡列表(form, lists, reg);
    EXPECT_EQ(items(), (Strings{"Adapter A=1", "Adapter B=2"}));
    EXPECT_EQ(form.selection("网卡信息_组合框"), 1);
    EXPECT_EQ(selectedEvents, 0);
    EXPECT_EQ(fields(), (Strings{"192.168.1.10", "255.255.255.0", "192.168.1.1", "8.8.8.8", ""}));
    EXPECT_EQ(form.text("分组框4"), "Adapter B");
    EXPECT_EQ(reg.openKeys, 0);

    // The user chooses the first one: its settings and its name.
    form.select("网卡信息_组合框", 0);
    EXPECT_EQ(fields(), (Strings{"10.0.0.2", "255.255.255.0", "192.168.1.1", "1.1.1.1", "1.0.0.1"}));
    EXPECT_EQ(form.text("分组框4"), "Adapter A");

    // The entry's value, not its position, names the adapter.
    form.clearItems("网卡信息_组合框");
    form.addItem("网卡信息_组合框", "x", 2, -1);
    form.select("网卡信息_组合框", 0);
    EXPECT_EQ(form.text("IP编辑框1"), "192.168.1.10");
    // A value that names no adapter reads nothing.
    form.clearItems("网卡信息_组合框");
    form.addItem("网卡信息_组合框", "x", 3, -1);
    form.setText("IP编辑框1", "7.7.7.7");
    form.select("网卡信息_组合框", 0);
    EXPECT_EQ(form.text("IP编辑框1"), "7.7.7.7");
    EXPECT_EQ(form.text("分组框4"), "");
    // Both lists keep the panel out of sight.
    EXPECT_FALSE(form.visible("网卡信息_组合框"));
    EXPECT_FALSE(form.visible("标签6"));
}

TEST_F(AdapterPanel, OneAdapterIsSelectedAndNoneLeavesTheFieldsAlone) {
    addAdapter(reg, 0, "Only", "{O}");
    reg.putDword(interfaceKey("{O}"), "EnableDHCP", 1);
    for (auto f : adapter::kFields) form.setText(f, "9.9.9.9");
    adapter::刷新网卡列表(form, lists, reg);
    EXPECT_EQ(form.selection("网卡信息_组合框"), 0);
    EXPECT_EQ(form.text("分组框4"), "Only");
    // DHCP: five blank fields.
    EXPECT_EQ(fields(), Strings(5, ""));

    reg.keys.clear();
    for (auto f : adapter::kFields) form.setText(f, "9.9.9.9");
    adapter::刷新网卡列表(form, lists, reg);
    EXPECT_EQ(form.itemCount("网卡信息_组合框"), 0);
    EXPECT_EQ(form.selection("网卡信息_组合框"), -1);
    EXPECT_EQ(lists.size(), 0);
    EXPECT_EQ(fields(), Strings(5, "9.9.9.9"));
    EXPECT_EQ(form.text("分组框4"), "");
}

TEST_F(AdapterPanel, ADescriptionWiderThanTheFrameIsCutAtACharacter) {
    // The in-memory font: 6 pixels a byte; the frame is 230 wide.
    const std::string fits(206 / 6, 'x');
    // 31 bytes and the ellipsis fit; a byte-wise cut would split 千.
    const std::string wide = std::string(30, 'a') + "千兆网络适配器";
    addAdapter(reg, 0, fits, "{A}");
    addAdapter(reg, 1, wide, "{B}");
    adapter::刷新网卡列表(form, lists, reg);
    EXPECT_EQ(form.text("分组框4"), std::string(30, 'a') + "…");
    // The list keeps the whole description.
    EXPECT_EQ(form.itemText("网卡信息_组合框", 1, 0), wide);
    form.select("网卡信息_组合框", 0);
    EXPECT_EQ(form.text("分组框4"), fits);
}

TEST_F(AdapterPanel, FieldsTakeTheFirstLineOfMultiStringsAndTheFirstAddressOfAText) {
    addAdapter(reg, 0, "A", "{A}");
    addSettings(reg, "{A}", "192.168.1.10\0"s "192.168.1.11", "8.8.8.8 8.8.4.4,1.2.3.4");
    reg.put(interfaceKey("{A}"), "SubnetMask", RegistryType::MultiString, "\0\0"s);
    reg.put(interfaceKey("{A}"), "DefaultGateway", RegistryType::MultiString, "300.1.1.1\0\0"s);
    adapter::刷新网卡列表(form, lists, reg);
    EXPECT_EQ(fields(), (Strings{"192.168.1.10", "", "", "8.8.8.8", "1.2.3.4"}));
}

TEST_F(AdapterPanel, RefreshButtonRebuildsWithoutDuplicatesAndUnlocksTheDnsFields) {
    twoAdapters();
    adapter::刷新网卡列表(form, lists, reg);
    form.click("单选框1");
    EXPECT_FALSE(form.enabled("IP编辑框4"));
    form.click("刷新_按钮");
    form.click("刷新_按钮");
    EXPECT_EQ(items(), (Strings{"Adapter A=1", "Adapter B=2"}));
    EXPECT_EQ(lists.size(), 2);
    EXPECT_TRUE(form.enabled("IP编辑框4"));
    EXPECT_TRUE(form.enabled("IP编辑框5"));
    // The stored servers again; the option stays chosen.
    EXPECT_EQ(form.text("IP编辑框4"), "8.8.8.8");
    EXPECT_EQ(form.text("IP编辑框5"), "");
    EXPECT_TRUE(form.checked("单选框1"));
    EXPECT_EQ(selectedEvents, 0);
}

TEST_F(AdapterPanel, PresetsFillAndLockTheDnsFieldsWithOneOptionChosen) {
    twoAdapters();
    adapter::刷新网卡列表(form, lists, reg);
    EXPECT_EQ(checkedOptions(), 0);
    form.click("单选框1");
    EXPECT_EQ(form.text("IP编辑框4"), "8.8.8.8");
    EXPECT_EQ(form.text("IP编辑框5"), "8.8.4.4");
    EXPECT_FALSE(form.enabled("IP编辑框4"));
    EXPECT_FALSE(form.enabled("IP编辑框5"));
    EXPECT_TRUE(form.enabled("IP编辑框3"));
    form.click("单选框3");
    EXPECT_EQ(form.text("IP编辑框4"), "221.10.251.197");
    EXPECT_EQ(form.text("IP编辑框5"), "119.6.6.6");
    EXPECT_TRUE(form.checked("单选框3"));
    EXPECT_EQ(checkedOptions(), 1);
    const std::pair<const char*, Strings> steps[] = {
        {"单选框2", {"61.139.2.69", "202.98.96.68"}},
        {"单选框4", {"211.98.2.4", "211.98.4.1"}},
        {"单选框1", {"8.8.8.8", "8.8.4.4"}},
    };
    for (auto& [option, dns] : steps) {
        // The handler itself sets the choice, whatever the control did.
        for (auto& p : adapter::kPresets) form.setChecked(p.option, true);
        form.fire(option, ui::Event::Click);
        EXPECT_EQ(checkedOptions(), 1) << option;
        EXPECT_TRUE(form.checked(option)) << option;
        EXPECT_EQ((Strings{form.text("IP编辑框4"), form.text("IP编辑框5")}), dns) << option;
    }
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(runner.calls.empty());

    // A new selection refills the fields; they stay locked and chosen.
    form.select("网卡信息_组合框", 0);
    EXPECT_EQ(form.text("IP编辑框4"), "1.1.1.1");
    EXPECT_FALSE(form.enabled("IP编辑框4"));
    EXPECT_TRUE(form.checked("单选框1"));
}

TEST_F(AdapterPanel, ApplyWithoutAnAdapterOnlyAsks) {
    adapter::刷新网卡列表(form, lists, reg);
    form.setText("状态_标签", "before");
    form.click("修改_按钮");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "请先选择网卡信息");
    EXPECT_EQ(dialogs.shown[0].title, "提示");
    EXPECT_EQ(dialogs.shown[0].icon, platform::Icon::Information);
    EXPECT_EQ(dialogs.shown[0].buttons, platform::Buttons::Ok);
    EXPECT_EQ(form.text("状态_标签"), "before");
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(AdapterPanel, ApplyWritesThenRestartsTheAdapterReportingEachStep) {
    twoAdapters();
    reg.putDword(interfaceKey("{B}"), "EnableDHCP", 1);
    adapter::刷新网卡列表(form, lists, reg);
    const char* typed[] = {"192.168.1.10", "255.255.255.0", "", "8.8.8.8", "8.8.4.4"};
    for (int i = 0; i < 5; ++i) form.setText(adapter::kFields[i], typed[i]);
    form.click("修改_按钮");

    const std::string key = interfaceKey("{B}");
    EXPECT_EQ(reg.get(key, "IPAddress")->data, "192.168.1.10\0\0"s);
    EXPECT_EQ(reg.get(key, "SubnetMask")->data, "255.255.255.0\0\0"s);
    EXPECT_EQ(reg.get(key, "DefaultGateway")->data, "\0\0"s);
    EXPECT_EQ(reg.get(key, "NameServer")->data, "8.8.8.8,8.8.4.4\0"s);
    EXPECT_EQ(reg.get(key, "EnableDHCP")->data, "\1\0\0\0"s);
    EXPECT_EQ(reg.writes.size(), 4u);

    ASSERT_EQ(runner.calls.size(), 2u);
    // B's own device, found by its driver key, by its instance identifier
    // in devcon's exact form: never the hardware identifier it shares.
    EXPECT_EQ(runner.calls[0].commandLine, "cmd /d /c devcon disable \"@PCI\\VEN_10EC&DEV_8139\\B\"");
    EXPECT_EQ(runner.calls[1].commandLine, "cmd /d /c devcon enable \"@PCI\\VEN_10EC&DEV_8139\\B\"");
    EXPECT_EQ(runner.calls[0].status, "正在禁用网络适配器...");
    EXPECT_EQ(runner.calls[1].status, "正在启用网络适配器...");
    for (auto& c : runner.calls) {
        EXPECT_TRUE(c.options.wait);
        EXPECT_EQ(c.options.mode, platform::WindowMode::Hidden);
        EXPECT_EQ(c.options.timeoutMs, 60000u);
        EXPECT_FALSE(c.options.pumpMessages) << "no nested message loop";
        EXPECT_FALSE(c.applyEnabled);
        // The system's cmd, started in the system folder with the system's
        // environment, so that the devcon it finds is one an administrator
        // put there, never one planted in the current directory or on PATH.
        EXPECT_EQ(c.options.program, "cmd.exe");
        EXPECT_TRUE(c.options.startInSystemFolder);
        EXPECT_TRUE(c.options.systemEnvironment);
    }
    EXPECT_TRUE(form.shields.empty()) << "no elevation service: the process has the rights";
    // Each progress text was painted before its command ran.
    EXPECT_EQ(runner.calls[0].repaints, 1u);
    EXPECT_EQ(runner.calls[1].repaints, 2u);
    EXPECT_EQ(form.repaints, (Strings{"状态_标签", "状态_标签"}));
    EXPECT_EQ(form.text("状态_标签"), "IP地址修改成功！");
    EXPECT_TRUE(form.enabled("修改_按钮"));
    // The fields keep what was typed.
    EXPECT_EQ(form.text("IP编辑框3"), "");
}

TEST_F(AdapterPanel, AFailedOrUnfinishedRestartIsNotReportedAsSuccess) {
    twoAdapters();
    adapter::刷新网卡列表(form, lists, reg);
    const std::vector<platform::RunResult> cases[] = {
        {{true, true, 2}, {true, true, 0}},   // disable fails
        {{true, true, 0}, {true, true, 1}},   // enable fails
        {{true, false, 0}, {true, true, 0}},  // disable still running after 60 s
        {{false, false, 0}, {false, false, 0}},   // devcon cannot start at all
    };
    int n = 0;
    for (auto& results : cases) {
        SCOPED_TRACE(n++);
        runner.calls.clear();
        runner.results = results;
        devices.answers = {platform::DeviceChange::Failed};   // nor do the device functions enable it
        form.click("修改_按钮");
        // The enable runs even when the disable failed.
        ASSERT_EQ(runner.calls.size(), 2u);
        EXPECT_EQ(form.text("状态_标签"), "IP地址已写入，但重启网卡失败！");
        EXPECT_TRUE(form.enabled("修改_按钮"));
    }
    runner.results.clear();
    devices.answers.clear();
    form.click("修改_按钮");
    EXPECT_EQ(form.text("状态_标签"), "IP地址修改成功！");
}

TEST_F(AdapterPanel, AFailedWriteStopsBeforeTheRestart) {
    twoAdapters();
    adapter::刷新网卡列表(form, lists, reg);
    reg.failSetOf = "DefaultGateway";
    form.click("修改_按钮");
    EXPECT_EQ(form.text("状态_标签"), "IP地址修改失败！");
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_TRUE(form.enabled("修改_按钮"));
    EXPECT_EQ(reg.writes.size(), 2u);

    // Without the right to write (no administrator), the key does not open.
    reg.failSetOf.clear();
    reg.writes.clear();
    reg.readOnly.insert(MemoryRegistry::fold(interfaceKey("{B}")));
    form.setText("状态_标签", "");
    form.click("修改_按钮");
    EXPECT_EQ(form.text("状态_标签"), "IP地址修改失败！");
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(AdapterPanel, ClicksAndRefreshesWhileDevconRunsDoNotDisturbTheApply) {
    twoAdapters();
    adapter::刷新网卡列表(form, lists, reg);
    form.click("单选框2");
    // While the disable runs the user clicks 修改 again (a queued click) and
    // 刷新, which empties the lists: the second command still names the
    // adapter being changed and no second apply starts.
    runner.whileRunning = [&] {
        runner.whileRunning = nullptr;
        form.fire("修改_按钮", ui::Event::Click);
        reg.keys.erase(MemoryRegistry::fold(entryKey(0) + "\\Linkage"));
        form.click("刷新_按钮");
    };
    form.click("修改_按钮");
    ASSERT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(runner.calls[1].commandLine, "cmd /d /c devcon enable \"@PCI\\VEN_10EC&DEV_8139\\B\"");
    EXPECT_EQ(reg.get(interfaceKey("{B}"), "NameServer")->data, "61.139.2.69,202.98.96.68\0"s);
    EXPECT_EQ(form.text("状态_标签"), "IP地址修改成功！");
    EXPECT_EQ(lists.size(), 0);
}

TEST(AdapterPanelInApp, StartUpFillsThePanelAndItsButtonsWork) {
    TestServices t;
    addAdapter(t.registry, 0, "Wired", "{W}");
    addSettings(t.registry, "{W}", "172.16.0.9", "9.9.9.9,149.112.112.112");
    shell::App app(t.services);
    ui::Form* main = app.openMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(app.state().adapters.网卡描述表, (Strings{"Wired"}));
    EXPECT_EQ(main->text("分组框4"), "Wired");
    EXPECT_EQ(main->text("IP编辑框1"), "172.16.0.9");
    EXPECT_EQ(main->text("IP编辑框5"), "149.112.112.112");

    main->setText("IP编辑框1", "172.16.0.10");
    static_cast<ui::MemoryForm*>(main)->click("修改_按钮");
    EXPECT_EQ(t.registry.get(interfaceKey("{W}"), "IPAddress")->data, "172.16.0.10\0\0"s);
    ASSERT_EQ(t.runner.calls.size(), 2u);
    EXPECT_EQ(t.runner.calls[0].commandLine, "cmd /d /c devcon disable \"@ROOT\\NET\\0000\"");
    EXPECT_EQ(main->text("状态_标签"), "IP地址修改成功！");
}

// --- the close held by an apply, and the end from the update window ---

TEST(AdapterPanelInApp, ACloseOrTheEndOfTheProgramDuringTheApplyWaitsForTheEnable) {
    TestServices t;
    addAdapter(t.registry, 0, "Wired", "{W}");
    addSettings(t.registry, "{W}", "172.16.0.9", "9.9.9.9");
    ObservingRunner runner;
    shell::Services services{t.windows, runner, t.dialogs, t.system, t.files, t.shell, t.registry, t.http, t.transport};
    services.devices = &t.devices;
    shell::App app(services);
    auto* main = static_cast<ui::MemoryForm*>(app.openMainWindow());
    ASSERT_NE(main, nullptr);
    runner.form = main;
    std::vector<std::string> order;
    app.steps().canClose = [&](ui::Form&) { order.push_back("close"); };
    // While the disable runs the user closes the window, and the update
    // window ends the program (through the hook main.cpp gives it).
    int step = 0;
    runner.whileRunning = [&] {
        if (++step == 2) {
            order.push_back("enable ran");
            return;
        }
        main->close();
        EXPECT_FALSE(main->closed) << "the close must wait for the enable";
        main->close();   // a second request is not queued twice
        app.state().apply.whenDone([&] { order.push_back("program ends"); });
        order.push_back("asked");
    };
    main->click("修改_按钮");
    ASSERT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(runner.calls[1].commandLine, "cmd /d /c devcon enable \"@ROOT\\NET\\0000\"");
    EXPECT_TRUE(main->closed) << "the held close goes on after the apply";
    EXPECT_EQ(order, (Strings{"asked", "enable ran", "close", "program ends"}));
    EXPECT_FALSE(app.state().apply.running);

    // With no apply running nothing waits.
    bool ran = false;
    app.state().apply.whenDone([&] { ran = true; });
    EXPECT_TRUE(ran);
}

// --- devcon not installed: the device functions restart the adapter ---

TEST_F(AdapterPanel, WithoutDevconTheDeviceFunctionsDisableThenEnable) {
    twoAdapters();
    ui::MemoryForm window{layouts::mainWindow()};
    adapter::AdapterLists own;
    adapter::bindAdapterPanel(window, own, {reg, runner, dialogs, nullptr, &devices});
    runner.form = &window;
    adapter::刷新网卡列表(window, own, reg);
    using platform::DeviceChange;
    struct Case {
        std::vector<DeviceChange> answers;
        std::string_view text;
    };
    const Case cases[] = {
        {{DeviceChange::Done, DeviceChange::Done}, "IP地址修改成功！"},
        {{DeviceChange::Failed, DeviceChange::Done}, "IP地址已写入，但重启网卡失败！"},   // enable still runs
        {{DeviceChange::Done, DeviceChange::RebootNeeded}, "IP地址已写入，但重启网卡失败！"},
        {{DeviceChange::RebootNeeded, DeviceChange::Done}, "IP地址已写入，但重启网卡失败！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        runner.calls.clear();
        devices.calls.clear();
        devices.answers = c.answers;
        // cmd does not know devcon: 9009.
        runner.results = {{true, true, platform::kCommandNotFound}};
        window.repaints.clear();
        window.click("修改_按钮");
        ASSERT_EQ(runner.calls.size(), 1u) << "devcon is not asked twice";
        // Only B's own device, found by its driver key; never the other port.
        EXPECT_EQ(devices.calls, (Strings{"disable PCI\\VEN_10EC&DEV_8139\\B", "enable PCI\\VEN_10EC&DEV_8139\\B"}));
        EXPECT_EQ(window.repaints.size(), 2u);   // the disabling and enabling texts, each painted
        EXPECT_EQ(window.text("状态_标签"), c.text);
    }
    // No device has B's driver key: none is touched, whatever ids it
    // shares, and no command runs; the values stay written.
    devices.devices.pop_back();
    devices.calls.clear();
    runner.calls.clear();
    window.setText("IP编辑框1", "192.168.1.77");
    window.click("修改_按钮");
    EXPECT_TRUE(devices.calls.empty());
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_EQ(reg.get(interfaceKey("{B}"), "IPAddress")->data, "192.168.1.77\0\0"s);
    EXPECT_EQ(window.text("状态_标签"), "IP地址已写入，但重启网卡失败！");
    // An instance identifier cmd could expand (%) goes on no command line:
    // the device functions restart it.
    devices.devices.push_back({"ROOT\\NET\\%PATH%", "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001"});
    window.click("修改_按钮");
    EXPECT_TRUE(runner.calls.empty());
    EXPECT_EQ(devices.calls, (Strings{"disable ROOT\\NET\\%PATH%", "enable ROOT\\NET\\%PATH%"}));
    EXPECT_EQ(window.text("状态_标签"), "IP地址修改成功！");
    devices.devices = FakeDevices().devices;
    // devcon found: the device functions are not used while its enable
    // succeeds, even when its disable fails.
    devices.calls.clear();
    runner.calls.clear();
    runner.results = {{true, true, 1}, {true, true, 0}};
    window.click("修改_按钮");
    EXPECT_EQ(runner.calls.size(), 2u);
    EXPECT_TRUE(devices.calls.empty());
    EXPECT_EQ(window.text("状态_标签"), "IP地址已写入，但重启网卡失败！");
    // devcon disabled the adapter but its enable did not succeed (cmd could
    // not launch it, it failed, or it ran past its bound): the device
    // functions enable the adapter, so it is never left off.
    const std::vector<platform::RunResult> enableFailures = {
        {true, true, platform::kCommandNotFound}, {true, true, 1}, {true, false, 0}, {false, false, 0}};
    for (const platform::RunResult& enable : enableFailures) {
        for (const DeviceChange answer : {DeviceChange::Done, DeviceChange::Failed}) {
            devices.calls.clear();
            runner.calls.clear();
            devices.answers = {answer};
            runner.results = {{true, true, 0}, enable};
            window.click("修改_按钮");
            EXPECT_EQ(runner.calls.size(), 2u);
            EXPECT_EQ(devices.calls, (Strings{"enable PCI\\VEN_10EC&DEV_8139\\B"}));
            EXPECT_EQ(window.text("状态_标签"),
                      answer == DeviceChange::Done ? "IP地址修改成功！" : "IP地址已写入，但重启网卡失败！");
        }
    }
}

// --- unelevated: the apply runs in an elevated instance of the tool ---

TEST_F(AdapterPanel, UnelevatedTheApplyRunsElevatedAndItsStepsShowInOrder) {
    twoAdapters();
    FakeElevation elevation;
    ui::MemoryForm window{layouts::mainWindow()};
    adapter::AdapterLists own;
    adapter::bindAdapterPanel(window, own, {reg, runner, dialogs, &elevation, nullptr});
    elevation.form = &window;
    EXPECT_EQ(window.shields, (std::set<std::string, std::less<>>{"修改_按钮"}));
    adapter::刷新网卡列表(window, own, reg);
    const char* typed[] = {"192.168.1.10", "255.255.255.0", "", "8.8.8.8", ""};
    for (int i = 0; i < 5; ++i) window.setText(adapter::kFields[i], typed[i]);

    elevation.steps = {1, 2};
    elevation.code = adapter::kExitApplied;
    window.click("修改_按钮");
    ASSERT_EQ(elevation.runs.size(), 1u);
    EXPECT_EQ(elevation.runs[0],
              (Strings{"--apply-adapter", "{B}", "192.168.1.10", "255.255.255.0", "", "8.8.8.8", ""}));
    // The click returned at once; the button stays off while the instance runs.
    EXPECT_FALSE(window.enabled("修改_按钮"));
    window.click("修改_按钮");
    EXPECT_EQ(elevation.runs.size(), 1u) << "no second instance beside the first";
    elevation.play();
    EXPECT_EQ(elevation.statuses, (Strings{"正在禁用网络适配器...", "正在启用网络适配器..."}));
    EXPECT_EQ(window.repaints, (Strings{"状态_标签", "状态_标签"}));
    EXPECT_EQ(window.text("状态_标签"), "IP地址修改成功！");
    EXPECT_TRUE(window.enabled("修改_按钮"));
    EXPECT_FALSE(elevation.alive) << "the ended instance is let go";
    // This process wrote nothing and started nothing.
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(runner.calls.empty());

    struct Case {
        std::vector<int> steps;
        std::optional<int> code;
        bool declined;
        std::string_view text;
    };
    const Case cases[] = {
        {{1, 2}, adapter::kExitRestartFailed, false, "IP地址已写入，但重启网卡失败！"},
        {{}, adapter::kExitNotWritten, false, "IP地址修改失败！"},
        {{}, std::nullopt, true, "IP地址修改失败！"},                      // the prompt declined
        {{1}, std::nullopt, false, "IP地址已写入，但重启网卡失败！"},      // its code unreadable after the write
        {{2, 1, 7}, adapter::kExitApplied, false, "IP地址修改成功！"},     // no step goes back
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        elevation.steps = c.steps;
        elevation.code = c.code;
        elevation.declines = c.declined;
        elevation.statuses.clear();
        window.setText("状态_标签", "");
        window.click("修改_按钮");
        if (!c.declined) elevation.play();
        EXPECT_EQ(window.text("状态_标签"), c.text);
        EXPECT_TRUE(window.enabled("修改_按钮"));
    }
    elevation.declines = false;
    EXPECT_EQ(elevation.statuses, (Strings{"正在启用网络适配器...", "正在启用网络适配器...", "正在启用网络适配器..."}));
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(runner.calls.empty());

    // The program's own file could not be held: the elevated instance might
    // not be this program, so no elevation is offered at all.
    FakeElevation unheld;
    unheld.canAsk = false;
    ui::MemoryForm unheldWindow{layouts::mainWindow()};
    adapter::AdapterLists unheldLists;
    adapter::bindAdapterPanel(unheldWindow, unheldLists, {reg, runner, dialogs, &unheld, &devices});
    EXPECT_TRUE(unheldWindow.shields.empty());
    adapter::刷新网卡列表(unheldWindow, unheldLists, reg);
    unheldWindow.click("修改_按钮");
    EXPECT_TRUE(unheld.runs.empty()) << "no prompt";
    EXPECT_EQ(unheldWindow.text("状态_标签"), "IP地址修改失败！");
    EXPECT_TRUE(unheldWindow.enabled("修改_按钮"));
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(runner.calls.empty());

    // Already elevated: in-process, no shield.
    elevation.isElevated = true;
    ui::MemoryForm elevatedWindow{layouts::mainWindow()};
    adapter::AdapterLists lists2;
    adapter::bindAdapterPanel(elevatedWindow, lists2, {reg, runner, dialogs, &elevation, &devices});
    EXPECT_TRUE(elevatedWindow.shields.empty());
    adapter::刷新网卡列表(elevatedWindow, lists2, reg);
    runner.form = &elevatedWindow;
    elevatedWindow.click("修改_按钮");
    EXPECT_EQ(elevation.runs.size(), 6u);
    EXPECT_EQ(reg.writes.size(), 4u);
    EXPECT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(elevatedWindow.text("状态_标签"), "IP地址修改成功！");
}

// --- the elevated instance's verb ---

TEST_F(AdapterPanel, TheVerbAcceptsOnlyAnAdapterOfTheWalkAndDottedQuads) {
    twoAdapters();
    const adapter::ApplyRequest good{"{A}", {"10.0.0.9", "255.0.0.0", "", "1.1.1.1", ""}};
    const Strings args = adapter::verbArguments(good);
    ASSERT_EQ(args.size(), 7u);
    auto call = adapter::parseVerb(args, reg);
    ASSERT_TRUE(call);
    EXPECT_EQ(call->request.fields, good.fields);
    EXPECT_EQ(call->progressWindow, "");
    // The entry the walk found the adapter in, as the device functions name it.
    EXPECT_EQ(call->driverKey, "{4d36e972-e325-11ce-bfc1-08002be10318}\\0000");
    call = adapter::parseVerb(adapter::verbArguments(good, "1234"), reg);
    ASSERT_TRUE(call);
    EXPECT_EQ(call->progressWindow, "1234");

    auto with = [&](size_t i, std::string v) {
        Strings a = args;
        a[i] = std::move(v);
        return a;
    };
    const Strings refused[] = {
        with(0, "--apply"),                      // another verb
        with(1, "{C}"),                          // no such adapter
        with(1, ""),
        [&] { Strings a = args; a.insert(a.begin() + 2, "PCI\\VEN_8086&DEV_100E"); return a; }(),   // a hardware id
        with(2, "256.0.0.1"), with(2, "1.2.3"), with(2, "1.2.3.4.5"), with(2, "1.2.3.4 "), with(2, " 1.2.3.4"),
        with(3, "1.2.3.4\r\n"), with(4, "+1.2.3.4"), with(5, "1..3.4"), with(6, "0x1.2.3.4"), with(6, "1234.1.1.1"),
        with(2, "8.8.8.8,8.8.4.4"),
        with(2, "010.0.0.1"), with(3, "1.02.3.4"), with(5, "1.2.3.00"), with(6, "00.1.1.1"),   // octal to some readers
        [&] { Strings a = adapter::verbArguments(good, "1"); a.push_back("--progress-window"); a.push_back("2"); return a; }(),
        Strings(args.begin(), args.end() - 1),   // six values
        [&] { Strings a = args; a.push_back("--other"); a.push_back("1"); return a; }(),
        [&] { Strings a = args; a.push_back("--progress-window"); return a; }(),
        [&] { Strings a = args; a.push_back("--progress-window"); a.push_back(""); return a; }(),
        [&] { Strings a = args; a.push_back("--progress-window"); a.push_back("0x12"); return a; }(),
    };
    for (const Strings& a : refused) {
        std::string shown;
        for (auto& x : a) shown += "[" + x + "]";
        EXPECT_FALSE(adapter::parseVerb(a, reg)) << shown;
    }
    EXPECT_TRUE(reg.writes.empty());
    EXPECT_TRUE(adapter::isFieldText("0.0.0.0"));
    EXPECT_TRUE(adapter::isFieldText("255.255.255.255"));
    EXPECT_TRUE(adapter::isFieldText("10.0.100.1"));
    EXPECT_TRUE(adapter::isFieldText(""));
}

TEST_F(AdapterPanel, TheVerbWritesRestartsAndAnswersWithItsExitCode) {
    twoAdapters();
    const adapter::VerbCall request{
        {"{B}", {"10.0.0.9", "", "", "8.8.8.8", "8.8.4.4"}}, "", "{4d36e972-e325-11ce-bfc1-08002be10318}\\0001"};
    std::vector<int> steps;
    auto report = [&](adapter::Step s, int) { steps.push_back(static_cast<int>(s)); };
    const adapter::RestartServices restart{runner, &devices};
    runner.form = &form;
    EXPECT_EQ(adapter::runVerb(request, reg, restart, report), adapter::kExitApplied);
    EXPECT_EQ(reg.get(interfaceKey("{B}"), "IPAddress")->data, "10.0.0.9\0\0"s);
    EXPECT_EQ(reg.get(interfaceKey("{B}"), "NameServer")->data, "8.8.8.8,8.8.4.4\0"s);
    EXPECT_EQ(steps, (std::vector<int>{1, 2}));
    ASSERT_EQ(runner.calls.size(), 2u);
    EXPECT_FALSE(runner.calls[0].options.pumpMessages);   // no window to keep painting

    runner.results = {{true, false, 0}, {true, true, 0}};   // disable past its bound
    EXPECT_EQ(adapter::runVerb(request, reg, restart, report), adapter::kExitRestartFailed);
    EXPECT_EQ(runner.calls.size(), 4u) << "the enable runs all the same";

    reg.failSetOf = "SubnetMask";
    steps.clear();
    EXPECT_EQ(adapter::runVerb(request, reg, restart, report), adapter::kExitNotWritten);
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(runner.calls.size(), 4u);
    EXPECT_TRUE(devices.calls.empty());

    // No devcon in the system folder: the instance restarts the adapter's
    // own device through the device functions, not its sibling.
    reg.failSetOf.clear();
    runner.results = {{true, true, platform::kCommandNotFound}};
    EXPECT_EQ(adapter::runVerb(request, reg, restart, report), adapter::kExitApplied);
    EXPECT_EQ(runner.calls.size(), 5u);
    EXPECT_EQ(devices.calls, (Strings{"disable PCI\\VEN_10EC&DEV_8139\\B", "enable PCI\\VEN_10EC&DEV_8139\\B"}));
}

// --- the apply never waits in a nested loop ---

TEST_F(AdapterPanel, InProcessTheApplyRunsOnAWorkerAndItsResultsComeBackPosted) {
    twoAdapters();
    FakeTasks tasks;
    tasks.queued = true;   // the UI thread sees the posts only when it drains
    ui::MemoryForm window{layouts::mainWindow()};
    adapter::AdapterLists own;
    adapter::PanelServices services{reg, runner, dialogs, nullptr, &devices};
    services.tasks = &tasks;
    adapter::bindAdapterPanel(window, own, services);
    runner.form = &window;
    adapter::刷新网卡列表(window, own, reg);
    window.setText("状态_标签", "before");
    window.click("修改_按钮");
    // The worker wrote and restarted; the window has not been told yet.
    EXPECT_EQ(tasks.started, 1);
    EXPECT_EQ(reg.writes.size(), 4u);
    ASSERT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(runner.calls[0].status, "before") << "the worker never touches the window";
    EXPECT_EQ(window.text("状态_标签"), "before");
    EXPECT_FALSE(window.enabled("修改_按钮"));
    window.click("修改_按钮");
    EXPECT_EQ(tasks.started, 1) << "no second apply while one runs";
    window.close();
    EXPECT_FALSE(window.closed) << "the close waits for the enable";
    EXPECT_TRUE(tasks.timers.empty()) << "no bound for a restart in this process";
    tasks.drain();
    EXPECT_EQ(window.repaints, (Strings{"状态_标签", "状态_标签"}));
    EXPECT_EQ(window.text("状态_标签"), "IP地址修改成功！");
    EXPECT_TRUE(window.enabled("修改_按钮"));
    EXPECT_TRUE(window.closed);
}

TEST(AdapterPanelInApp, TheWindowFollowsTheElevatedInstanceAndHoldsACloseOnlyForItsBound) {
    TestServices t;
    addAdapter(t.registry, 0, "Wired", "{W}");
    FakeElevation elevation;
    t.services.elevation = &elevation;
    shell::App app(t.services);
    auto* main = static_cast<ui::MemoryForm*>(app.openMainWindow());
    ASSERT_NE(main, nullptr);
    int cleaned = 0;
    app.steps().canClose = [&](ui::Form&) { ++cleaned; };

    // The instance ends: the window learns it and lets go of it.
    main->click("修改_按钮");
    EXPECT_FALSE(main->enabled("修改_按钮"));
    main->close();
    EXPECT_FALSE(main->closed);
    ASSERT_EQ(t.tasks.timers.size(), 1u);
    EXPECT_EQ(t.tasks.timers[0].first, adapter::kCloseHoldMs);
    elevation.steps = {1, 2};
    elevation.play();
    EXPECT_EQ(main->text("状态_标签"), "IP地址修改成功！");
    EXPECT_TRUE(main->closed) << "the held close went on once the instance ended";
    EXPECT_EQ(cleaned, 1);
    t.tasks.fire();   // the bound's timer, late: it finds nothing to do
    EXPECT_FALSE(app.state().apply.running);

    // An instance that outlives the bound: the window closes, the instance
    // (which finishes its own enable) is no longer followed.
    TestServices t2;
    addAdapter(t2.registry, 0, "Wired", "{W}");
    FakeElevation slow;
    t2.services.elevation = &slow;
    shell::App app2(t2.services);
    auto* main2 = static_cast<ui::MemoryForm*>(app2.openMainWindow());
    bool programEnded = false;
    main2->click("修改_按钮");
    app2.state().apply.whenDone([&] { programEnded = true; });
    main2->close();
    EXPECT_FALSE(main2->closed);
    EXPECT_TRUE(slow.alive);
    t2.tasks.fire();
    EXPECT_TRUE(main2->closed);
    EXPECT_FALSE(slow.alive);
    EXPECT_TRUE(programEnded);
    EXPECT_FALSE(app2.state().apply.running);
}


// The adapter panel tests' doubles and fixture: a runner that records what
// the panel showed while each command ran, the elevated instance, the
// session, the device functions, and two adapters in the memory registry.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "adapter/apply_verb.h"
#include "adapter/panel.h"
#include "fakes.h"
#include "resources/layouts.h"

using platform::RegistryType;
using namespace std::string_literals;

namespace {

// Records each command with what the panel showed while it ran, and plays
// the command's outcome.
struct ObservingRunner : platform::Runner {
    struct Call {
        std::string commandLine;
        platform::RunOptions options;
        std::string status;
        bool applyEnabled;
        size_t repaints;
    };
    ui::MemoryForm* form = nullptr;
    std::vector<Call> calls;
    std::vector<platform::RunResult> results;   // consumed in order; success when empty
    std::function<void()> whileRunning;
    platform::RunResult run(std::string_view commandLine, const platform::RunOptions& options) override {
        calls.push_back({std::string(commandLine), options, form->text("状态_标签"), form->enabled("修改_按钮"),
                         form->repaints.size()});
        if (whileRunning) whileRunning();
        if (results.empty()) return {true, true, 0};
        auto r = results.front();
        results.erase(results.begin());
        return r;
    }
};

// Plays the elevated instance: records the arguments; play() then reports
// the scripted steps (noting the status each one left) and ends with the
// scripted exit code, as the instance's messages would arrive later.
struct FakeElevation : platform::Elevation {
    bool isElevated = false;
    bool canAsk = true;      // false: the program's own file is not held
    bool declines = false;   // the prompt is declined: nothing starts
    std::vector<std::vector<std::string>> runs;
    std::vector<int> steps;
    std::optional<int> code = 0;
    ui::MemoryForm* form = nullptr;
    std::vector<std::string> statuses;   // 状态_标签 after each step
    platform::ElevatedCallbacks followed;
    bool alive = false;   // the window still follows the instance
    struct Instance : platform::ElevatedInstance {
        FakeElevation& owner;
        explicit Instance(FakeElevation& o) : owner(o) {}
        ~Instance() override { owner.alive = false; }
    };
    bool elevated() override { return isElevated; }
    bool canElevate() override { return canAsk; }
    std::unique_ptr<platform::ElevatedInstance> start(const std::vector<std::string>& args,
                                                      platform::ElevatedCallbacks callbacks) override {
        runs.push_back(args);
        if (declines) return nullptr;
        followed = std::move(callbacks);
        alive = true;
        return std::make_unique<Instance>(*this);
    }
    int restartCode = 0;   // sent along with the confirming step
    void report(const std::vector<int>& some) {
        ASSERT_TRUE(alive);
        const platform::ElevatedCallbacks cb = followed;
        for (int s : some) {
            cb.progress(s, s == 3 ? restartCode : 0);
            if (form) statuses.push_back(form->text("状态_标签"));
        }
    }
    void end(std::optional<int> c) {
        ASSERT_TRUE(alive);
        const platform::ElevatedCallbacks cb = followed;
        cb.ended(c);
    }
    void play() {
        report(steps);
        end(code);
    }
};

// The session: remote or not; the answer events it makes record what the
// window set on them.
struct FakeSession : platform::Session {
    bool isRemote = true;
    bool canMake = true;
    int made = 0;
    std::vector<std::string> set;   // "keep" / "undo", in order
    struct Signal : platform::AnswerSignal {
        FakeSession& owner;
        std::string n;
        Signal(FakeSession& o, std::string name) : owner(o), n(std::move(name)) {}
        const std::string& name() const override { return n; }
        void keep() override { owner.set.push_back("keep"); }
        void undo() override { owner.set.push_back("undo"); }
    };
    bool remote() override { return isRemote; }
    std::unique_ptr<platform::AnswerSignal> answerEvents() override {
        if (!canMake) return nullptr;
        return std::make_unique<Signal>(*this, "answer-" + std::to_string(++made));
    }
};

struct TestClock : platform::Clock {
    std::int64_t now = 1000;
    std::int64_t tickCount() override { return now; }
};

// The device functions: A's device, and two present devices that share
// adapter B's hardware identifier, B's own (its driver key in capitals)
// listed last.
// Records "disable INSTANCE" / "enable INSTANCE", answers in order.
struct FakeDevices : platform::Devices {
    std::vector<platform::NetworkDevice> devices = {
        {"PCI\\VEN_8086&DEV_100E\\A", std::string(adapter::kDriverKeyPrefix) + "0000"},
        {"PCI\\VEN_10EC&DEV_8139\\SECONDPORT", std::string(adapter::kDriverKeyPrefix) + "0005"},
        {"PCI\\VEN_10EC&DEV_8139\\B", "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001"},
    };
    std::vector<std::string> calls;
    std::vector<platform::DeviceChange> answers;   // Done when empty
    std::vector<platform::NetworkDevice> present() override { return devices; }
    platform::DeviceChange setEnabled(std::string_view id, bool enable, unsigned timeoutMs) override {
        calls.push_back(std::string(enable ? "enable " : "disable ") + std::string(id));
        EXPECT_EQ(timeoutMs, adapter::kRestartTimeoutMs);
        if (answers.empty()) return platform::DeviceChange::Done;
        auto a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
};

std::string entryKey(int i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    return std::string(adapter::kClassKey) + name;
}

std::string interfaceKey(std::string_view id) { return std::string(adapter::kInterfacesKey) + std::string(id); }

void addAdapter(MemoryRegistry& reg, int i, std::string_view desc, std::string_view id) {
    const std::string key = entryKey(i);
    reg.put(key + "\\Linkage", "UpperBind", RegistryType::MultiString, "Tcpip\0\0"s);
    reg.putText(key + "\\Ndi\\Interfaces", "LowerRange", "ethernet");
    reg.putText(key, "DriverDesc", desc);
    reg.putText(key, "NetCfgInstanceId", id);
}

void addSettings(MemoryRegistry& reg, std::string_view id, std::string_view ip, std::string_view dns) {
    const std::string key = interfaceKey(id);
    reg.putDword(key, "EnableDHCP", 0);
    reg.put(key, "IPAddress", RegistryType::MultiString, std::string(ip) + "\0\0"s);
    reg.put(key, "SubnetMask", RegistryType::MultiString, "255.255.255.0\0\0"s);
    reg.put(key, "DefaultGateway", RegistryType::MultiString, "192.168.1.1\0\0"s);
    reg.putText(key, "NameServer", dns);
}

struct AdapterPanel : ::testing::Test {
    ui::MemoryForm form{layouts::mainWindow()};
    MemoryRegistry reg;
    ObservingRunner runner;
    ScriptedDialogs dialogs;
    FakeDevices devices;
    adapter::AdapterLists lists;
    int selectedEvents = 0;

    void SetUp() override {
        runner.form = &form;
        adapter::bindAdapterPanel(form, lists, {reg, runner, dialogs, nullptr, &devices});
        form.on("网卡信息_组合框", ui::Event::Selected, [this](ui::EventArgs&) { ++selectedEvents; });
    }
    void twoAdapters() {
        addAdapter(reg, 0, "Adapter A", "{A}");
        addAdapter(reg, 1, "Adapter B", "{B}");
        addSettings(reg, "{A}", "10.0.0.2", "1.1.1.1,1.0.0.1");
        addSettings(reg, "{B}", "192.168.1.10", "8.8.8.8");
    }
    std::vector<std::string> fields() const {
        std::vector<std::string> out;
        for (auto f : adapter::kFields) out.push_back(form.text(f));
        return out;
    }
    std::vector<std::string> items() const {
        std::vector<std::string> out;
        for (int i = 0; i < form.itemCount("网卡信息_组合框"); ++i)
            out.push_back(form.itemText("网卡信息_组合框", i, 0) + "=" +
                          std::to_string(form.itemValue("网卡信息_组合框", i)));
        return out;
    }
    int checkedOptions() const {
        int n = 0;
        for (auto& p : adapter::kPresets) n += form.checked(p.option);
        return n;
    }
};

using Strings = std::vector<std::string>;

}  // namespace

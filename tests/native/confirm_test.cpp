// The remote-safe apply's pieces: the snapshot and its write-back, the
// "does it change the address" question, the verb's options, the
// instance's keep-or-undo and the question window's handlers.
#include <gtest/gtest.h>

#include <deque>

#include "adapter/apply_verb.h"
#include "adapter/confirm.h"
#include "adapter/confirm_window.h"
#include "adapter/settings.h"
#include "memory_registry.h"
#include "resources/layouts.h"
#include "ui/memory_form.h"

using platform::RegistryType;
using namespace std::string_literals;

namespace {

const std::string kId = "{0A1B}";
const std::string kKey = std::string(adapter::kInterfacesKey) + kId;

// An interface key as an administrator may have left it: an address with a
// second one behind it, a mask of an odd type and length, no gateway at all.
void seed(MemoryRegistry& reg) {
    reg.put(kKey, "IPAddress", RegistryType::MultiString, "10.0.0.5\0" "10.0.0.6\0\0"s);
    reg.put(kKey, "SubnetMask", static_cast<RegistryType>(0x4B), "\x01\x02\xFF"s);
    reg.put(kKey, "NameServer", RegistryType::String, "1.1.1.1\0"s);
    reg.putDword(kKey, "EnableDHCP", 0);
}

struct Clock : platform::Clock {
    std::int64_t now = 50000;
    std::int64_t tickCount() override { return now; }
};

struct ScriptedWait : adapter::AnswerWait {
    adapter::Answer answer = adapter::Answer::TimedOut;
    std::vector<unsigned> waits;
    adapter::Answer wait(unsigned ms) override {
        waits.push_back(ms);
        return answer;
    }
};

// The instance's world: the registry with its snapshot taken and the new
// values written, a restart that records its reports.
struct Instance {
    MemoryRegistry reg;
    adapter::InterfaceSnapshot snapshot;
    ScriptedWait answers;
    std::vector<int> steps;
    int restarts = 0;
    bool restartOk = true;
    Instance() {
        seed(reg);
        snapshot = *adapter::takeSnapshot(reg, kId);
        EXPECT_TRUE(adapter::写入网卡设置(reg, kId, "192.168.9.9", "255.255.255.0", "192.168.9.1", "8.8.8.8", ""));
    }
    int run(int restartCode, int seconds = 120) {
        auto report = [this](adapter::Step s) { steps.push_back(static_cast<int>(s)); };
        auto restart = [this](const std::function<void(adapter::Step)>& r) {
            ++restarts;
            r(adapter::Step::Disabling);
            r(adapter::Step::Enabling);
            return restartOk;
        };
        return adapter::confirmOrUndo(snapshot, restartCode, seconds, answers, reg, restart, report);
    }
};

}  // namespace

TEST(ConfirmSnapshot, WriteBackRestoresEveryValueByteForByteAndDeletesWhatWasAbsent) {
    MemoryRegistry reg;
    seed(reg);
    const auto before = reg.keys;
    auto snapshot = adapter::takeSnapshot(reg, kId);
    ASSERT_TRUE(snapshot);
    EXPECT_FALSE(snapshot->values[2].raw);   // DefaultGateway: absent, remembered as such
    EXPECT_EQ(snapshot->values[1].raw->type, 0x4Bu);

    ASSERT_TRUE(adapter::写入网卡设置(reg, kId, "192.168.9.9", "255.255.255.0", "192.168.9.1", "8.8.8.8", ""));
    ASSERT_NE(reg.keys, before);
    EXPECT_TRUE(adapter::restoreSnapshot(reg, *snapshot));
    EXPECT_EQ(reg.keys, before);
    EXPECT_EQ(reg.removed, std::vector<std::string>{"DefaultGateway"});
    EXPECT_EQ(reg.openKeys, 0);

    // A value that fails to go back does not stop the others; the result
    // says so.
    ASSERT_TRUE(adapter::写入网卡设置(reg, kId, "192.168.9.9", "255.255.255.0", "192.168.9.1", "8.8.8.8", ""));
    reg.failSetOf = "SubnetMask";
    EXPECT_FALSE(adapter::restoreSnapshot(reg, *snapshot));
    EXPECT_EQ(reg.get(kKey, "IPAddress")->data, "10.0.0.5\0" "10.0.0.6\0\0"s);
    EXPECT_EQ(reg.get(kKey, "DefaultGateway"), nullptr);

    // No snapshot of what cannot be read back, or of a key that is not there.
    reg.failReadOf = "NameServer";
    EXPECT_FALSE(adapter::takeSnapshot(reg, kId));
    EXPECT_FALSE(adapter::takeSnapshot(reg, "{missing}"));
    EXPECT_FALSE(adapter::takeSnapshot(reg, ""));
    EXPECT_EQ(reg.openKeys, 0);
}

TEST(ConfirmSnapshot, OnlyAnotherAddressMaskOrGatewayCountsAsAChange) {
    MemoryRegistry reg;
    reg.put(kKey, "IPAddress", RegistryType::MultiString, "10.0.0.5\0\0"s);
    reg.put(kKey, "SubnetMask", RegistryType::MultiString, "255.0.0.0\0\0"s);
    reg.put(kKey, "DefaultGateway", RegistryType::MultiString, "10.0.0.1\0\0"s);
    auto same = *adapter::takeSnapshot(reg, kId);
    EXPECT_FALSE(adapter::changesAddress(same, "10.0.0.5", "255.0.0.0", "10.0.0.1"));   // DNS only
    EXPECT_TRUE(adapter::changesAddress(same, "10.0.0.5", "255.0.0.0", "10.0.0.2"));
    EXPECT_TRUE(adapter::changesAddress(same, "10.0.0.5", "255.255.0.0", "10.0.0.1"));
    EXPECT_TRUE(adapter::changesAddress(same, "", "255.0.0.0", "10.0.0.1"));

    // The same text stored as another type, a second address the write
    // would drop, or a missing value: the write changes it.
    reg.put(kKey, "SubnetMask", RegistryType::String, "255.0.0.0\0\0"s);
    EXPECT_TRUE(adapter::changesAddress(*adapter::takeSnapshot(reg, kId), "10.0.0.5", "255.0.0.0", "10.0.0.1"));
    reg.put(kKey, "SubnetMask", RegistryType::MultiString, "255.0.0.0\0\0"s);
    reg.put(kKey, "IPAddress", RegistryType::MultiString, "10.0.0.5\0" "10.0.0.6\0\0"s);
    EXPECT_TRUE(adapter::changesAddress(*adapter::takeSnapshot(reg, kId), "10.0.0.5", "255.0.0.0", "10.0.0.1"));
    reg.put(kKey, "IPAddress", RegistryType::MultiString, "10.0.0.5\0\0"s);
    reg.keys[MemoryRegistry::fold(kKey)].erase("defaultgateway");
    EXPECT_TRUE(adapter::changesAddress(*adapter::takeSnapshot(reg, kId), "10.0.0.5", "255.0.0.0", ""));
}

TEST(ConfirmOptions, AnyOrderEachOnceAndNothingElse) {
    using V = std::vector<std::string>;
    auto parse = [](const V& v) { return adapter::parseVerbOptions(v); };

    auto all = parse({"--answer", "a-Z_09", "--progress-window", "65544", "--confirm-within", "120"});
    ASSERT_TRUE(all);
    EXPECT_EQ(all->answer, "a-Z_09");
    EXPECT_EQ(all->progressWindow, "65544");
    EXPECT_EQ(all->confirmSeconds, 120);
    auto none = parse({});
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->confirmSeconds);
    EXPECT_EQ(none->answer, "");
    EXPECT_EQ(parse({"--confirm-within", "1"})->confirmSeconds, 1);
    EXPECT_EQ(parse({"--confirm-within", "600"})->confirmSeconds, 600);
    EXPECT_TRUE(parse({"--answer", std::string(64, 'x'), "--confirm-within", "2"}));

    const V bad[] = {
        {"--confirm-within"},                                  // no number
        {"--confirm-within", ""},
        {"--confirm-within", "0"},
        {"--confirm-within", "601"},
        {"--confirm-within", "99999999999999999999"},
        {"--confirm-within", "+5"},
        {"--confirm-within", "-5"},
        {"--confirm-within", " 5"},
        {"--confirm-within", "5s"},
        {"--confirm-within", "0x10"},
        {"--confirm-within", "5", "--confirm-within", "5"},    // twice
        {"--answer", "abc"},                                   // no --confirm-within
        {"--confirm-within", "5", "--answer", ""},
        {"--confirm-within", "5", "--answer", std::string(65, 'x')},
        {"--confirm-within", "5", "--answer", "a.b"},
        {"--confirm-within", "5", "--answer", "a\\b"},
        {"--confirm-within", "5", "--answer", "名字"},
        {"--confirm-within", "5", "--answer", "a", "--answer", "a"},
        {"--progress-window", "1", "--progress-window", "1"},
        {"--progress-window", "12a"},
        {"--progress-window", ""},
        {"--confirm-within", "5", "--force", "1"},
        {"--CONFIRM-WITHIN", "5"},
    };
    for (const V& v : bad) {
        std::string shown;
        for (auto& a : v) shown += "[" + a + "]";
        EXPECT_FALSE(parse(v)) << shown;
    }
}

TEST(ConfirmOrUndo, KeepEndsWithTheRestartsCodeAndTouchesNothing) {
    for (int code : {adapter::kExitApplied, adapter::kExitRestartFailed}) {
        Instance in;
        in.answers.answer = adapter::Answer::Keep;
        const auto after = in.reg.keys;
        EXPECT_EQ(in.run(code, 7), code);
        EXPECT_EQ(in.answers.waits, std::vector<unsigned>{7000 + adapter::kAnswerGraceMs});
        EXPECT_EQ(in.steps, std::vector<int>{3});
        EXPECT_EQ(in.restarts, 0);
        EXPECT_EQ(in.reg.keys, after);
    }
    // Nothing was written: nothing to confirm, no wait.
    Instance in;
    EXPECT_EQ(in.run(adapter::kExitNotWritten), adapter::kExitNotWritten);
    EXPECT_TRUE(in.answers.waits.empty());
}

TEST(ConfirmOrUndo, UndoOrNoAnswerWritesBackAndRestartsWithStepsOfItsOwn) {
    for (auto answer : {adapter::Answer::Undo, adapter::Answer::TimedOut}) {
        Instance in;
        in.answers.answer = answer;
        EXPECT_EQ(in.run(adapter::kExitApplied), adapter::kExitUndone);
        EXPECT_EQ(in.answers.waits, std::vector<unsigned>{120000 + adapter::kAnswerGraceMs});
        EXPECT_EQ(in.steps, (std::vector<int>{3, 4, 5}));
        EXPECT_EQ(in.restarts, 1);
        EXPECT_EQ(in.reg.get(kKey, "IPAddress")->data, "10.0.0.5\0" "10.0.0.6\0\0"s);
        EXPECT_EQ(in.reg.get(kKey, "SubnetMask")->data, "\x01\x02\xFF"s);
        EXPECT_EQ(in.reg.get(kKey, "DefaultGateway"), nullptr);
        EXPECT_EQ(in.reg.get(kKey, "NameServer")->data, "1.1.1.1\0"s);
    }
    // A failed write-back still restarts (what did go back takes effect);
    // a failed restart after a good write-back: both read as undo failed.
    Instance failedWrite;
    failedWrite.reg.failSetOf = "NameServer";
    EXPECT_EQ(failedWrite.run(adapter::kExitRestartFailed), adapter::kExitUndoFailed);
    EXPECT_EQ(failedWrite.restarts, 1);
    Instance failedRestart;
    failedRestart.restartOk = false;
    EXPECT_EQ(failedRestart.run(adapter::kExitApplied), adapter::kExitUndoFailed);

    EXPECT_EQ(adapter::stepText(adapter::Step::UndoDisabling), adapter::stepText(adapter::Step::Disabling));
    EXPECT_EQ(adapter::stepText(adapter::Step::UndoEnabling), "正在启用网络适配器...");
    EXPECT_EQ(adapter::stepText(adapter::Step::Confirming), "");
    EXPECT_EQ(adapter::finalText(0), "IP地址修改成功！");
    EXPECT_EQ(adapter::finalText(2), "IP地址已写入，但重启网卡失败！");
    EXPECT_EQ(adapter::finalText(3), "已还原原来的网络设置");
    EXPECT_EQ(adapter::finalText(4), "还原原来的网络设置失败！");
    EXPECT_EQ(adapter::finalText(1), "IP地址修改失败！");
}

TEST(ConfirmWindow, CountsDownByTheClockAndTimesOutAtZero) {
    ui::MemoryForm form(layouts::confirmWindow());
    Clock clock;
    adapter::ConfirmWindow w(form, clock, "IP地址修改成功！", 120);
    EXPECT_EQ(form.text("结果_标签"), "IP地址修改成功！");
    EXPECT_EQ(form.text("提示_标签"), "如果远程连接断开了，请用新地址重新连接，再点击“保留设置”。");
    EXPECT_EQ(form.text("倒计时_标签"), "将在 120 秒后自动还原原来的设置。");
    EXPECT_EQ(form.focused, "保留_按钮");
    EXPECT_GT(form.timerPeriod("倒计时_时钟"), 0);

    clock.now += 999;
    form.fire("倒计时_时钟", ui::Event::Tick, 1);
    EXPECT_EQ(w.remaining(), 120);
    clock.now += 1;
    form.fire("倒计时_时钟", ui::Event::Tick, 1);
    EXPECT_EQ(form.text("倒计时_标签"), "将在 119 秒后自动还原原来的设置。");
    clock.now += 5500;   // late ticks skip nothing the clock knows
    form.fire("倒计时_时钟", ui::Event::Tick, 1);
    EXPECT_EQ(w.remaining(), 114);
    EXPECT_FALSE(w.result());

    clock.now += 114000;
    form.fire("倒计时_时钟", ui::Event::Tick, 1);
    EXPECT_EQ(w.result(), adapter::ConfirmResult::TimedOut);
    EXPECT_EQ(form.text("倒计时_标签"), "将在 0 秒后自动还原原来的设置。");
    EXPECT_TRUE(form.closed);
    EXPECT_EQ(form.timerPeriod("倒计时_时钟"), 0);
    form.click("保留_按钮");   // too late: the first answer stands
    EXPECT_EQ(w.result(), adapter::ConfirmResult::TimedOut);
}

TEST(ConfirmWindow, ShownWithoutALoopOverADisabledOwnerAndAnsweredOnce) {
    struct Case {
        std::function<void(ui::MemoryForm&, adapter::ConfirmQuestion&)> act;
        adapter::ConfirmResult expect;
    };
    const Case cases[] = {
        {[](ui::MemoryForm& f, adapter::ConfirmQuestion&) { f.click("保留_按钮"); }, adapter::ConfirmResult::Keep},
        {[](ui::MemoryForm& f, adapter::ConfirmQuestion&) { f.click("还原_按钮"); }, adapter::ConfirmResult::Undo},
        {[](ui::MemoryForm& f, adapter::ConfirmQuestion&) { f.close(); }, adapter::ConfirmResult::Closed},
        {[](ui::MemoryForm&, adapter::ConfirmQuestion& q) { q.dismiss(); }, adapter::ConfirmResult::Closed},
    };
    for (const Case& c : cases) {
        ui::MemoryWindows windows;
        ui::MemoryForm owner(layouts::mainWindow());
        Clock clock;
        adapter::ConfirmQuestion question(windows, clock, [](ui::Form& f, ui::Form& o) {
            f.setText("", "placed over " + std::string(o.layoutName()));
        });
        std::vector<adapter::ConfirmResult> answers;
        question.show(owner, "IP地址已写入，但重启网卡失败！", 120, [&](adapter::ConfirmResult r) { answers.push_back(r); });
        // show() returned with the question up: no loop of its own ran.
        ui::MemoryForm* f = windows.find("confirm");
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(question.open());
        EXPECT_TRUE(f->visible(""));
        EXPECT_EQ(f->text(""), "placed over main");
        EXPECT_EQ(f->text("结果_标签"), "IP地址已写入，但重启网卡失败！");
        EXPECT_FALSE(owner.enabled(""));
        question.show(owner, "again", 120, [&](adapter::ConfirmResult) { ADD_FAILURE() << "a second question"; });
        c.act(*f, question);
        f->click("还原_按钮");   // ignored after the first answer
        EXPECT_EQ(answers, std::vector<adapter::ConfirmResult>{c.expect});
        EXPECT_TRUE(f->closed);
        EXPECT_FALSE(question.open());
        EXPECT_TRUE(owner.enabled(""));
    }
    // No time at all: answered at once, nothing left open.
    ui::MemoryWindows windows;
    ui::MemoryForm owner(layouts::mainWindow());
    Clock clock;
    adapter::ConfirmQuestion question(windows, clock);
    std::optional<adapter::ConfirmResult> got;
    question.show(owner, "IP地址修改成功！", 0, [&](adapter::ConfirmResult r) { got = r; });
    EXPECT_EQ(got, adapter::ConfirmResult::TimedOut);
    EXPECT_FALSE(question.open());
    EXPECT_TRUE(owner.enabled(""));
}

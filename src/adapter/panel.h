// The adapter panel of the main window (分组框4): the adapter list, the five
// address fields, the apply button with the adapter restart, and the four
// DNS presets. Handlers see the main window's Form and the platform
// interfaces only; everything runs on the user-interface thread.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "adapter/confirm.h"
#include "adapter/confirm_window.h"
#include "adapter/restart.h"
#include "adapter/settings.h"
#include "platform/apply_lock.h"
#include "platform/devices.h"
#include "platform/dialogs.h"
#include "platform/elevation.h"
#include "platform/registry.h"
#include "platform/runner.h"
#include "platform/session.h"
#include "platform/tasks.h"
#include "ui/form.h"
#include "ui/windows.h"

namespace adapter {

// Texts of 状态_标签.
inline constexpr std::string_view kDisabling = "正在禁用网络适配器...";
inline constexpr std::string_view kEnabling = "正在启用网络适配器...";
inline constexpr std::string_view kApplied = "IP地址修改成功！";
inline constexpr std::string_view kWriteFailed = "IP地址修改失败！";
inline constexpr std::string_view kRestartFailed = "IP地址已写入，但重启网卡失败！";
// Message box when no adapter is chosen.
inline constexpr std::string_view kChooseAdapter = "请先选择网卡信息";
inline constexpr std::string_view kChooseAdapterTitle = "提示";

// The five address fields in the order of AdapterSettings.
inline constexpr std::array<std::string_view, 5> kFields = {"IP编辑框1", "IP编辑框2", "IP编辑框3", "IP编辑框4",
                                                            "IP编辑框5"};

// How long a close of the main window is held for a running elevated
// instance. The instance's device-function calls cannot be ended, so this
// bounds only the window's wait: past it the window closes and the instance
// finishes its own enable. An apply in this process holds the close until
// its enable has run, with no bound (ending the process then could leave
// the adapter disabled).
inline constexpr unsigned kCloseHoldMs = 2 * kRestartTimeoutMs + 60000;

// What a close is held longer for an elevated instance that asks: the
// question's time, the instance's grace beyond it and the undo's restart.
constexpr unsigned confirmHoldMs(int seconds, unsigned restartTimeoutMs) {
    return static_cast<unsigned>(seconds) * 1000u + kAnswerGraceMs + 2 * restartTimeoutMs;
}

struct DnsPreset {
    std::string_view option;   // the radio
    std::string_view preferred, alternate;
};
inline constexpr std::array<DnsPreset, 4> kPresets = {{
    {"单选框1", "8.8.8.8", "8.8.4.4"},
    {"单选框2", "61.139.2.69", "202.98.96.68"},
    {"单选框3", "221.10.251.197", "119.6.6.6"},
    {"单选框4", "211.98.2.4", "211.98.4.1"},
}};

struct PanelServices {
    platform::Registry& registry;
    platform::Runner& runner;
    platform::Dialogs& dialogs;
    // Null: the process is taken to have the rights it needs.
    platform::Elevation* elevation = nullptr;
    // Where the adapter's device is found (by its driver key). Null: no
    // device, so the values are written but nothing is restarted.
    platform::Devices* devices = nullptr;
    // Where the in-process apply runs, and the close hold's timer. Null: the
    // apply runs on the calling thread, and a close waits for an elevated
    // instance without bound.
    platform::Tasks* tasks = nullptr;
    unsigned restartTimeoutMs = kRestartTimeoutMs;   // each restart step's bound
    unsigned closeHoldMs = kCloseHoldMs;
    // The remote-safe apply (confirm.h). Without a session, windows and a
    // clock the apply never asks; in this process it asks only with tasks
    // (the worker waits for the answer while the window goes on).
    platform::Session* session = nullptr;
    ui::Windows* windows = nullptr;   // where the question is built
    platform::Clock* clock = nullptr;
    ConfirmQuestion::Place placeQuestion = {};
    int confirmSeconds = kConfirmSeconds;
    // The machine's apply lock, taken by the in-process apply's worker
    // before it reads anything and held until it has ended. Null: none.
    platform::ApplyLock* lock = nullptr;
};

// Whether an apply is running, and what waits for its end: a close of the
// main window, the end of the program from the update window. Lives on the
// user-interface thread; the apply moves it along as its results arrive:
// started -> (steps) -> [question -> answer -> (undo steps)] -> finished(exit
// code) -> released.
struct ApplyState {
    bool running = false;
    bool closeHeld = false;
    bool closeLetGo = false;   // the hold bound passed: the next close goes through
    std::vector<std::function<void()>> afterwards;   // run in order once the apply has ended
    // The elevated instance being followed (null for an apply in this process).
    std::unique_ptr<platform::ElevatedInstance> instance;
    int reached = 0;            // the last step shown
    unsigned generation = 0;    // counts applies, so that a late timer knows its own
    ui::Form* form = nullptr;   // the main window while it exists
    // The remote-safe apply: whether this apply asks, the answer given so
    // far, where it goes (the events an elevated instance waits on, or what
    // this process's worker waits on), the question and its time.
    bool asking = false;
    std::optional<ConfirmResult> answered;
    std::unique_ptr<platform::AnswerSignal> signal;
    std::shared_ptr<SharedAnswer> shared;
    std::unique_ptr<ConfirmQuestion> question;   // made when the panel is bound
    int confirmSeconds = kConfirmSeconds;
    std::function<void()> showSettings;   // 显示网卡设置 after an apply that asked

    // Runs `then` at once when no apply runs, otherwise once it has ended.
    void whenDone(std::function<void()> then);
};

// The list number k (from 1) of the adapter chosen in 网卡信息_组合框; 0 when
// nothing is selected or the entry's value names no adapter of `lists`.
int selectedAdapter(const ui::Form& main, const AdapterLists& lists);

// Rebuilds the lists and 网卡信息_组合框 from a fresh walk, selects the entry
// at position 1 (the second; the only one when there is one; none when the
// list is empty) without raising Selected, and shows its settings.
void 刷新网卡列表(ui::Form& main, AdapterLists& lists, platform::Registry& registry);

// Shows the chosen adapter: its description as the caption of 分组框4 (cut
// with an ellipsis when wider than the frame) and its five settings in the
// address fields. With no adapter chosen the caption is cleared and the
// fields stay as they are.
void 显示网卡设置(ui::Form& main, const AdapterLists& lists, platform::Registry& registry);

// Click on 修改_按钮: writes the five fields into the chosen adapter's
// interface key, then restarts the adapter (restart.h), reporting in
// 状态_标签, with 修改_按钮 disabled until the apply has ended. The write and
// the restart run on a worker thread (services.tasks) while the window goes
// on; without administrator rights they run in an elevated instance of the
// tool (apply_verb.h) instead, followed until its process has ended, which
// reports its steps back; a declined prompt writes nothing
// ("IP地址修改失败！"). Returns at once; `state` follows the apply. Does
// nothing while an apply runs.
// In a remote session, an apply that changes the address, mask or gateway
// (against the interface key read just before) asks after the restart
// whether to keep it: whoever holds the rights waits for the answer and
// undoes the apply unless it is kept in time (confirm.h). The last text
// then follows that one's exit code, and the fields show what the registry
// holds. Anywhere else the apply is the plain one. The in-process apply
// takes services.lock on its worker before anything else: when another
// apply holds it, nothing is read or written ("IP地址修改失败！"). Without
// rights and without a way to ask for them (elevation offers none), nothing
// is written and no prompt shows ("IP地址修改失败！").
void applySettings(ui::Form& main, const AdapterLists& lists, const PanelServices& services, ApplyState& state);

// Click on a preset radio: fills and locks the two DNS fields.
void choosePreset(ui::Form& main, const DnsPreset& preset);

// Puts one DNS server into IP编辑框4 (preferred) or IP编辑框5 (alternate)
// from outside the panel (the DNS test) and locks both DNS fields as a
// preset leaves them; the preset options stay as they are and nothing is
// written.
void fillDnsField(ui::Form& main, bool alternate, std::string_view address);

// Binds the panel's handlers: 修改_按钮, 刷新_按钮, the presets and the
// selection of 网卡信息_组合框, and holds a close of the main window while an
// apply runs (the close goes on once the apply has ended, or, for an
// elevated instance, once services.closeHoldMs have passed, longer by
// confirmHoldMs for one that asks). A close while the question is open
// answers it as a close: the apply is undone before the window goes. 修改_按钮
// carries the consent shield when the apply needs elevation. `lists`, the
// services and `state` (null: the panel keeps its own) outlive the window.
void bindAdapterPanel(ui::Form& main, AdapterLists& lists, const PanelServices& services, ApplyState* state = nullptr);

}  // namespace adapter

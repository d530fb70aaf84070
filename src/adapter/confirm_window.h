// The question window "确认网络设置": after an address change over a remote
// session it tells the user what happened, asks to keep the new settings
// and counts down to the undo. It decides nothing itself: its answer goes
// to whoever holds the rights (confirm.h), and the final text follows what
// that one did.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "ui/form.h"
#include "ui/windows.h"

namespace adapter {

// Units of the window (layouts::confirmWindow()).
inline constexpr std::string_view kResultLabel = "结果_标签";
inline constexpr std::string_view kHintLabel = "提示_标签";
inline constexpr std::string_view kCountdownLabel = "倒计时_标签";
inline constexpr std::string_view kKeepButton = "保留_按钮";
inline constexpr std::string_view kUndoButton = "还原_按钮";
inline constexpr std::string_view kCountdownTimer = "倒计时_时钟";

inline constexpr std::string_view kConfirmHint = "如果远程连接断开了，请用新地址重新连接，再点击“保留设置”。";
// "将在 N 秒后自动还原原来的设置。"
std::string countdownText(int seconds);

// How often the countdown looks at the clock; the number shown changes once
// a second, whatever the timer's jitter.
inline constexpr int kCountdownPollMs = 200;

// Keep: "保留设置"; Undo: "立即还原"; TimedOut: the countdown reached 0;
// Closed: the window went without a choice (title-bar close, or closed by
// the tool).
enum class ConfirmResult { Keep, Undo, TimedOut, Closed };

// The window's handlers. Binds to `form` (built from confirmWindow()), fills
// its three lines, gives "保留设置" the focus (Enter keeps) and counts down
// from `seconds` by the clock. The first answer closes the window; later
// events change nothing. The object must outlive the form's Destroyed
// event. UI thread only.
class ConfirmWindow {
public:
    ConfirmWindow(ui::Form& form, platform::Clock& clock, std::string_view firstLine, int seconds);
    ConfirmWindow(const ConfirmWindow&) = delete;
    ConfirmWindow& operator=(const ConfirmWindow&) = delete;

    // The answer, once there is one.
    std::optional<ConfirmResult> result() const { return result_; }
    // Whole seconds left, as shown.
    int remaining() const { return shown_; }

private:
    void tick();
    void finish(ConfirmResult r);

    ui::Form& form_;
    platform::Clock& clock_;
    std::int64_t start_;
    int seconds_;
    int shown_;
    std::optional<ConfirmResult> result_;
};

// Shows the question modally over the tool's other windows and returns its
// answer. `place` runs once the window is built and before it shows (the
// Win32 side makes it owned by the main window and puts it on that
// window's monitor). UI thread only; the thread's other windows keep
// running meanwhile, so a handler may call dismiss() to end the question
// (its answer is then Closed).
class ConfirmQuestion {
public:
    ConfirmQuestion(ui::Windows& windows, platform::Clock& clock, std::function<void(ui::Form&)> place = {})
        : windows_(windows), clock_(clock), place_(std::move(place)) {}

    ConfirmResult ask(std::string_view firstLine, int seconds);
    void dismiss();
    bool open() const { return form_ != nullptr; }

private:
    ui::Windows& windows_;
    platform::Clock& clock_;
    std::function<void(ui::Form&)> place_;
    ui::Form* form_ = nullptr;
};

}  // namespace adapter

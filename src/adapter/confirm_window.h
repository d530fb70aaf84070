// The question window "确认网络设置": after an address change over a remote
// session it tells the user what happened, asks to keep the new settings
// and counts down to the undo. It decides nothing itself: its answer goes
// to whoever holds the rights (confirm.h), and the final text follows what
// that one did.
#pragma once

#include <functional>
#include <memory>
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

// The question shown without a loop of its own: show() returns at once, and
// the answer comes later, once, through the callback on the UI thread, from
// the window's own events. Whatever waits for the answer never runs nested
// in the question's wait. While the question is open its owner (the main
// window) is disabled, as under a modal window, and enabled again when the
// question goes. `place` runs once the window is built and before it shows
// (the Win32 side makes it owned by the main window and puts it on that
// window's monitor). UI thread only.
class ConfirmQuestion {
public:
    using Place = std::function<void(ui::Form& question, ui::Form& owner)>;
    ConfirmQuestion(ui::Windows& windows, platform::Clock& clock, Place place = {})
        : windows_(windows), clock_(clock), place_(std::move(place)) {}
    // A question still open is closed (its answer, Closed, reaches nobody).
    ~ConfirmQuestion();
    ConfirmQuestion(const ConfirmQuestion&) = delete;
    ConfirmQuestion& operator=(const ConfirmQuestion&) = delete;

    // Shows the question over `owner`; `answered` gets Keep, Undo, TimedOut,
    // or Closed (closed by the user, by dismiss(), or gone with its owner).
    // Does nothing while a question is open.
    void show(ui::Form& owner, std::string_view firstLine, int seconds, std::function<void(ConfirmResult)> answered);
    // Closes an open question; its answer is Closed.
    void dismiss();
    bool open() const;

private:
    struct Asked;
    ui::Windows& windows_;
    platform::Clock& clock_;
    Place place_;
    std::shared_ptr<Asked> asked_;
};

}  // namespace adapter

#include "adapter/confirm_window.h"

#include "resources/layouts.h"

namespace adapter {

std::string countdownText(int seconds) { return "将在 " + std::to_string(seconds) + " 秒后自动还原原来的设置。"; }

ConfirmWindow::ConfirmWindow(ui::Form& form, platform::Clock& clock, std::string_view firstLine, int seconds)
    : form_(form), clock_(clock), start_(clock.tickCount()), seconds_(seconds), shown_(seconds) {
    form_.setText(kResultLabel, firstLine);
    form_.setText(kHintLabel, kConfirmHint);
    form_.setText(kCountdownLabel, countdownText(shown_));
    form_.on(kKeepButton, ui::Event::Click, [this](ui::EventArgs&) { finish(ConfirmResult::Keep); });
    form_.on(kUndoButton, ui::Event::Click, [this](ui::EventArgs&) { finish(ConfirmResult::Undo); });
    form_.on(kCountdownTimer, ui::Event::Tick, [this](ui::EventArgs&) { tick(); });
    form_.on("", ui::Event::Destroyed, [this](ui::EventArgs&) {
        if (!result_) result_ = ConfirmResult::Closed;
    });
    form_.focus(kKeepButton);
    if (seconds_ <= 0) {
        finish(ConfirmResult::TimedOut);
        return;
    }
    form_.setTimerPeriod(kCountdownTimer, kCountdownPollMs);
}

void ConfirmWindow::tick() {
    if (result_) return;
    const std::int64_t elapsed = clock_.tickCount() - start_;
    const std::int64_t left = static_cast<std::int64_t>(seconds_) - (elapsed < 0 ? 0 : elapsed / 1000);
    if (left <= 0) {
        shown_ = 0;
        form_.setText(kCountdownLabel, countdownText(0));
        finish(ConfirmResult::TimedOut);
        return;
    }
    if (left != shown_) {
        shown_ = static_cast<int>(left);
        form_.setText(kCountdownLabel, countdownText(shown_));
    }
}

void ConfirmWindow::finish(ConfirmResult r) {
    if (result_) return;
    result_ = r;
    form_.setTimerPeriod(kCountdownTimer, 0);
    form_.close();
}

ConfirmResult ConfirmQuestion::ask(std::string_view firstLine, int seconds) {
    ui::Form* form = windows_.create(layouts::confirmWindow());
    ConfirmWindow window(*form, clock_, firstLine, seconds);
    if (window.result()) return *window.result();   // nothing left to count down
    form_ = form;
    form->on("", ui::Event::Destroyed, [this](ui::EventArgs&) { form_ = nullptr; });
    if (place_) place_(*form);
    windows_.runModal(*form);
    // The loop may end early (the program is quitting): the window must not
    // outlive the handlers bound to `window`.
    if (form_) form_->close();
    form_ = nullptr;
    return window.result().value_or(ConfirmResult::Closed);
}

void ConfirmQuestion::dismiss() {
    if (form_) form_->close();
}

}  // namespace adapter

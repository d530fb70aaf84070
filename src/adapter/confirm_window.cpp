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

// One question: its window's handlers, kept alive by the window itself
// (a handler bound to it holds this), and whom to tell.
struct ConfirmQuestion::Asked {
    std::unique_ptr<ConfirmWindow> window;
    ui::Form* form = nullptr;    // null once the window is gone
    ui::Form* owner = nullptr;
    std::function<void(ConfirmResult)> answered;
};

ConfirmQuestion::~ConfirmQuestion() {
    if (!asked_) return;
    asked_->answered = nullptr;
    dismiss();
}

void ConfirmQuestion::show(ui::Form& owner, std::string_view firstLine, int seconds,
                           std::function<void(ConfirmResult)> answered) {
    if (open()) return;
    auto asked = std::make_shared<Asked>();
    asked->answered = std::move(answered);
    asked->owner = &owner;
    ui::Form* form = windows_.create(layouts::confirmWindow());
    asked->form = form;
    asked_ = asked;
    // The owner goes first: its Destroyed takes the question with it.
    owner.on("", ui::Event::Destroyed, [weak = std::weak_ptr<Asked>(asked)](ui::EventArgs&) {
        if (auto a = weak.lock()) a->owner = nullptr;
    });
    asked->window = std::make_unique<ConfirmWindow>(*form, clock_, firstLine, seconds);
    if (const auto r = asked->window->result()) {   // no time left: answered already, window closed
        asked->form = nullptr;
        auto then = std::move(asked->answered);
        asked->answered = nullptr;
        if (then) then(*r);
        return;
    }
    // Bound after the window's own handlers, so it runs after theirs and
    // sees the answer.
    form->on("", ui::Event::Destroyed, [asked](ui::EventArgs&) {
        asked->form = nullptr;
        if (asked->owner) asked->owner->setEnabled("", true);
        const ConfirmResult r = asked->window->result().value_or(ConfirmResult::Closed);
        if (auto then = std::move(asked->answered)) {
            asked->answered = nullptr;
            then(r);
        }
    });
    owner.setEnabled("", false);
    if (place_) place_(*form, owner);
    form->setVisible("", true);
}

void ConfirmQuestion::dismiss() {
    if (asked_ && asked_->form) asked_->form->close();
}

bool ConfirmQuestion::open() const { return asked_ && asked_->form; }

}  // namespace adapter

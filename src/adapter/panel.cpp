#include "adapter/panel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adapter/apply_verb.h"

namespace adapter {
namespace {

constexpr std::string_view kList = "网卡信息_组合框";
constexpr std::string_view kPanel = "分组框4";
constexpr std::string_view kStatus = "状态_标签";
constexpr std::string_view kApply = "修改_按钮";
constexpr std::string_view kRefresh = "刷新_按钮";

// The description as the frame's caption. One too wide for the frame is
// cut after a whole character and ends in an ellipsis, so that it does not
// run over the frame's right edge. The cut is found by halving (a longer
// prefix is never narrower): a description of many kilobytes costs a few
// measurements, not one per character.
std::string panelCaption(const ui::Form& main, std::string_view description) {
    const int room = main.rect(kPanel).width - 24;   // the caption's inset and the frame on both sides
    if (main.measureText(kPanel, description).width <= room) return std::string(description);
    static constexpr std::string_view kEllipsis = "…";
    auto shortened = [&](size_t cut) { return std::string(description.substr(0, cut)) + std::string(kEllipsis); };
    // Where a character starts, so that no cut splits one; 0 comes first.
    std::vector<size_t> cuts;
    for (size_t i = 0; i < description.size(); ++i)
        if ((static_cast<unsigned char>(description[i]) & 0xC0) != 0x80) cuts.push_back(i);
    if (cuts.empty()) return std::string(kEllipsis);
    // cuts[lo] is taken (the lone ellipsis at worst); from cuts[hi] on none fits.
    size_t lo = 0, hi = cuts.size();
    while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        if (main.measureText(kPanel, shortened(cuts[mid])).width <= room) lo = mid;
        else hi = mid;
    }
    return shortened(cuts[lo]);
}

void showStatus(ui::Form& main, std::string_view text) {
    main.setText(kStatus, text);
    main.repaint(kStatus);
}

// The end of an apply: 修改_按钮 back, then whatever waited for it.
void release(ApplyState& state) {
    state.instance.reset();
    state.signal.reset();
    state.shared.reset();
    state.asking = false;
    state.showSettings = nullptr;
    state.running = false;
    if (state.form) state.form->setEnabled(kApply, true);
    std::vector<std::function<void()>> after;
    after.swap(state.afterwards);
    for (auto& then : after) then();
}

// The last text comes from the exit code of whoever held the rights, never
// from the button that was pressed.
void finish(ApplyState& state, int code) {
    if (!state.running) return;
    // The one who waited for an answer has ended: a question still open
    // has nothing left to decide.
    if (state.question) state.question->dismiss();
    if (state.form) {
        state.form->setText(kStatus, finalText(code));
        if (state.asking && state.reached >= static_cast<int>(Step::Confirming) && state.showSettings)
            state.showSettings();
    }
    release(state);
}

// The user's answer (or the window's end) goes to whoever waits for it.
void answer(ApplyState& state, ConfirmResult result) {
    if (state.answered) return;
    state.answered = result;
    const bool keep = result == ConfirmResult::Keep;
    if (state.signal) keep ? state.signal->keep() : state.signal->undo();
    if (state.shared) state.shared->set(keep ? Answer::Keep : Answer::Undo);
}

// The restart has ended and the holder of the rights waits: the question,
// its first line the text the plain apply would end with. A window that is
// going (a held close, or no window) answers at once, as a close.
void ask(ApplyState& state, int restartCode) {
    const std::string_view first = finalText(restartCode == kExitRestartFailed ? kExitRestartFailed : kExitApplied);
    if (state.form) showStatus(*state.form, first);
    if (!state.form || state.closeHeld || !state.question) {
        answer(state, ConfirmResult::Closed);
        return;
    }
    ApplyState* s = &state;
    const unsigned generation = state.generation;
    state.question->show(*state.form, first, state.confirmSeconds, [s, generation](ConfirmResult r) {
        if (s->running && s->generation == generation) answer(*s, r);
    });
}

// A reported step; steps only go forward, unknown ones are ignored, and the
// question's steps count only for an apply that asks.
void reach(ApplyState& state, int step, int detail) {
    if (step < static_cast<int>(Step::Disabling) || step > static_cast<int>(Step::UndoEnabling)) return;
    if (step >= static_cast<int>(Step::Confirming) && !state.asking) return;
    if (step < state.reached) return;
    if (step == state.reached && step == static_cast<int>(Step::Confirming)) return;   // asked once
    state.reached = step;
    if (step == static_cast<int>(Step::Confirming)) {
        ask(state, detail);
        return;
    }
    if (state.form) showStatus(*state.form, stepText(static_cast<Step>(step)));
}

// The apply in an elevated instance, followed until its process ends: its
// steps show as they come, its exit code gives the last text. No instance
// at all (the prompt declined) means nothing was written; an instance whose
// code cannot be read after it had started the restart leaves the restart
// unconfirmed (or, once it waited for an answer that was not "keep", the
// undo).
void applyElevated(ApplyState& state, const PanelServices& services, const ApplyRequest& request) {
    ApplyState* s = &state;
    const unsigned generation = state.generation;
    platform::ElevatedCallbacks callbacks;
    callbacks.progress = [s, generation](int step, int detail) {
        if (s->running && s->generation == generation) reach(*s, step, detail);
    };
    callbacks.ended = [s, generation](std::optional<int> code) {
        if (!s->running || s->generation != generation) return;
        int known = s->reached > 0 ? kExitRestartFailed : kExitNotWritten;
        if (s->reached >= static_cast<int>(Step::Confirming) && s->answered != ConfirmResult::Keep)
            known = kExitUndoFailed;
        if (code && *code >= kExitApplied && *code <= kExitUndoFailed) known = *code;
        finish(*s, known);
    };
    const auto arguments = state.asking ? verbArguments(request, {}, state.confirmSeconds, state.signal->name())
                                        : verbArguments(request);
    state.instance = services.elevation->start(arguments, std::move(callbacks));
    if (!state.instance) finish(state, kExitNotWritten);
}

// The apply in this process: the lock, the snapshot when it may ask, the
// write, the restart and, when it asks, the wait for the answer and the
// undo, on a worker; their steps and exit code posted back. The worker waits on `shared` and the clock only, so the undo
// comes in time even while the window's thread is stuck. Without a task
// service it all runs here (and never asks).
void applyInProcess(ApplyState& state, const PanelServices& services, const ApplyRequest& request,
                    const RestartTarget& target) {
    ApplyState* s = &state;
    const unsigned generation = state.generation;
    std::shared_ptr<SharedAnswer> shared = state.shared;
    const int seconds = state.confirmSeconds;
    auto job = [s, generation, services, request, target, shared, seconds](const platform::Tasks::Post& post) {
        auto done = [&post, s, generation](int code) {
            post([s, generation, code] {
                if (s->generation == generation) finish(*s, code);
            });
        };
        // One apply at a time on the machine, from before the snapshot
        // until the keep-or-undo has ended.
        std::unique_ptr<platform::ApplyLock::Held> held;
        if (services.lock && !(held = services.lock->take())) return done(kExitNotWritten);
        // In a remote session: does this apply change the address, mask or
        // gateway, as the key holds them now? What cannot be put back is
        // not overwritten.
        std::optional<InterfaceSnapshot> snapshot;
        if (shared) {
            snapshot = takeSnapshot(services.registry, request.instance);
            if (!snapshot) return done(kExitNotWritten);
            const auto& f = request.fields;
            if (!changesAddress(*snapshot, f[0], f[1], f[2])) snapshot.reset();
        }
        const RestartServices restart{services.runner, services.devices, services.restartTimeoutMs};
        const StepReport report = [&post, s, generation](Step step, int detail) {
            post([s, generation, step, detail] {
                if (s->running && s->generation == generation) reach(*s, static_cast<int>(step), detail);
            });
        };
        int code = kExitNotWritten;
        if (snapshot) {
            const ConfirmPlan plan{*snapshot, seconds, *shared};
            code = applyWithRights(services.registry, request, target, restart, report, &plan);
        } else {
            code = applyWithRights(services.registry, request, target, restart, report, nullptr);
        }
        held.reset();
        done(code);
    };
    if (!services.tasks) {
        job([](std::function<void()> f) { f(); });
        return;
    }
    // No worker: nothing was written.
    if (!services.tasks->start(std::move(job))) finish(state, kExitNotWritten);
}

}  // namespace

int selectedAdapter(const ui::Form& main, const AdapterLists& lists) {
    const int sel = main.selection(kList);
    if (sel < 0) return 0;
    const int k = main.itemValue(kList, sel);
    return (k >= 1 && k <= lists.size()) ? k : 0;
}

void 刷新网卡列表(ui::Form& main, AdapterLists& lists, platform::Registry& registry) {
    lists.clear();
    main.clearItems(kList);
    const int n = 枚举网卡(registry, lists);
    for (int k = 1; k <= n; ++k) main.addItem(kList, lists.网卡描述表[k - 1], k);
    main.setSelection(kList, 1);
    显示网卡设置(main, lists, registry);
}

void 显示网卡设置(ui::Form& main, const AdapterLists& lists, platform::Registry& registry) {
    const int k = selectedAdapter(main, lists);
    if (k == 0) {
        main.setText(kPanel, "");
        return;
    }
    main.setText(kPanel, panelCaption(main, lists.网卡描述表[k - 1]));
    const AdapterSettings s = 读取网卡设置(registry, lists.网卡实例表[k - 1]);
    const std::string* texts[] = {&s.ip, &s.mask, &s.gateway, &s.preferredDns, &s.alternateDns};
    for (size_t i = 0; i < kFields.size(); ++i) main.setText(kFields[i], *texts[i]);
}

void applySettings(ui::Form& main, const AdapterLists& lists, const PanelServices& services, ApplyState& state) {
    if (state.running) return;
    const int k = selectedAdapter(main, lists);
    if (k == 0) {
        services.dialogs.messageBox({kChooseAdapter, kChooseAdapterTitle, platform::Icon::Information,
                                     platform::Buttons::Ok});
        return;
    }
    // Copies: the lists may be rebuilt (刷新_按钮) while the apply runs.
    ApplyRequest request{lists.网卡实例表[k - 1], {}};
    for (size_t i = 0; i < kFields.size(); ++i) request.fields[i] = main.text(kFields[i]);
    const RestartTarget target{lists.driverKeys[k - 1]};

    state.running = true;
    ++state.generation;
    state.reached = 0;
    state.closeLetGo = false;
    state.form = &main;
    state.asking = false;
    state.answered.reset();
    state.confirmSeconds = services.confirmSeconds;
    main.setEnabled(kApply, false);
    const bool elevated = services.elevation && !services.elevation->elevated();
    // The rights cannot be asked for: nothing is written, no prompt shows.
    if (elevated && !services.elevation->canElevate()) {
        finish(state, kExitNotWritten);
        return;
    }
    // In a remote session an apply may ask whether to keep it.
    const bool mayAsk = services.session && state.question && (elevated || services.tasks) && services.session->remote();
    if (mayAsk) {
        ui::Form* form = &main;
        const AdapterLists* adapters = &lists;
        platform::Registry* registry = &services.registry;
        state.showSettings = [form, adapters, registry] { 显示网卡设置(*form, *adapters, *registry); };
    }
    if (elevated) {
        if (mayAsk) {
            // Does this apply change the address, mask or gateway, as the
            // key holds them now? The instance takes its own snapshot (and
            // refuses when it cannot): one this window cannot read counts
            // as a change.
            const std::optional<InterfaceSnapshot> snapshot = takeSnapshot(services.registry, request.instance);
            const auto& f = request.fields;
            state.asking = !snapshot || changesAddress(*snapshot, f[0], f[1], f[2]);
        }
        if (state.asking) {
            // The events the answer travels through exist before the
            // instance does; without them nobody could keep the change.
            state.signal = services.session->answerEvents();
            if (!state.signal) {
                finish(state, kExitNotWritten);
                return;
            }
        }
        applyElevated(state, services, request);
        return;
    }
    // In this process the worker decides, under the lock, whether it asks;
    // the window is ready for the question either way.
    if (mayAsk) {
        state.asking = true;
        state.shared = std::make_shared<SharedAnswer>();
    }
    applyInProcess(state, services, request, target);
}

void choosePreset(ui::Form& main, const DnsPreset& preset) {
    main.setEnabled("IP编辑框4", false);
    main.setEnabled("IP编辑框5", false);
    main.setText("IP编辑框4", preset.preferred);
    main.setText("IP编辑框5", preset.alternate);
    for (const DnsPreset& p : kPresets) main.setChecked(p.option, p.option == preset.option);
}

void fillDnsField(ui::Form& main, bool alternate, std::string_view address) {
    main.setText(kFields[alternate ? 4 : 3], address);
    main.setEnabled(kFields[3], false);
    main.setEnabled(kFields[4], false);
}

void ApplyState::whenDone(std::function<void()> then) {
    if (running) afterwards.push_back(std::move(then));
    else then();
}

void bindAdapterPanel(ui::Form& main, AdapterLists& lists, const PanelServices& services, ApplyState* shared) {
    using ui::Event;
    using ui::EventArgs;
    ui::Form* form = &main;
    AdapterLists* adapters = &lists;
    std::shared_ptr<ApplyState> own;
    if (!shared) own = std::make_shared<ApplyState>();
    ApplyState* state = shared ? shared : own.get();
    state->form = form;
    if (services.windows && services.clock && !state->question)
        state->question = std::make_unique<ConfirmQuestion>(*services.windows, *services.clock, services.placeQuestion);

    main.setShield(kApply, services.elevation && !services.elevation->elevated() && services.elevation->canElevate());

    // A click while an apply runs (the button is disabled, but a message may
    // already be queued) is dropped.
    main.on(kApply, Event::Click, [form, adapters, services, state, own](EventArgs&) {
        applySettings(*form, *adapters, services, *state);
    });
    // A close while the adapter is disabled would leave it so: the close
    // waits for the enable, then goes on. For an elevated instance it waits
    // at most closeHoldMs; the instance finishes its own enable.
    main.on("", Event::CanClose, [form, state, own, services](EventArgs& e) {
        if (!state->running || state->closeLetGo) return;
        e.accept = false;
        if (state->closeHeld) return;
        state->closeHeld = true;
        // An open question is answered as closed: the apply is undone, and
        // the close goes on once that is done.
        if (state->question) state->question->dismiss();
        state->afterwards.push_back([state] {
            state->closeHeld = false;
            if (state->form) state->form->close();
        });
        if (!state->instance || !services.tasks) return;
        const unsigned generation = state->generation;
        const unsigned holdMs =
            services.closeHoldMs + (state->asking ? confirmHoldMs(state->confirmSeconds, services.restartTimeoutMs) : 0);
        services.tasks->after(holdMs, [state, own, generation] {
            if (!state->running || state->generation != generation || !state->closeHeld || !state->form) return;
            state->closeLetGo = true;
            state->form->close();
        });
    });
    // Gone: nothing reports to the window any more. An elevated instance
    // still running is no longer followed (it ends by itself).
    main.on("", Event::Destroyed, [state, own](EventArgs&) {
        state->form = nullptr;
        // A question still open goes with the window, as a close.
        if (state->question) state->question->dismiss();
        if (state->running && state->instance) release(*state);
    });
    main.on(kRefresh, Event::Click, [form, adapters, services](EventArgs&) {
        刷新网卡列表(*form, *adapters, services.registry);
        form->setEnabled("IP编辑框4", true);
        form->setEnabled("IP编辑框5", true);
    });
    main.on(kList, Event::Selected, [form, adapters, services](EventArgs&) {
        显示网卡设置(*form, *adapters, services.registry);
    });
    for (const DnsPreset& p : kPresets)
        main.on(p.option, Event::Click, [form, &p](EventArgs&) { choosePreset(*form, p); });
}

}  // namespace adapter

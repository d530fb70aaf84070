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

void showStep(ui::Form& main, Step step) { showStatus(main, step == Step::Disabling ? kDisabling : kEnabling); }

// The apply in an elevated instance: its steps show as they come, its exit
// code gives the last text. No answer at all (the prompt declined) means
// nothing was written; an instance that was lost after it had started the
// restart leaves the restart unconfirmed.
void applyElevated(ui::Form& main, const PanelServices& services, const ApplyRequest& request) {
    int reached = 0;
    const std::optional<int> code =
        services.elevation->runElevated(verbArguments(request), kElevatedTimeoutMs, [&main, &reached](int step) {
            if (step != static_cast<int>(Step::Disabling) && step != static_cast<int>(Step::Enabling)) return;
            if (step < reached) return;   // steps only go forward
            reached = step;
            showStep(main, static_cast<Step>(step));
        });
    std::string_view text = reached > 0 ? kRestartFailed : kWriteFailed;
    if (code == kExitApplied) text = kApplied;
    else if (code == kExitRestartFailed) text = kRestartFailed;
    else if (code == kExitNotWritten) text = kWriteFailed;
    main.setText(kStatus, text);
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

void applySettings(ui::Form& main, const AdapterLists& lists, const PanelServices& services) {
    const int k = selectedAdapter(main, lists);
    if (k == 0) {
        services.dialogs.messageBox({kChooseAdapter, kChooseAdapterTitle, platform::Icon::Information,
                                     platform::Buttons::Ok});
        return;
    }
    std::string texts[kFields.size()];
    for (size_t i = 0; i < kFields.size(); ++i) texts[i] = main.text(kFields[i]);
    // Copies: the lists may be rebuilt (刷新_按钮) while devcon runs.
    const std::string instance = lists.网卡实例表[k - 1];
    const std::string device = lists.设备标识表[k - 1];

    main.setEnabled(kApply, false);
    if (services.elevation && !services.elevation->elevated()) {
        applyElevated(main, services, {instance, device, {texts[0], texts[1], texts[2], texts[3], texts[4]}});
    } else if (!写入网卡设置(services.registry, instance, texts[0], texts[1], texts[2], texts[3], texts[4])) {
        main.setText(kStatus, kWriteFailed);
    } else {
        const bool restarted = restartAdapter({services.runner, services.devices, true}, device,
                                              [&main](Step step) { showStep(main, step); });
        main.setText(kStatus, restarted ? kApplied : kRestartFailed);
    }
    main.setEnabled(kApply, true);
}

void choosePreset(ui::Form& main, const DnsPreset& preset) {
    main.setEnabled("IP编辑框4", false);
    main.setEnabled("IP编辑框5", false);
    main.setText("IP编辑框4", preset.preferred);
    main.setText("IP编辑框5", preset.alternate);
    for (const DnsPreset& p : kPresets) main.setChecked(p.option, p.option == preset.option);
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

    main.setShield(kApply, services.elevation && !services.elevation->elevated());

    // The apply processes window messages while it waits: a second click
    // arriving meanwhile (the button is disabled, but a message may already
    // be queued) is dropped. What waited for the apply runs after it.
    main.on(kApply, Event::Click, [form, adapters, services, state, own](EventArgs&) {
        if (state->running) return;
        state->running = true;
        applySettings(*form, *adapters, services);
        state->running = false;
        std::vector<std::function<void()>> after;
        after.swap(state->afterwards);
        for (auto& then : after) then();
    });
    // A close while the adapter is disabled would leave it so: the close
    // waits for the enable, then goes on.
    main.on("", Event::CanClose, [form, state, own](EventArgs& e) {
        if (!state->running) return;
        e.accept = false;
        if (state->closeHeld) return;
        state->closeHeld = true;
        state->afterwards.push_back([form, state] {
            state->closeHeld = false;
            form->close();
        });
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

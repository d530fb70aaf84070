#include "adapter/panel.h"

#include <memory>
#include <string>
#include <vector>

namespace adapter {
namespace {

constexpr std::string_view kList = "网卡信息_组合框";
constexpr std::string_view kPanel = "分组框4";
constexpr std::string_view kStatus = "状态_标签";
constexpr std::string_view kApply = "修改_按钮";
constexpr std::string_view kRefresh = "刷新_按钮";

std::string restartCommand(std::string_view verb, std::string_view device) {
    return "cmd /c devcon " + std::string(verb) + " \"" + std::string(device) + "\"";
}

// Runs one devcon command hidden and waits for it while the window keeps
// painting; true when it ended in time with exit code 0.
bool runRestartStep(platform::Runner& runner, std::string_view verb, std::string_view device) {
    platform::RunOptions o;
    o.wait = true;
    o.mode = platform::WindowMode::Hidden;
    o.timeoutMs = kRestartTimeoutMs;
    o.pumpMessages = true;
    const platform::RunResult r = runner.run(restartCommand(verb, device), o);
    return r.started && r.finished && r.exitCode == 0;
}

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

    if (!写入网卡设置(services.registry, instance, texts[0], texts[1], texts[2], texts[3], texts[4])) {
        main.setText(kStatus, kWriteFailed);
        return;
    }

    main.setEnabled(kApply, false);
    showStatus(main, kDisabling);
    const bool disabled = runRestartStep(services.runner, "disable", device);
    // The adapter is enabled again whatever the disable did.
    showStatus(main, kEnabling);
    const bool enabled = runRestartStep(services.runner, "enable", device);
    main.setText(kStatus, disabled && enabled ? kApplied : kRestartFailed);
    main.setEnabled(kApply, true);
}

void choosePreset(ui::Form& main, const DnsPreset& preset) {
    main.setEnabled("IP编辑框4", false);
    main.setEnabled("IP编辑框5", false);
    main.setText("IP编辑框4", preset.preferred);
    main.setText("IP编辑框5", preset.alternate);
    for (const DnsPreset& p : kPresets) main.setChecked(p.option, p.option == preset.option);
}

void bindAdapterPanel(ui::Form& main, AdapterLists& lists, const PanelServices& services) {
    using ui::Event;
    using ui::EventArgs;
    ui::Form* form = &main;
    AdapterLists* adapters = &lists;
    // The apply processes window messages while devcon runs: a second click
    // arriving meanwhile (the button is disabled, but a message may already
    // be queued) is dropped.
    auto busy = std::make_shared<bool>(false);

    main.on(kApply, Event::Click, [form, adapters, services, busy](EventArgs&) {
        if (*busy) return;
        *busy = true;
        applySettings(*form, *adapters, services);
        *busy = false;
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

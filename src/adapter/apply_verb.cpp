#include "adapter/apply_verb.h"

#include "adapter/settings.h"

namespace adapter {

std::vector<std::string> verbArguments(const ApplyRequest& r, std::string_view progressWindow,
                                       std::optional<int> confirmSeconds, std::string_view answer) {
    std::vector<std::string> out{std::string(kApplyVerb), r.instance};
    out.insert(out.end(), r.fields.begin(), r.fields.end());
    if (!progressWindow.empty()) {
        out.emplace_back(kProgressOption);
        out.emplace_back(progressWindow);
    }
    if (confirmSeconds) {
        out.emplace_back(kConfirmOption);
        out.push_back(std::to_string(*confirmSeconds));
        if (!answer.empty()) {
            out.emplace_back(kAnswerOption);
            out.emplace_back(answer);
        }
    }
    return out;
}

bool isFieldText(std::string_view text) {
    if (text.empty()) return true;
    int parts = 0;
    for (;;) {
        const size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (part.empty() || part.size() > 3) return false;
        if (part.size() > 1 && part[0] == '0') return false;   // a leading zero
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + (c - '0');
        }
        if (value > 255) return false;
        ++parts;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return parts == 4;
}

std::optional<VerbCall> parseVerb(const std::vector<std::string>& args, platform::Registry& registry) {
    constexpr size_t kValues = 1 + 5;
    if (args.size() < 1 + kValues || args[0] != kApplyVerb) return std::nullopt;
    VerbCall call;
    call.request.instance = args[1];
    for (size_t i = 0; i < 5; ++i) call.request.fields[i] = args[2 + i];
    const auto options = parseVerbOptions(std::span<const std::string>(args).subspan(1 + kValues));
    if (!options) return std::nullopt;
    call.progressWindow = options->progressWindow;
    call.confirmSeconds = options->confirmSeconds;
    call.answer = options->answer;
    for (const std::string& f : call.request.fields)
        if (!isFieldText(f)) return std::nullopt;
    if (call.request.instance.empty()) return std::nullopt;

    // Only an adapter of the walk.
    AdapterLists lists;
    枚举网卡(registry, lists);
    for (int k = 0; k < lists.size(); ++k)
        if (lists.网卡实例表[k] == call.request.instance) {
            call.driverKey = lists.driverKeys[k];
            return call;
        }
    return std::nullopt;
}

int applyWithRights(platform::Registry& registry, const ApplyRequest& r, const RestartTarget& target,
                    const RestartServices& restart, const StepReport& report, const ConfirmPlan* plan) {
    const auto& f = r.fields;
    if (!写入网卡设置(registry, r.instance, f[0], f[1], f[2], f[3], f[4])) return kExitNotWritten;
    auto restartReporting = [&restart, &target](const std::function<void(Step)>& steps) {
        return restartAdapter(restart, target, steps);
    };
    const int code = restartReporting([&report](Step s) { report(s, 0); }) ? kExitApplied : kExitRestartFailed;
    if (!plan) return code;
    return confirmOrUndo(plan->snapshot, code, plan->seconds, plan->answers, registry, restartReporting,
                         [&report, code](Step s) { report(s, s == Step::Confirming ? code : 0); });
}

int runVerb(const VerbCall& call, platform::Registry& registry, const RestartServices& restart,
            const StepReport& report, AnswerWait* answers) {
    const RestartTarget target{call.driverKey};
    if (!call.confirmSeconds) return applyWithRights(registry, call.request, target, restart, report, nullptr);
    // What cannot be put back is not overwritten on the promise of an undo.
    const std::optional<InterfaceSnapshot> snapshot = takeSnapshot(registry, call.request.instance);
    if (!snapshot || !answers) return kExitNotWritten;
    const ConfirmPlan plan{*snapshot, *call.confirmSeconds, *answers};
    return applyWithRights(registry, call.request, target, restart, report, &plan);
}

}  // namespace adapter

#include "adapter/apply_verb.h"

#include "adapter/settings.h"

namespace adapter {

std::vector<std::string> verbArguments(const ApplyRequest& r, std::string_view progressWindow) {
    std::vector<std::string> out{std::string(kApplyVerb), r.instance, r.device};
    out.insert(out.end(), r.fields.begin(), r.fields.end());
    if (!progressWindow.empty()) {
        out.emplace_back(kProgressOption);
        out.emplace_back(progressWindow);
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

namespace {

bool decimalNumber(std::string_view text) {
    if (text.empty() || text.size() > 20) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The options after the seven values: a name and its value each, every
// option at most once. False for anything else.
bool parseOptions(const std::vector<std::string>& args, size_t from, VerbCall& call) {
    bool progress = false;
    for (size_t i = from; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return false;
        const std::string& name = args[i];
        const std::string& value = args[i + 1];
        if (name == kProgressOption) {
            // A window handle, in decimal.
            if (progress || !decimalNumber(value)) return false;
            progress = true;
            call.progressWindow = value;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<VerbCall> parseVerb(const std::vector<std::string>& args, platform::Registry& registry) {
    constexpr size_t kValues = 2 + 5;
    if (args.size() < 1 + kValues || args[0] != kApplyVerb) return std::nullopt;
    VerbCall call;
    call.request.instance = args[1];
    call.request.device = args[2];
    for (size_t i = 0; i < 5; ++i) call.request.fields[i] = args[3 + i];
    if (!parseOptions(args, 1 + kValues, call)) return std::nullopt;
    for (const std::string& f : call.request.fields)
        if (!isFieldText(f)) return std::nullopt;
    if (call.request.instance.empty()) return std::nullopt;

    // Only an adapter of the walk, with its own device identifier.
    AdapterLists lists;
    枚举网卡(registry, lists);
    for (int k = 0; k < lists.size(); ++k)
        if (lists.网卡实例表[k] == call.request.instance && lists.设备标识表[k] == call.request.device) {
            call.driverKey = lists.driverKeys[k];
            return call;
        }
    return std::nullopt;
}

int runVerb(const VerbCall& call, platform::Registry& registry, const RestartServices& restart,
            const std::function<void(Step)>& report) {
    const ApplyRequest& r = call.request;
    const auto& f = r.fields;
    if (!写入网卡设置(registry, r.instance, f[0], f[1], f[2], f[3], f[4])) return kExitNotWritten;
    return restartAdapter(restart, {r.device, call.driverKey}, report) ? kExitApplied : kExitRestartFailed;
}

}  // namespace adapter

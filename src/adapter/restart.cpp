#include "adapter/restart.h"

#include <optional>

namespace adapter {
namespace {

platform::RunResult runStep(const RestartServices& s, std::string_view verb, std::string_view instanceId) {
    platform::RunOptions o;
    o.wait = true;
    o.mode = platform::WindowMode::Hidden;
    o.timeoutMs = s.timeoutMs;
    o.program = "cmd.exe";
    // cmd looks for devcon in its current directory first, then along PATH:
    // both are the system folder, where nobody but an administrator writes;
    // and nothing of the user's environment reaches the elevated children.
    o.startInSystemFolder = true;
    o.systemEnvironment = true;
    return s.runner.run(restartCommand(verb, instanceId), o);
}

bool succeeded(const platform::RunResult& r) { return r.started && r.finished && r.exitCode == 0; }

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The present device with the target's driver key.
std::optional<std::string> findDevice(const RestartServices& s, const RestartTarget& target) {
    if (!s.devices || target.driverKey.empty()) return std::nullopt;
    for (const platform::NetworkDevice& d : s.devices->present())
        if (!d.instance.empty() && sameDriverKey(d.driverKey, target.driverKey)) return d.instance;
    return std::nullopt;
}

}  // namespace

std::string restartCommand(std::string_view verb, std::string_view instanceId) {
    return "cmd /d /c devcon " + std::string(verb) + " \"@" + std::string(instanceId) + "\"";
}

bool isCommandLineId(std::string_view id) {
    if (id.empty()) return false;
    for (char c : id) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        std::string_view("_&.\\{}#-").find(c) != std::string_view::npos;
        if (!ok) return false;
    }
    return true;
}

bool sameDriverKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

bool restartAdapter(const RestartServices& s, const RestartTarget& target, const std::function<void(Step)>& report) {
    using platform::DeviceChange;
    const std::optional<std::string> device = findDevice(s, target);
    if (!device) return false;
    report(Step::Disabling);
    std::optional<platform::RunResult> disabled;
    if (isCommandLineId(*device)) disabled = runStep(s, "disable", *device);
    if (!disabled || (disabled->started && disabled->finished && disabled->exitCode == platform::kCommandNotFound)) {
        // No devcon on this machine, or an identifier no command line may
        // carry: nothing was disabled yet, and the device functions do what
        // devcon would have done.
        const DeviceChange off = s.devices->setEnabled(*device, false, s.timeoutMs);
        report(Step::Enabling);
        const DeviceChange on = s.devices->setEnabled(*device, true, s.timeoutMs);
        return off == DeviceChange::Done && on == DeviceChange::Done;
    }
    // The adapter is enabled again whatever the disable did.
    report(Step::Enabling);
    const platform::RunResult enabled = runStep(s, "enable", *device);
    if (succeeded(enabled)) return succeeded(*disabled);
    // devcon did not enable it (not started, ended by its bound, failed, or
    // cmd could not launch it this time): the adapter may be off, so the
    // device functions enable it rather than leave it so.
    const DeviceChange on = s.devices->setEnabled(*device, true, s.timeoutMs);
    return succeeded(*disabled) && on == DeviceChange::Done;
}

}  // namespace adapter

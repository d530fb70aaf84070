#include "adapter/restart.h"

namespace adapter {
namespace {

platform::RunResult runStep(const RestartServices& s, std::string_view verb, std::string_view device) {
    platform::RunOptions o;
    o.wait = true;
    o.mode = platform::WindowMode::Hidden;
    o.timeoutMs = s.timeoutMs;
    o.program = "cmd.exe";
    // cmd looks for devcon in its current directory first, then along PATH:
    // both are the system folder, where nobody but an administrator writes.
    o.startInSystemFolder = true;
    o.systemPathOnly = true;
    return s.runner.run(restartCommand(verb, device), o);
}

bool succeeded(const platform::RunResult& r) { return r.started && r.finished && r.exitCode == 0; }

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The device functions on the target's own device only.
platform::DeviceChange changeDevice(const RestartServices& s, const RestartTarget& target, bool enable) {
    if (target.driverKey.empty()) return platform::DeviceChange::Failed;
    for (const platform::NetworkDevice& d : s.devices->present())
        if (sameDriverKey(d.driverKey, target.driverKey)) return s.devices->setEnabled(d.instance, enable, s.timeoutMs);
    return platform::DeviceChange::Failed;
}

}  // namespace

std::string restartCommand(std::string_view verb, std::string_view device) {
    return "cmd /d /c devcon " + std::string(verb) + " \"" + std::string(device) + "\"";
}

bool sameDriverKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

bool restartAdapter(const RestartServices& s, const RestartTarget& target, const std::function<void(Step)>& report) {
    using platform::DeviceChange;
    report(Step::Disabling);
    const platform::RunResult disabled = runStep(s, "disable", target.device);
    if (s.devices && disabled.started && disabled.finished && disabled.exitCode == platform::kCommandNotFound) {
        // No devcon on this machine: nothing was disabled yet, and the
        // device functions do what it would have done.
        const DeviceChange off = changeDevice(s, target, false);
        report(Step::Enabling);
        const DeviceChange on = changeDevice(s, target, true);
        return off == DeviceChange::Done && on == DeviceChange::Done;
    }
    // The adapter is enabled again whatever the disable did.
    report(Step::Enabling);
    const platform::RunResult enabled = runStep(s, "enable", target.device);
    if (succeeded(enabled)) return succeeded(disabled);
    // devcon did not enable it (not started, ended by its bound, failed, or
    // cmd could not launch it this time): the adapter may be off, so the
    // device functions enable it rather than leave it so.
    if (!s.devices) return false;
    const DeviceChange on = changeDevice(s, target, true);
    return succeeded(disabled) && on == DeviceChange::Done;
}

}  // namespace adapter

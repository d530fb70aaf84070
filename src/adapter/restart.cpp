#include "adapter/restart.h"

namespace adapter {
namespace {

platform::RunResult runStep(const RestartServices& s, std::string_view verb, std::string_view device) {
    platform::RunOptions o;
    o.wait = true;
    o.mode = platform::WindowMode::Hidden;
    o.timeoutMs = kRestartTimeoutMs;
    o.pumpMessages = s.pumpMessages;
    o.program = "cmd.exe";
    // cmd looks for devcon in its current directory first: the system
    // folder, where nobody but an administrator writes.
    o.startInSystemFolder = true;
    return s.runner.run(restartCommand(verb, device), o);
}

bool succeeded(const platform::RunResult& r) { return r.started && r.finished && r.exitCode == 0; }

}  // namespace

std::string restartCommand(std::string_view verb, std::string_view device) {
    return "cmd /c devcon " + std::string(verb) + " \"" + std::string(device) + "\"";
}

bool restartAdapter(const RestartServices& s, std::string_view device, const std::function<void(Step)>& report) {
    report(Step::Disabling);
    const platform::RunResult disabled = runStep(s, "disable", device);
    if (s.devices && disabled.started && disabled.finished && disabled.exitCode == platform::kCommandNotFound) {
        // No devcon on this machine: nothing was disabled yet, and the
        // device functions do what it would have done.
        const platform::DeviceChange off = s.devices->setEnabled(device, false, kRestartTimeoutMs);
        report(Step::Enabling);
        const platform::DeviceChange on = s.devices->setEnabled(device, true, kRestartTimeoutMs);
        return off == platform::DeviceChange::Done && on == platform::DeviceChange::Done;
    }
    // The adapter is enabled again whatever the disable did.
    report(Step::Enabling);
    const platform::RunResult enabled = runStep(s, "enable", device);
    if (succeeded(enabled)) return succeeded(disabled);
    // devcon did not enable it (not started, ended by its bound, failed, or
    // cmd could not launch it this time): the adapter may be off, so the
    // device functions enable it rather than leave it so.
    if (!s.devices) return false;
    const platform::DeviceChange on = s.devices->setEnabled(device, true, kRestartTimeoutMs);
    return succeeded(disabled) && on == platform::DeviceChange::Done;
}

}  // namespace adapter

// The adapter restart after a write: disable, then enable, with the device
// console's two command lines, or through the system's device functions
// where that tool is not installed. Shared by the apply in the window and
// by the elevated instance.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/devices.h"
#include "platform/runner.h"

namespace adapter {

// How long each step may take before it counts as failed.
inline constexpr unsigned kRestartTimeoutMs = 60000;

// The steps as they are reported (the elevated instance sends these numbers
// to the window that started it).
enum class Step : int { Disabling = 1, Enabling = 2 };

struct RestartServices {
    platform::Runner& runner;
    platform::Devices* devices = nullptr;   // null: no restart without the device console
    bool pumpMessages = true;               // keep the caller's windows painting while a step runs
};

// "cmd /c devcon disable \"D\"" and "cmd /c devcon enable \"D\"".
std::string restartCommand(std::string_view verb, std::string_view device);

// Reports Disabling, disables the adapter, reports Enabling, enables it. The
// enable always runs, and only once the disable and everything it started
// have ended (a disable past its bound is ended first). When cmd does not
// know devcon, both steps go through `devices` instead; when the devcon
// enable does not succeed, `devices` enables the adapter all the same. True when both steps
// succeeded in time; a step that wants a reboot counts as failed.
bool restartAdapter(const RestartServices& services, std::string_view device, const std::function<void(Step)>& report);

}  // namespace adapter

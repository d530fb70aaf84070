// The adapter restart after a write: disable, then enable, with the device
// console's two command lines, or through the system's device functions
// where that tool is not installed. Shared by the apply in the window (on a
// worker thread) and by the elevated instance. Nothing here touches a
// window: every call blocks the thread it runs on.
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
// to the window that started it). The last three belong to the remote-safe
// apply (confirm.h): the wait for the user's answer, then the undo's own
// restart.
enum class Step : int { Disabling = 1, Enabling = 2, Confirming = 3, UndoDisabling = 4, UndoEnabling = 5 };

struct RestartServices {
    platform::Runner& runner;
    platform::Devices* devices = nullptr;   // null: no restart without the device console
    unsigned timeoutMs = kRestartTimeoutMs;   // each step's bound (tests shorten it)
};

// The adapter to restart: its matching device identifier (for devcon) and
// the class key entry the walk found it in (for the device functions).
struct RestartTarget {
    std::string device;      // 设备标识表[k]
    std::string driverKey;   // "{4d36e972-e325-11ce-bfc1-08002be10318}\\NNNN"
};

// "cmd /d /c devcon disable \"D\"" and "cmd /d /c devcon enable \"D\"".
std::string restartCommand(std::string_view verb, std::string_view device);

// Whether two driver keys name the same class key entry (letter case aside).
bool sameDriverKey(std::string_view a, std::string_view b);

// Reports Disabling, disables the adapter, reports Enabling, enables it. The
// enable always runs, and only once the disable and everything it started
// have ended (a disable past its bound is ended first). The commands run the
// system's cmd in the system folder, without AutoRun, with PATH the system
// folder alone: only an administrator's devcon is ever run. When cmd does
// not know devcon, both steps go through `devices` instead, on the one
// device whose driver key is the target's (never another that shares its
// identifiers); when the devcon enable does not succeed, `devices` enables
// that device all the same. True when both steps succeeded in time; a step
// that wants a reboot counts as failed.
bool restartAdapter(const RestartServices& services, const RestartTarget& target,
                    const std::function<void(Step)>& report);

}  // namespace adapter

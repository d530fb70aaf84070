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
    platform::Devices* devices = nullptr;   // null: no device is found, nothing restarts
    unsigned timeoutMs = kRestartTimeoutMs;   // each step's bound (tests shorten it)
};

// The adapter to restart: the class key entry the walk found it in. Its
// device is the present network device with that driver key, as the device
// functions report it; never one found by a hardware identifier, which
// several devices may share (two ports of one card, two virtual NICs).
struct RestartTarget {
    std::string driverKey;   // "{4d36e972-e325-11ce-bfc1-08002be10318}\\NNNN"
};

// "cmd /d /c devcon disable \"@ID\"" and "cmd /d /c devcon enable \"@ID\"":
// the device by its instance identifier, in devcon's exact form.
std::string restartCommand(std::string_view verb, std::string_view instanceId);

// Whether an instance identifier may be put on a command line: not empty,
// and only letters, digits and _&.\{}#- (nothing cmd would expand or split
// on, such as % or a quote).
bool isCommandLineId(std::string_view instanceId);

// Whether two driver keys name the same class key entry (letter case aside).
bool sameDriverKey(std::string_view a, std::string_view b);

// Finds the target's device among the present ones; without one (or
// without `devices`) nothing runs and nothing is reported: false. Else
// reports Disabling, disables the device, reports Enabling, enables it. The
// enable always runs, and only once the disable and everything it started
// have ended (a disable past its bound is ended first). The commands run the
// system's cmd in the system folder, without AutoRun, with the system's
// environment (PATH the system folder alone): only an administrator's
// devcon is ever run. When cmd does not know devcon, or the instance
// identifier is not fit for a command line, both steps go through the
// device functions on that device; when the devcon enable does not
// succeed, the device functions enable it all the same. True when both
// steps succeeded in time; a step that wants a reboot counts as failed.
bool restartAdapter(const RestartServices& services, const RestartTarget& target,
                    const std::function<void(Step)>& report);

}  // namespace adapter

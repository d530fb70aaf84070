// Disabling and enabling a network adapter through the system's
// device-installation functions (no outside tool needed).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class DeviceChange {
    Done,          // the device changed
    RebootNeeded,  // changed, but the system wants a restart before it takes effect
    Failed,        // no such device, or a change the system refused or that ran past its bound
};

// A present network adapter as the device-installation functions see it.
struct NetworkDevice {
    std::string instance;    // device instance identifier
    std::string driverKey;   // its driver key (SPDRP_DRIVER), "{4d36e972-...}\\NNNN"; "" when it has none
};

// Calls block; they may be made from any thread, one at a time.
class Devices {
public:
    virtual ~Devices() = default;
    // The present devices of the network adapter class.
    virtual std::vector<NetworkDevice> present() = 0;
    // Disables (enable = false) or enables, for every hardware profile, the
    // one device with this instance identifier. A change that takes longer
    // than timeoutMs counts as Failed, but is still waited for (a call into
    // the system cannot be ended, and nothing may overtake it). Requires
    // administrator rights.
    virtual DeviceChange setEnabled(std::string_view instance, bool enable, unsigned timeoutMs) = 0;
};

}  // namespace platform

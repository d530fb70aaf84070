// Disabling and enabling a device through the system's device-installation
// functions (no outside tool needed).
#pragma once

#include <string_view>

namespace platform {

enum class DeviceChange {
    Done,          // every matching device changed
    RebootNeeded,  // changed, but the system wants a restart before it takes effect
    Failed,        // no matching device, or a change the system refused
};

class Devices {
public:
    virtual ~Devices() = default;
    // Disables (enable = false) or enables, for every hardware profile, each
    // network adapter whose device instance identifier or one of whose
    // hardware identifiers is `id` (letter case aside), the way the device
    // console selects devices by identifier. Blocks until the system is
    // done, window messages processed meanwhile; a change that takes longer
    // than timeoutMs counts as Failed, but is still waited for (a call into
    // the system cannot be ended, and nothing may overtake it). Requires
    // administrator rights.
    virtual DeviceChange setEnabled(std::string_view id, bool enable, unsigned timeoutMs) = 0;
};

}  // namespace platform

// The system tick count.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since the system started (does not wrap).
    virtual std::int64_t tickCount() = 0;
};

}  // namespace platform

// Waiting while the windows keep working.
#pragma once

namespace platform {

class Pause {
public:
    virtual ~Pause() = default;
    // Returns after `ms` milliseconds; window messages are processed
    // meanwhile, so other handlers may run during the wait. UI thread only.
    virtual void pause(int ms) = 0;
};

}  // namespace platform

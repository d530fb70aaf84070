// The machine's one-apply-at-a-time lock of the adapter apply: the elevated
// instance and the in-process apply both take it before they read or write
// anything, and hold it until their keep-or-undo has ended.
#pragma once

#include <memory>

namespace platform {

class ApplyLock {
public:
    // The lock, held until this object goes. Goes on the thread that took it.
    class Held {
    public:
        virtual ~Held() = default;
    };

    virtual ~ApplyLock() = default;
    // Takes the lock without waiting; null when someone else holds it, or
    // when it cannot be made (a lock that cannot be made safely is not
    // taken). Any thread; the thread that holds it releases it.
    virtual std::unique_ptr<Held> take() = 0;
};

}  // namespace platform

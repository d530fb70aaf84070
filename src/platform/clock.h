// The system tick count, and today's date.
#pragma once

#include <compare>
#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since the system started (does not wrap).
    virtual std::int64_t tickCount() = 0;
};

// A day of the Gregorian calendar; ordered by time.
struct Date {
    int year = 0, month = 0, day = 0;
    auto operator<=>(const Date&) const = default;
};

class Calendar {
public:
    virtual ~Calendar() = default;
    // Today in UTC. Safe to call from any thread (the download worker
    // asks it).
    virtual Date todayUtc() = 0;
};

}  // namespace platform

// Administrator rights on demand: whether this process has them, and
// running this program again with them behind the system's consent prompt.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// start adds this option and the number of the window the instance reports
// its steps to after the caller's arguments.
inline constexpr std::string_view kProgressWindowOption = "--progress-window";

// A started elevated instance, followed while this object lives. Destroying
// it stops following (no callback runs any more) and lets the process run
// on by itself.
class ElevatedInstance {
public:
    virtual ~ElevatedInstance() = default;
};

struct ElevatedCallbacks {
    // A step the instance reported (a small positive number), in order, with
    // the number it sent along (0 when none).
    std::function<void(int step, int detail)> progress;
    // The instance has ended: its exit code, nullopt when it cannot be read.
    // Comes after every step it reported, and once.
    std::function<void(std::optional<int> code)> ended;
};

class Elevation {
public:
    virtual ~Elevation() = default;

    // True when this process may change the machine's settings itself: it
    // runs elevated, or the system has no consent prompt to offer.
    virtual bool elevated() = 0;

    // False when this program cannot safely be run again elevated (the
    // program asking is not known to be the program that would be
    // started): then no elevation is offered at all, and start is not
    // called.
    virtual bool canElevate() = 0;

    // Runs this program again with administrator rights (the consent prompt
    // first) and the arguments, each of which arrives as one argument
    // (empty ones too), and returns at once with the instance to follow;
    // nullptr when it did not start (the prompt declined, or no way to start
    // it). The callbacks run later on the calling (user-interface) thread,
    // from its message loop, never after the returned object is gone.
    virtual std::unique_ptr<ElevatedInstance> start(const std::vector<std::string>& arguments,
                                                    ElevatedCallbacks callbacks) = 0;
};

}  // namespace platform

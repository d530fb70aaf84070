// Administrator rights on demand: whether this process has them, and
// running this program again with them behind the system's consent prompt.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// runElevated adds this option and the number of the window the instance
// reports its steps to after the caller's arguments.
inline constexpr std::string_view kProgressWindowOption = "--progress-window";

class Elevation {
public:
    virtual ~Elevation() = default;

    // True when this process may change the machine's settings itself: it
    // runs elevated, or the system has no consent prompt to offer.
    virtual bool elevated() = 0;

    // Runs this program again with administrator rights (the consent prompt
    // first) and the arguments, each of which arrives as one argument
    // (empty ones too). The instance may report steps (small positive
    // numbers); `progress` gets them on the calling thread, in order, while
    // this waits for the instance to end (window messages are processed
    // meanwhile). Returns the instance's exit code; nullopt when it did not
    // start (the prompt declined, or no way to start it) or did not end
    // within timeoutMs.
    virtual std::optional<int> runElevated(const std::vector<std::string>& arguments, unsigned timeoutMs,
                                           const std::function<void(int step)>& progress) = 0;
};

}  // namespace platform

// Ending the process.
#pragma once

namespace platform {

class Process {
public:
    virtual ~Process() = default;
    // Ends the process at once with this exit code; does not return (a test
    // double records the call and returns).
    virtual void exit(int code) = 0;
};

}  // namespace platform

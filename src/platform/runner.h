// Starting command lines.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// Window of the started process.
enum class WindowMode : int {
    Hidden = 1,
    Normal = 2,
    Minimised = 3,
    Maximised = 4,
    NormalNoActivate = 5,
    MinimisedNoActivate = 6,
};

struct RunOptions {
    bool wait = false;                       // block until the process has ended
    WindowMode mode = WindowMode::Normal;
    // With wait: give up waiting after this many ms (0 = no limit).
    std::uint32_t timeoutMs = 0;
    // With wait: keep processing window messages while waiting, so windows
    // keep painting. Without it the caller's thread is blocked.
    bool pumpMessages = false;
};

struct RunResult {
    bool started = false;
    bool finished = false;       // with wait: the process ended within the limit
    std::uint32_t exitCode = 0;  // valid when finished
};

class Runner {
public:
    virtual ~Runner() = default;
    // Starts a command line (no separate program path; searched the usual
    // way, the tool's own directory first). The process inherits the current
    // directory. Without wait, returns after the new process is ready for
    // input or 1000 ms, whichever comes first.
    virtual RunResult run(std::string_view commandLine, const RunOptions& options) = 0;
};

}  // namespace platform

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
    // With wait: the process and everything it started may take this many
    // ms (0 = no limit); what still runs then is ended before run returns.
    std::uint32_t timeoutMs = 0;
    // With wait: keep processing window messages while waiting, so windows
    // keep painting. Without it the caller's thread is blocked.
    bool pumpMessages = false;
    // The program started: a program of the system folder named by its file
    // name ("cmd.exe", "mstsc.exe"), started by its full path there and never
    // searched for. The command line is handed to it as it is.
    std::string_view program = "cmd.exe";
    // Start in the system folder instead of the program's current directory,
    // so that a name the started program looks up (cmd looking for devcon)
    // is not found in a folder others can write.
    bool startInSystemFolder = false;
    // Hand the started program the system's environment instead of this
    // process's: the machine's variables as the system keeps them,
    // SystemRoot and windir the Windows folder, PATH the system folder
    // alone, nothing of the user's (no PATHEXT, windir or compatibility
    // layer of theirs), so that an elevated child runs only what an
    // administrator put there. Not started when it cannot be built.
    bool systemEnvironment = false;
};

struct RunResult {
    bool started = false;
    bool finished = false;       // with wait: the process tree ended within the limit
    std::uint32_t exitCode = 0;  // valid when finished
};

// The exit code of "cmd /c NAME ..." when cmd finds no command NAME.
inline constexpr std::uint32_t kCommandNotFound = 9009;

class Runner {
public:
    virtual ~Runner() = default;
    // Starts options.program with the command line. Without wait, returns
    // after the new process is ready for input or 1000 ms, whichever comes
    // first, and the process lives on by itself. With wait, the process and
    // every process it starts run as one group: run returns once all of
    // them have ended, or, past timeoutMs, once all of them have been ended.
    virtual RunResult run(std::string_view commandLine, const RunOptions& options) = 0;
};

}  // namespace platform

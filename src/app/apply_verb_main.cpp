// The tool started with "--apply-adapter ...": the elevated instance of the
// adapter apply. It takes the machine-wide apply lock, checks every argument
// against the machine, does the apply without any window and ends with the
// apply's exit code. Asked to (--confirm-within), it keeps what the key held
// and, after the restart, waits for the user's answer on the window's events
// (--answer) or for the time, and undoes the apply unless it was kept: the
// undo needs neither the window nor a new consent prompt.
#include "app/apply_verb_main.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "adapter/apply_verb.h"
#include "platform/win32/adapter_win32.h"
#include "platform/win32/confirm_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"

namespace app {
namespace {

// The window named by the progress option, when it is one of ours: the
// elevated instance posts to nothing else.
HWND progressTarget(const std::string& text) {
    if (text.empty() || text.size() > 20) return nullptr;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return nullptr;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    HWND h = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(v));
    if (!h || !IsWindow(h)) return nullptr;
    wchar_t cls[64] = {};
    if (!GetClassNameW(h, cls, 64) || std::wstring_view(cls) != win32::kProgressClass) return nullptr;
    return h;
}

}  // namespace

std::optional<int> runApplyVerb(const wchar_t* commandLine) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv) return std::nullopt;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(win32::narrow(argv[i]));
    LocalFree(argv);
    if (args.empty() || args[0] != adapter::kApplyVerb) return std::nullopt;

    // One instance applies at a time, on the whole machine, for as long as
    // it runs (its wait for the answer and its undo included): another one
    // ends at once with nothing written.
    win32::Win32ApplyLock lock;
    const std::unique_ptr<platform::ApplyLock::Held> held = lock.take();
    if (!held) return adapter::kExitNotWritten;
    win32::Win32Registry registry;
    const std::optional<adapter::VerbCall> call = adapter::parseVerb(args, registry);
    if (!call) return adapter::kExitNotWritten;
    // The window's answer events must be there before anything is written.
    std::optional<win32::AnswerEvents> events;
    if (!call->answer.empty()) {
        events = win32::AnswerEvents::open(call->answer);
        if (!events) return adapter::kExitNotWritten;
    }
    win32::Win32AnswerWait answers(events ? &*events : nullptr);
    HWND target = progressTarget(call->progressWindow);
    const UINT message = win32::progressMessage();
    win32::Win32Runner runner;
    win32::Win32Devices devices;
    return adapter::runVerb(
        *call, registry, {runner, &devices},
        [target, message](adapter::Step s, int restartCode) {
            if (target) PostMessageW(target, message, static_cast<WPARAM>(s), static_cast<LPARAM>(restartCode));
        },
        &answers);
}

}  // namespace app

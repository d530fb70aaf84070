// Starting command lines with CreateProcessW.
#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

WORD showCommand(platform::WindowMode mode) {
    switch (mode) {
        case platform::WindowMode::Hidden: return SW_HIDE;
        case platform::WindowMode::Normal: return SW_SHOWNORMAL;
        case platform::WindowMode::Minimised: return SW_SHOWMINIMIZED;
        case platform::WindowMode::Maximised: return SW_SHOWMAXIMIZED;
        case platform::WindowMode::NormalNoActivate: return SW_SHOWNOACTIVATE;
        case platform::WindowMode::MinimisedNoActivate: return SW_SHOWMINNOACTIVE;
    }
    return SW_SHOWNORMAL;
}

// Waits for the process while dispatching this thread's messages, so the
// caller's windows keep painting. Returns early on WM_QUIT, which is posted
// again once the wait is over.
void waitPumping(HANDLE process, std::uint32_t timeoutMs) {
    const bool unlimited = timeoutMs == 0;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::optional<WPARAM> quit;
    for (;;) {
        DWORD slice = INFINITE;
        if (!unlimited) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) break;
            slice = static_cast<DWORD>(deadline - now);
        }
        // MWMO_INPUTAVAILABLE: also wake for messages that were already
        // queued before this call, not only for new ones.
        const DWORD w = MsgWaitForMultipleObjectsEx(1, &process, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (w != WAIT_OBJECT_0 + 1) break;  // ended, timed out or failed
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = msg.wParam;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (quit) break;
    }
    if (quit) PostQuitMessage(static_cast<int>(*quit));
}

}  // namespace

platform::RunResult Win32Runner::run(std::string_view commandLine, const platform::RunOptions& options) {
    platform::RunResult result;
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring command = widen(commandLine);
    if (command.empty() || command.find(L'\0') != std::wstring::npos) return result;

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showCommand(options.mode);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return result;
    UniqueHandle process(pi.hProcess);
    CloseHandle(pi.hThread);
    result.started = true;

    if (!options.wait) {
        // Returns at once for console programs, which never go idle.
        WaitForInputIdle(process.get(), 1000);
        return result;
    }

    if (options.pumpMessages) {
        waitPumping(process.get(), options.timeoutMs);
    } else {
        WaitForSingleObject(process.get(), options.timeoutMs == 0 ? INFINITE : options.timeoutMs);
    }
    // The process may have ended on the last tick of the wait: ask once more.
    if (WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) return result;
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code)) {
        result.finished = true;
        result.exitCode = code;
    }
    return result;
}

}  // namespace win32

// Starting command lines with CreateProcessW: system programs by their full
// path, waited-for runs inside a job object that ends their whole tree.
#include <windows.h>

#include <algorithm>
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

// A bare file name: no folder, no drive, no stream, nothing to climb out of.
bool plainFileName(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    return name.find_first_of(L"\\/:\"<>|?*") == std::wstring_view::npos;
}

// Processes of the job that have not ended yet; 0 when the job cannot say.
DWORD liveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr)) return 0;
    return info.ActiveProcesses;
}

// Waits, in short slices, until no process of the job is left or the
// deadline (a GetTickCount64 value) passes; true when none is left.
bool awaitEmptyJob(HANDLE job, ULONGLONG deadline, bool pump) {
    while (liveProcesses(job) > 0) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        waitFor(nullptr, static_cast<std::uint32_t>(std::min<ULONGLONG>(deadline - now, 20)), pump);
    }
    return true;
}

// This process's environment block with PATH (any letter case) set to
// `folder` alone, in the form CreateProcessW takes with
// CREATE_UNICODE_ENVIRONMENT. Empty when the environment cannot be read.
std::wstring environmentWithPath(const std::wstring& folder) {
    wchar_t* block = GetEnvironmentStringsW();
    if (!block) return {};
    std::wstring out;
    bool replaced = false;
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        const std::wstring_view entry(p);
        // Names such as "=C:" start with '=': look for the '=' after it.
        const size_t eq = entry.find(L'=', 1);
        const std::wstring_view name = entry.substr(0, eq);
        if (CompareStringOrdinal(name.data(), static_cast<int>(name.size()), L"PATH", 4, TRUE) == CSTR_EQUAL) {
            if (replaced) continue;
            replaced = true;
            out += std::wstring(name) + L"=" + folder;
        } else {
            out += entry;
        }
        out += L'\0';
    }
    FreeEnvironmentStringsW(block);
    if (!replaced) out += L"Path=" + folder + L'\0';
    out += L'\0';
    return out;
}

// How long the end of a tree that ran past its limit may take.
constexpr ULONGLONG kEndTreeMs = 10000;

}  // namespace

std::wstring systemFolder() {
    wchar_t buf[MAX_PATH];
    const UINT n = GetSystemDirectoryW(buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring dir(buf, n);
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    return dir;
}

bool waitFor(HANDLE handle, std::uint32_t timeoutMs, bool pump) {
    const DWORD count = handle ? 1 : 0;
    if (!pump) {
        if (!handle) {
            Sleep(timeoutMs);
            return false;
        }
        return WaitForSingleObject(handle, timeoutMs == 0 ? INFINITE : timeoutMs) == WAIT_OBJECT_0;
    }
    const bool unlimited = timeoutMs == 0;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::optional<WPARAM> quit;
    bool signalled = false;
    for (;;) {
        DWORD slice = INFINITE;
        if (!unlimited) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) break;
            slice = static_cast<DWORD>(deadline - now);
        }
        // MWMO_INPUTAVAILABLE: also wake for messages that were already
        // queued before this call, not only for new ones.
        const DWORD w = MsgWaitForMultipleObjectsEx(count, &handle, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (handle && w == WAIT_OBJECT_0) {
            signalled = true;
            break;
        }
        if (w != WAIT_OBJECT_0 + count) break;  // timed out or failed
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = msg.wParam;   // held: the wait goes on
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    return signalled;
}

platform::RunResult Win32Runner::run(std::string_view commandLine, const platform::RunOptions& options) {
    platform::RunResult result;
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring command = widen(commandLine);
    if (command.empty() || command.find(L'\0') != std::wstring::npos) return result;
    const std::wstring name = widen(options.program);
    if (!plainFileName(name)) return result;
    const std::wstring folder = m_systemFolder.empty() ? systemFolder() : m_systemFolder;
    if (folder.empty()) return result;
    const std::wstring program = folder + L"\\" + name;
    const wchar_t* directory = options.startInSystemFolder ? folder.c_str() : nullptr;
    std::wstring environment;
    if (options.systemPathOnly) {
        environment = environmentWithPath(folder);
        if (environment.empty()) return result;
    }
    void* env = options.systemPathOnly ? environment.data() : nullptr;
    const DWORD envFlag = options.systemPathOnly ? CREATE_UNICODE_ENVIRONMENT : 0;

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = showCommand(options.mode);
    PROCESS_INFORMATION pi{};

    if (!options.wait) {
        if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, envFlag, env, directory, &si, &pi))
            return result;
        UniqueHandle process(pi.hProcess);
        CloseHandle(pi.hThread);
        result.started = true;
        // Returns at once for console programs, which never go idle.
        WaitForInputIdle(process.get(), 1000);
        return result;
    }

    // The job ends every process of the tree when its handle closes, on
    // every way out of this function.
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return result;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) return result;

    // Started suspended, so that it is in the job before it can start
    // anything. Where the tool itself runs in a job that does not nest
    // (Windows 7), the process leaves that job if it may.
    bool assigned = false;
    for (DWORD extra : {DWORD{0}, DWORD{CREATE_BREAKAWAY_FROM_JOB}}) {
        if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | extra | envFlag,
                            env, directory, &si, &pi))
            continue;
        if (AssignProcessToJobObject(job.get(), pi.hProcess)) {
            assigned = true;
            break;
        }
        TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (!assigned) return result;
    UniqueHandle process(pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    result.started = true;

    const ULONGLONG deadline = options.timeoutMs == 0 ? ~0ULL : GetTickCount64() + options.timeoutMs;
    const bool pump = options.pumpMessages;
    bool ended = waitFor(process.get(), options.timeoutMs, pump);
    // What the process started may still run: it has the rest of the time.
    if (ended) ended = awaitEmptyJob(job.get(), deadline, pump);
    if (!ended) {
        TerminateJobObject(job.get(), 1);
        awaitEmptyJob(job.get(), GetTickCount64() + kEndTreeMs, pump);
        WaitForSingleObject(process.get(), static_cast<DWORD>(kEndTreeMs));
        return result;
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code)) {
        result.finished = true;
        result.exitCode = code;
    }
    return result;
}

}  // namespace win32

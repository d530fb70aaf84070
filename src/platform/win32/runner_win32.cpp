// Starting command lines with CreateProcessW: system programs by their full
// path, waited-for runs inside a job object that ends their whole tree.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

bool sameName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The system's variables, name to value, names compared without case.
struct Variables {
    std::vector<std::pair<std::wstring, std::wstring>> list;
    const std::wstring* find(std::wstring_view name) const {
        for (const auto& [n, v] : list)
            if (sameName(n, name)) return &v;
        return nullptr;
    }
    void set(std::wstring_view name, std::wstring value) {
        for (auto& [n, v] : list)
            if (sameName(n, name)) {
                v = std::move(value);
                return;
            }
        list.emplace_back(std::wstring(name), std::move(value));
    }
};

// %NAME% replaced by NAME's value in `vars`; a name it does not hold stays
// as it is (as the system's own expansion leaves it).
std::wstring expandAgainst(std::wstring_view text, const Variables& vars) {
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t open = text.find(L'%', i);
        if (open == std::wstring_view::npos) break;
        const size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) break;
        out.append(text.substr(i, open - i));
        const std::wstring_view name = text.substr(open + 1, close - open - 1);
        if (const std::wstring* value = name.empty() ? nullptr : vars.find(name)) {
            out += *value;
            i = close + 1;
        } else {
            out += L'%';   // the second % may open the next name
            i = open + 1;
        }
    }
    out.append(text.substr(i));
    return out;
}

// A text value as stored, its terminating nulls taken off.
std::wstring textOf(const std::vector<BYTE>& data, DWORD size) {
    std::wstring v(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!v.empty() && v.back() == L'\0') v.pop_back();
    return v;
}

// The environment the system gives its own processes, built from nothing
// of this process's: the machine's variables from the Session Manager's
// key, SystemRoot and windir the Windows folder, REG_EXPAND_SZ values
// expanded against this block alone, PATH `folder`. In the form
// CreateProcessW takes with CREATE_UNICODE_ENVIRONMENT, sorted by name.
// Empty when the Windows folder cannot be had.
std::wstring systemEnvironment(const std::wstring& folder) {
    wchar_t windows[MAX_PATH];
    const UINT n = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring root(windows, n);
    while (root.size() > 3 && root.back() == L'\\') root.pop_back();
    Variables vars;
    vars.set(L"SystemRoot", root);
    vars.set(L"windir", root);
    std::vector<std::pair<std::wstring, std::wstring>> expandable;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                      KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        std::vector<BYTE> data(64 * 1024);
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD nameLen = 256, type = 0, size = static_cast<DWORD>(data.size());
            const LONG rc = RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data.data(), &size);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) continue;
            const std::wstring_view nm(name, nameLen);
            // Not a variable name, or one this block sets itself.
            if (nm.empty() || nm.find(L'=') != std::wstring_view::npos || sameName(nm, L"SystemRoot") ||
                sameName(nm, L"windir") || sameName(nm, L"PATH"))
                continue;
            if (type == REG_SZ) vars.set(nm, textOf(data, size));
            else if (type == REG_EXPAND_SZ) expandable.emplace_back(std::wstring(nm), textOf(data, size));
        }
        RegCloseKey(key);
    }
    for (const auto& [name, value] : expandable) vars.set(name, expandAgainst(value, vars));
    vars.set(L"Path", folder);
    std::sort(vars.list.begin(), vars.list.end(), [](const auto& a, const auto& b) {
        return CompareStringOrdinal(a.first.c_str(), -1, b.first.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::wstring out;
    for (const auto& [name, value] : vars.list) {
        out += name + L"=" + value;
        out += L'\0';
    }
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
    if (options.systemEnvironment) {
        environment = systemEnvironment(folder);
        if (environment.empty()) return result;
    }
    void* env = options.systemEnvironment ? environment.data() : nullptr;
    const DWORD envFlag = options.systemEnvironment ? CREATE_UNICODE_ENVIRONMENT : 0;

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

// The adapter apply's Windows side: administrator rights on demand (the
// consent prompt, an elevated instance of the tool reporting back) and the
// restart through the device-installation functions. Only
// src/platform/win32, the program's entry and the Windows tests include
// this header.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/apply_lock.h"
#include "platform/devices.h"
#include "platform/elevation.h"

namespace win32 {

// One argument quoted the way CommandLineToArgvW reads it back as one
// (empty, blanks, quotes and backslashes included).
std::wstring quoteArgument(std::wstring_view argument);

// The window class the elevated instance reports to, and its message
// (wParam: the step, lParam: a number sent along with it).
inline constexpr wchar_t kProgressClass[] = L"KorvanApplyProgress";
UINT progressMessage();

// A message-only window of the calling thread, of that class: each step an
// instance posts to it reaches `progress` when the thread dispatches it.
class ProgressReceiver {
public:
    explicit ProgressReceiver(std::function<void(int step, int detail)> progress);
    virtual ~ProgressReceiver();
    ProgressReceiver(const ProgressReceiver&) = delete;
    ProgressReceiver& operator=(const ProgressReceiver&) = delete;
    HWND hwnd() const { return m_hwnd; }   // null when it could not be made
    // Dispatches the steps already queued for it.
    void drain();

protected:
    // Another message of this window (the elevated instance's end).
    virtual void other(UINT message, WPARAM wParam, LPARAM lParam) {}

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
    std::function<void(int, int)> m_progress;
    HWND m_hwnd = nullptr;
};

// Elevated: the token says so, or the system's consent prompt is switched
// off (EnableLUA 0), so there is nobody to ask. start runs the program with
// ShellExecuteExW and the "runas" verb and keeps the process handle: a
// thread-pool wait on it posts the end to the same message-only window of
// this thread the instance posts its steps to, so the end arrives after
// every step; where that wait cannot be registered, a timer of that window
// polls the handle instead. Call from the UI thread.
class Win32Elevation final : public platform::Elevation {
public:
    // `self`: the hold on this program's own executable (holdOwnExecutable,
    // kept open as long as this object): the program started is the file of
    // that handle, by its final path. Null or invalid: no hold, no
    // elevation offered.
    explicit Win32Elevation(HANDLE self) : m_self(self) {}
    // Tests: another program, and another verb than "runas"; with
    // registerWait false the end is found by polling alone.
    Win32Elevation(std::wstring program, std::wstring verb, bool registerWait = true)
        : m_program(std::move(program)), m_verb(std::move(verb)), m_registerWait(registerWait) {}
    bool elevated() override;
    bool canElevate() override;
    std::unique_ptr<platform::ElevatedInstance> start(const std::vector<std::string>& arguments,
                                                      platform::ElevatedCallbacks callbacks) override;

private:
    std::wstring program();
    HANDLE m_self = nullptr;
    std::wstring m_program;        // "" = the held file
    std::wstring m_verb = L"runas";
    bool m_registerWait = true;
};

// The path GetFinalPathNameByHandleW returned, as a program is started by
// it: "\\?\" taken off, "\\?\UNC\" turned into "\\".
std::wstring launchPath(std::wstring_view finalPath);

// The final path of the file behind `file` (VOLUME_NAME_DOS) as launchPath
// gives it; "" when it cannot be had.
std::wstring heldFilePath(HANDLE file);

// The apply lock: a mutex in the private namespace "Korvan" whose boundary
// holds the Administrators group and the high integrity label, the
// namespace and the mutex admitting Administrators and SYSTEM alone, so a
// standard user's process can neither create nor open it first. Where the
// system offers no private namespaces (their functions are missing, or
// stubs that make no boundary, as under Wine), the named mutex
// kApplyMutexName instead. A namespace that exists but cannot be opened or
// made refuses the lock. An abandoned mutex (its holder ended without
// letting go) is taken.
class Win32ApplyLock final : public platform::ApplyLock {
public:
    std::unique_ptr<Held> take() override;
    // Tests: whether take() would go through the private namespace.
    static bool privateNamespaces();
};
inline constexpr wchar_t kApplyMutexName[] = L"Global\\Korvan.ApplyAdapter";

// The present devices of the network class with their driver keys, and
// SetupDiSetClassInstallParamsW + SetupDiCallClassInstaller(DIF_PROPERTYCHANGE)
// with DICS_DISABLE or DICS_ENABLE, DICS_FLAG_GLOBAL, on the one device with
// the given instance identifier. Blocks the calling thread.
class Win32Devices final : public platform::Devices {
public:
    std::vector<platform::NetworkDevice> present() override;
    platform::DeviceChange setEnabled(std::string_view instance, bool enable, unsigned timeoutMs) override;
};

}  // namespace win32

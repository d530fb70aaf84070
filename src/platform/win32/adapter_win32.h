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
// every step. Call from the UI thread.
class Win32Elevation final : public platform::Elevation {
public:
    Win32Elevation() = default;
    // Tests: another program, and another verb than "runas".
    Win32Elevation(std::wstring program, std::wstring verb) : m_program(std::move(program)), m_verb(std::move(verb)) {}
    bool elevated() override;
    std::unique_ptr<platform::ElevatedInstance> start(const std::vector<std::string>& arguments,
                                                      platform::ElevatedCallbacks callbacks) override;

private:
    std::wstring m_program;        // "" = this program
    std::wstring m_verb = L"runas";
};

// The elevated instance's hold on the apply: a named mutex, one instance on
// the machine at a time. Held until the object goes (or the process ends).
class ApplyLock {
public:
    ApplyLock();
    ~ApplyLock();
    ApplyLock(const ApplyLock&) = delete;
    ApplyLock& operator=(const ApplyLock&) = delete;
    bool held() const { return m_held; }   // false: another instance applies

private:
    HANDLE m_mutex = nullptr;
    bool m_held = false;
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

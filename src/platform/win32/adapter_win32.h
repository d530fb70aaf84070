// The adapter apply's Windows side: administrator rights on demand (the
// consent prompt, an elevated instance of the tool reporting back) and the
// restart through the device-installation functions. Only
// src/platform/win32, the program's entry and the Windows tests include
// this header.
#pragma once

#include <windows.h>

#include <functional>
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
// (wParam: the step).
inline constexpr wchar_t kProgressClass[] = L"KorvanApplyProgress";
UINT progressMessage();

// A message-only window of the calling thread, of that class: each step an
// instance posts to it reaches `progress` when the thread dispatches it.
class ProgressReceiver {
public:
    explicit ProgressReceiver(std::function<void(int step)> progress);
    ~ProgressReceiver();
    ProgressReceiver(const ProgressReceiver&) = delete;
    ProgressReceiver& operator=(const ProgressReceiver&) = delete;
    HWND hwnd() const { return m_hwnd; }   // null when it could not be made
    // Dispatches the steps already queued for it.
    void drain();

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
    std::function<void(int)> m_progress;
    HWND m_hwnd = nullptr;
};

// Elevated: the token says so, or the system's consent prompt is switched
// off (EnableLUA 0), so there is nobody to ask. runElevated starts the
// program with ShellExecuteExW and the "runas" verb; the instance's steps
// arrive at a message-only window of this thread. Call from the UI thread.
class Win32Elevation final : public platform::Elevation {
public:
    Win32Elevation() = default;
    // Tests: another program, and another verb than "runas".
    Win32Elevation(std::wstring program, std::wstring verb) : m_program(std::move(program)), m_verb(std::move(verb)) {}
    bool elevated() override;
    std::optional<int> runElevated(const std::vector<std::string>& arguments, unsigned timeoutMs,
                                   const std::function<void(int step)>& progress) override;

private:
    std::wstring m_program;        // "" = this program
    std::wstring m_verb = L"runas";
};

// SetupDiSetClassInstallParamsW + SetupDiCallClassInstaller(DIF_PROPERTYCHANGE)
// with DICS_DISABLE or DICS_ENABLE, DICS_FLAG_GLOBAL, on each present
// network adapter the identifier names. The calls run on a worker thread
// while the caller's thread keeps dispatching its messages.
class Win32Devices final : public platform::Devices {
public:
    platform::DeviceChange setEnabled(std::string_view id, bool enable, unsigned timeoutMs) override;
    // The instance identifiers of the devices `id` selects, as setEnabled
    // would change them.
    static std::vector<std::string> selected(std::string_view id);
};

}  // namespace win32

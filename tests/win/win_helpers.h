// Small helpers shared by the Windows tests.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <source_location>
#include <string>
#include <thread>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "shell/app.h"

namespace wintest {

inline std::wstring binaryDir() {
    wchar_t buf[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 4);
    std::wstring path(buf, n);
    return path.substr(0, path.find_last_of(L"\\/"));
}

inline std::string windowText(HWND h) {
    wchar_t buf[8192] = {};
    SendMessageW(h, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buf));
    return win32::narrow(buf);
}

inline void setWindowText(HWND h, const std::string& utf8) {
    SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(win32::widen(utf8).c_str()));
}

inline bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::string readAll(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(f);
    return out;
}

inline bool writeAll(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

// A folder that stands in for the system folder of a runner built on it
// (win32::Win32Runner(folder)): the logging stand-in as cmd.exe and
// mstsc.exe, so its log shows exactly which program got which command line.
// Shared by the test binaries; a copy is only made when missing or stale (a
// running one cannot be replaced).
inline std::wstring standinSystemFolder() {
    const std::wstring dir = binaryDir() + L"\\standin-system";
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::string standin = readAll(binaryDir() + L"\\standin.exe");
    for (const wchar_t* name : {L"\\cmd.exe", L"\\mstsc.exe"})
        if (readAll(dir + name) != standin) CopyFileW((binaryDir() + L"\\standin.exe").c_str(), (dir + name).c_str(), FALSE);
    return dir;
}

// The real runner on the stand-in system folder, counting its calls, so
// that "nothing started" needs no waiting.
struct CountingRunner : platform::Runner {
    win32::Win32Runner real{standinSystemFolder()};
    int calls = 0;
    platform::RunResult run(std::string_view commandLine, const platform::RunOptions& options) override {
        ++calls;
        return real.run(commandLine, options);
    }
};

// A wait that came through but took more than a third of its limit is
// noted, "file:line took N of M ms", in the file KORVAN_SLOW_WAITS names
// (scripts/stress sets it): the limits are meant to be 3x what the waits
// take on a busy machine.
inline void noteSlowWait(std::chrono::steady_clock::time_point start, int limitMs, const std::source_location& where) {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    wchar_t file[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"KORVAN_SLOW_WAITS", file, MAX_PATH);
    if (took.count() * 3 <= limitMs || n == 0 || n >= MAX_PATH) return;
    std::string name = where.file_name();
    name = name.substr(name.find_last_of("\\/") + 1);
    const std::string line =
        name + ":" + std::to_string(where.line()) + " took " + std::to_string(took.count()) + " of " + std::to_string(limitMs) + " ms\n";
    HANDLE f = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(f);
}

// Runs the message loop until `done` or the limit passes.
template <class Pred>
bool pumpUntil(win32::Win32Windows& w, Pred done, int limitMs = 10000,
               std::source_location where = std::source_location::current()) {
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        w.pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    noteSlowWait(start, limitMs, where);
    return true;
}

// Opens the application's main window; the splash is dismissed with a
// click as soon as it shows.
inline win32::Win32Form* openMain(shell::App& app) {
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND splash = FindWindowW(L"KorvanWindow", L"");
        if (!splash || !IsWindowVisible(splash)) return;
        KillTimer(nullptr, id);
        HWND picture = GetWindow(splash, GW_CHILD);
        PostMessageW(picture ? picture : splash, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    });
    return static_cast<win32::Win32Form*>(app.openMainWindow());
}

// The window's outer size in 96-DPI pixels, measured on the real window.
inline SIZE outerSize(const win32::Win32Form& f) {
    RECT r;
    GetWindowRect(f.hwnd(), &r);
    return {MulDiv(r.right - r.left, 96, f.dpi()), MulDiv(r.bottom - r.top, 96, f.dpi())};
}

// Guards a test that shows a modal dialog box and has a helper thread
// answer it. Should the helper give up (the box never looked as expected),
// the box would wait for a click forever and take the whole binary down at
// the test runner's limit. After `limitMs` the watchdog dismisses every
// dialog box of this process that is still shown (Cancel, No or OK,
// whichever it has), and the test fails when the guard goes out of scope.
class DialogWatchdog {
public:
    explicit DialogWatchdog(int limitMs = 20000)
        : thread_([this, limitMs] {
              const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
              while (!stop_) {
                  if (std::chrono::steady_clock::now() >= end) {
                      if (dismissAll()) fired_ = true;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          }) {}
    ~DialogWatchdog() {
        stop_ = true;
        thread_.join();
        if (fired_) ADD_FAILURE() << "a dialog box was left open; the watchdog dismissed it";
    }
    DialogWatchdog(const DialogWatchdog&) = delete;
    DialogWatchdog& operator=(const DialogWatchdog&) = delete;

    bool fired() const { return fired_; }

private:
    static bool dismissAll() {
        struct Found {
            bool any = false;
        } found;
        EnumWindows(
            [](HWND h, LPARAM lp) -> BOOL {
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                wchar_t cls[16] = {};
                GetClassNameW(h, cls, 16);
                if (pid != GetCurrentProcessId() || wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(h)) return TRUE;
                reinterpret_cast<Found*>(lp)->any = true;
                for (int id : {IDCANCEL, IDNO, IDOK}) {
                    if (HWND button = GetDlgItem(h, id)) {
                        PostMessageW(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
                        return TRUE;
                    }
                }
                PostMessageW(h, WM_CLOSE, 0, 0);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found.any;
    }

    std::atomic<bool> stop_{false}, fired_{false};
    std::thread thread_;   // last: starts once the flags exist
};

}  // namespace wintest

// The Win32 implementations of the platform services, and the small RAII
// wrapper they share for kernel handles. It brings in <windows.h>, so only
// src/platform/win32 and the Windows tests include it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/runner.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/tasks.h"

namespace win32 {

// Owns one kernel handle and closes it once. NULL and INVALID_HANDLE_VALUE
// both mean "none". Move-only: a copy would close the same handle twice.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : m_handle(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE h = m_handle;
        m_handle = nullptr;
        return h;
    }
    void reset(HANDLE h = nullptr) {
        if (*this) CloseHandle(m_handle);
        m_handle = h;
    }

private:
    HANDLE m_handle = nullptr;
};

// Frees what the system handed over with LocalAlloc (security descriptors,
// SID strings): std::unique_ptr<void, LocalFreer>.
struct LocalFreer {
    void operator()(void* p) const { LocalFree(p); }
};

// The system folder (GetSystemDirectoryW) without a trailing separator;
// "" when it cannot be read.
std::wstring systemFolder();

// Waits until `handle` is signalled, at most timeoutMs (0 = no limit); a
// null handle waits for the time alone. With pump, this thread's messages
// are dispatched meanwhile, so its windows keep painting; a WM_QUIT met then
// is held and posted again once the wait is over, so that no wait ends
// early for it. True when the handle was signalled.
bool waitFor(HANDLE handle, std::uint32_t timeoutMs, bool pump);

// CreateProcessW with the full path of options.program in the system folder
// as the application name and the command line as it is, so no program is
// ever taken from the tool's folder, the current directory or PATH.
// Without wait the process lives on by itself. With wait it runs in a job
// object of its own that ends the whole process tree when it is closed:
// run returns once the tree is gone, and a tree still running at the limit
// is ended first. Call from the UI thread when pumpMessages is set; without
// it from any thread. With systemEnvironment the process gets the system's
// variables (HKLM's Session Manager\Environment, SystemRoot and windir from
// GetSystemWindowsDirectoryW, REG_EXPAND_SZ expanded against that block
// alone) with PATH the (stand-in) system folder, none of this process's.
class Win32Runner final : public platform::Runner {
public:
    Win32Runner() = default;
    // Tests: a folder that stands in for the system folder.
    explicit Win32Runner(std::wstring systemFolder) : m_systemFolder(std::move(systemFolder)) {}
    platform::RunResult run(std::string_view commandLine, const platform::RunOptions& options) override;

private:
    std::wstring m_systemFolder;
};

// Workers and timers for the thread that creates it (the UI thread): a
// message-only window of that thread runs what the workers post and the
// timers' closures. The destructor waits for every worker, then drops what
// is still queued unrun.
class Win32Tasks final : public platform::Tasks {
public:
    Win32Tasks();
    ~Win32Tasks() override;
    Win32Tasks(const Win32Tasks&) = delete;
    Win32Tasks& operator=(const Win32Tasks&) = delete;
    bool start(std::function<void(const Post& post)> job) override;
    void after(unsigned ms, std::function<void()> then) override;

    struct Shared;   // what the workers' posts reach (tasks_win32.cpp)

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
    std::shared_ptr<Shared> m_shared;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> m_workers;
    std::map<UINT_PTR, std::function<void()>> m_timers;
    UINT_PTR m_nextTimer = 1;
};

// Opens the running program's own file without write or delete sharing and
// keeps it so until the handle closes: while it is held nobody can rename,
// replace or remove the executable the tool would elevate. Null when the
// file cannot be opened so.
UniqueHandle holdOwnExecutable();

// MessageBoxW, task-modal, without an owner window. A box that cannot be
// shown answers Cancel.
class Win32Dialogs final : public platform::Dialogs {
public:
    platform::Answer messageBox(const platform::MessageBoxSpec& spec) override;
    // A dialog built in code (inputbox_win32.cpp), owned by the active window.
    std::optional<std::string> inputBox(std::string_view title, std::string_view prompt,
                                        std::string_view initial) override;
};

class Win32System final : public platform::System {
public:
    // DNS host name (GetComputerNameExW), else Winsock's gethostname; at most
    // 255 characters; "" when neither works.
    std::string hostName() override;
    // Directory of the running .exe, UTF-8, no trailing separator.
    std::string programDirectory() override;
};

// UTF-8 paths, W functions. write() replaces an existing file, keeping its
// hidden and system attributes; a write that fails part-way removes the
// partial file and returns false. remove() does not touch read-only files.
class Win32Files final : public platform::Files {
public:
    bool exists(std::string_view path) override;
    bool write(std::string_view path, std::string_view bytes) override;
    // CREATE_NEW: fails when the name exists, in the same step as creating.
    bool createNew(std::string_view path, std::string_view bytes) override;
    std::optional<std::string> read(std::string_view path) override;
    bool setAttributes(std::string_view path, std::uint32_t attributes) override;
    bool remove(std::string_view path) override;
};

// ShellExecuteW with the default verb. The calling thread should have COM
// initialised (single-threaded apartment), as the shell expects.
class Win32Shell final : public platform::Shell {
public:
    bool open(std::string_view target) override;
};

}  // namespace win32

// The Win32 implementations of the platform services, and the small RAII
// wrapper they share for kernel handles. It brings in <windows.h>, so only
// src/platform/win32 and the Windows tests include it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/runner.h"
#include "platform/shell.h"
#include "platform/system.h"

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

// CreateProcessW with the command line alone, so a bare program name is
// searched the system's way: the tool's own directory, the system
// directories, then PATH. Call from the UI thread when pumpMessages is set
// (it dispatches that thread's messages while waiting). A WM_QUIT met while
// pumping ends the wait early (finished is then whatever the process state
// is at that moment) and is posted again for the caller's loop. A process
// still running when the wait gives up is left running.
class Win32Runner final : public platform::Runner {
public:
    platform::RunResult run(std::string_view commandLine, const platform::RunOptions& options) override;
};

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

// The Win32 implementations of the FTP connection (WinINet), the local disk
// and the pause that keeps windows working. Only src/platform/win32 and the
// Windows tests include this.
#pragma once

#include <windows.h>

#include "platform/win32/inet_handle.h"
#include <wininet.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/ftp.h"
#include "platform/localdisk.h"
#include "platform/pause.h"

namespace win32 {

class Win32Windows;

// How long an FTP step may go without a byte crossing its connections (no
// entry, no block of a transfer, no reply) before it fails.
inline constexpr int kFtpStallMs = 30000;

// The limits of FTP steps. Tests shorten them so that none waits for the
// real ones.
struct FtpLimits {
    int stallMs = kFtpStallMs;
};
void setFtpLimits(const FtpLimits& limits);
FtpLimits ftpLimits();

// Starts the thread of an FTP step. A test replaces it to see what a step
// does when its thread cannot start; nullptr restores std::thread.
using FtpThreadStart = std::thread (*)(std::function<void()> body);
void setFtpThreadStart(FtpThreadStart start);

// One entry as WinINet's A listing hands it over, its name decoded from
// UTF-8 (`utf8`) or the ANSI code page; marked when it does not decode.
platform::DirEntry dirEntryOf(const WIN32_FIND_DATAA& found, bool utf8);

// The process's FTP connection over WinINet. The internet handle is opened
// on first use (agent "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)",
// direct, no proxy) and kept until the object goes; the connection lives
// from open() to close() or the next open(). The login is kept in memory
// while the connection lives, for the passive login of the fallback
// (platform/ftp.h). UI thread only.
//
// Each call is a step that runs on a thread of its own while the calling
// thread's windows keep painting and running their timers; clicks and keys
// meanwhile are dropped as on a disabled window, except those for a window
// that holds its owner disabled (a question asked over it), which go
// through `windows`' dispatch as in the message loop. A step ends early, with
// its failure result and the connection closed, when no byte crossed its
// connections for FtpLimits::stallMs, or when the step window (see
// setStepWindow) is asked to close or WM_QUIT arrives. A close request for
// any other window is held and goes on once the step is over. Inside a
// WinINet call that reads a whole listing (Wine reads it all within
// FtpFindFirstFileW) and while the data handle's close waits for the final
// reply, no progress can be seen: there WinINet's receive time-out bounds
// the wait instead of the tool's limit.
//
// Giving a step up returns to the window at once: the step's WinINet
// handles (and the connection) are closed and its partial file is removed
// on a thread of their own, so the window never waits for a server or a
// disk. The step's worker makes no WinINet call once the step was given
// up. A WinINet call that does not return when its handle closes (Wine's do
// not) is left to end on its own; it touches nothing of this object any
// more. Nothing thrown on the step's thread leaves it: a failed allocation
// or thread start is the step's failure. No lock is held across a disk or
// network call.
//
// Names go through WinINet's A functions as bytes of the connection's
// encoding (platform/ftp.h): after each login, the fallback's included, the
// worker that logged in sends OPTS UTF8 ON and reads its reply at once.
// Every other text (host, account, local paths) goes through W functions.
//
// Transfers are binary and go through FtpOpenFileA with reads and writes of
// 1 MiB (far quicker than FtpGetFile / FtpPutFile under Wine, the same on
// Windows); when they are done is said in platform/ftp.h. get() downloads
// into a temporary file beside the local name and puts it in place only
// when done, so a failed download never damages the file it was to replace.
class Win32Ftp final : public platform::Ftp {
public:
    // `windows` (may be null: plain dialog-key dispatch) outlives this.
    explicit Win32Ftp(Win32Windows* windows = nullptr) : windows_(windows) {}
    ~Win32Ftp() override;
    Win32Ftp(const Win32Ftp&) = delete;
    Win32Ftp& operator=(const Win32Ftp&) = delete;

    bool open(std::string_view server, const std::optional<std::string>& account,
              const std::optional<std::string>& password, int port, bool passive) override;
    void close() override;
    bool isOpen() const override { return static_cast<bool>(connection_); }
    std::string currentDirectory() override;
    bool setCurrentDirectory(std::string_view path) override;
    std::vector<platform::DirEntry> list(std::string_view pattern) override;
    bool get(std::string_view remote, std::string_view local) override;
    bool put(std::string_view local, std::string_view remote) override;
    bool removeFile(std::string_view name) override;
    bool rename(std::string_view from, std::string_view to) override;
    bool createDirectory(std::string_view name) override;
    bool removeDirectory(std::string_view name) override;
    void setStepWindow(ui::Form* window) override;
    void setProgress(Progress progress) override { progress_ = std::move(progress); }
    bool fits(std::string_view name) override;
    // Whether the connection works in passive mode now.
    bool passive() const { return login_ && login_->passive; }

    // What a passive login again needs; kept while the connection lives.
    struct Login {
        std::wstring host;
        std::optional<std::wstring> user, password;
        int port = 0;
        bool passive = false;
        // Names are UTF-8 on the wire (the server took OPTS UTF8 ON), else
        // in the system's ANSI code page.
        bool utf8 = false;
    };
    // Whether the connection's names are UTF-8 on the wire now.
    bool utf8() const;

private:
    // Runs `work` as a step as described above; `work` gets the step's
    // shared state and must hold nothing of this object. A call made while
    // another is under way returns `failed` at once.
    template <class R, class F>
    R call(R failed, F&& work);

    // Runs a step that uses the data connection: the fallback to passive
    // mode may replace the connection.
    template <class R, class F>
    R dataCall(R failed, F&& work);

    Win32Windows* windows_ = nullptr;
    // The bytes to send for a name or path; nullopt when it does not fit.
    std::optional<std::string> wireOf(std::string_view name) const;
    // Keeps an entry's bytes under the name it shows.
    void learn(const std::string& name, const std::string& bytes, bool decoded);
    void forgetNames();

    bool busy_ = false;
    HWND stepWindow_ = nullptr;
    Progress progress_;
    InetHandle session_;
    InetHandle connection_;
    std::shared_ptr<Login> login_;
    // The current directory's entries from its last listing, by the name
    // they show; and the directory as last read, shown and as bytes.
    struct Known {
        std::string bytes;
        bool decoded = true;
    };
    std::map<std::string, Known, std::less<>> entries_;
    std::string directory_, directoryBytes_;
};

// The process's current drive and directory, FindFirstFileW listings in
// local time, and shared opens of a file. Read-only files are neither held
// open nor written, even where the system would let an administrator.
class Win32LocalDisk final : public platform::LocalDisk {
public:
    std::string currentDirectory() override;
    bool setCurrentDirectory(std::string_view path) override;
    bool setCurrentDrive(char letter) override;
    std::vector<platform::DirEntry> list() override;
    std::unique_ptr<platform::HeldFile> holdOpen(std::string_view path) override;
    bool writeShared(std::string_view path, std::string_view bytes) override;
};

// A waitable timer waited for with MsgWaitForMultipleObjects; the messages
// that arrive meanwhile go through the windows' own dispatch. A WM_QUIT
// ends the pause early and stays queued for the message loop.
class Win32Pause final : public platform::Pause {
public:
    explicit Win32Pause(Win32Windows& windows) : windows_(windows) {}
    void pause(int ms) override;

private:
    Win32Windows& windows_;
};

}  // namespace win32

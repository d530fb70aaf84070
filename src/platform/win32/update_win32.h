// Win32 implementations of the services the update uses: the download
// component over WinINet, the desktop folder, the tick count, file sizes and
// the process exit. Brings in <windows.h>: only src/platform/win32 and the
// Windows tests include it.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/downloader.h"
#include "platform/filesize.h"
#include "platform/process.h"
#include "platform/signature.h"

namespace win32 {

// The download component. Create it on the user-interface thread: it owns a
// message-only window there, through which the worker's notifications
// arrive as posted messages whose payload the UI thread then owns. The
// worker reads fixed blocks with InternetReadFile (system proxy, cache
// bypassed, only status 200 accepted) into "<file>.part", held open without
// write or delete sharing from its creation until it is renamed to the file
// through the same handle, once the byte count matches the announced length
// and the task's check accepted the SHA-256 of the bytes written (hashed on
// a second thread while the transfer goes on) with the signature text
// fetched over the same session. It checks the cancel flag before every
// block and pauses for the rate limit in slices of at most 100 ms. Only
// the worker uses and closes its WinINet handles. No window is touched
// from the worker, and no exception leaves it.
class Win32Downloader final : public platform::Downloader {
public:
    Win32Downloader();
    // Stops a running task, drops undelivered notifications and waits for
    // every worker, stopped ones too (each ends within its task's time
    // limits), so none outlives the component.
    ~Win32Downloader() override;
    Win32Downloader(const Win32Downloader&) = delete;
    Win32Downloader& operator=(const Win32Downloader&) = delete;

    bool start(const platform::DownloadTask& task) override;
    std::int64_t downloadedBytes() override;
    std::int64_t takeTaskBytes() override;
    std::int64_t takeAllBytes() override;
    void stop() override;

    struct Job;   // shared by the component and its worker

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    void deliver(LPARAM payload);
    void reapWorkers(bool all);

    struct Worker {
        std::shared_ptr<Job> job;
        std::thread thread;
    };
    HWND window_ = nullptr;
    std::shared_ptr<Job> job_;
    std::vector<Worker> workers_;   // the current task's and stopped ones still running
    unsigned nextId_ = 1;
    std::shared_ptr<std::atomic<std::int64_t>> allBytes_;
};

// The check of a package's signature with CNG: ECDSA P-256 against the
// public key given (X then Y, 32 bytes each), which the caller builds in.
// verify() imports the key each time and may run on any thread.
class Win32SignatureCheck final : public platform::SignatureCheck {
public:
    explicit Win32SignatureCheck(const std::array<std::uint8_t, 64>& publicKey);
    bool verify(std::string_view message, const platform::P256Signature& signature) const override;

private:
    std::array<std::uint8_t, 64> key_;
};

// SHA-256 with CNG, fed piece by piece. Any failure makes add() and
// finish() false from then on. One thread at a time.
class Sha256Hash {
public:
    Sha256Hash();
    ~Sha256Hash();
    Sha256Hash(const Sha256Hash&) = delete;
    Sha256Hash& operator=(const Sha256Hash&) = delete;
    bool add(const void* data, std::size_t size);
    bool finish(platform::Sha256& out);   // once

private:
    struct State;
    std::unique_ptr<State> state_;
};

// SHGetFolderPathW(CSIDL_DESKTOPDIRECTORY) with a trailing backslash.
class Win32Desktop final : public platform::Desktop {
public:
    std::string desktopDirectory() override;
};

// GetTickCount64, and GetSystemTime's date.
class Win32Clock final : public platform::Clock, public platform::Calendar {
public:
    std::int64_t tickCount() override;
    platform::Date todayUtc() override;
};

// GetFileAttributesExW; -1 for a missing file or a directory.
class Win32FileSizes final : public platform::FileSizes {
public:
    std::int64_t fileSize(std::string_view path) override;
};

// ExitProcess.
class Win32Process final : public platform::Process {
public:
    void exit(int code) override;
};

}  // namespace win32

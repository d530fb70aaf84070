// The download component: fetches one address into one local file on a
// worker thread of its own, with counters the user-interface thread polls.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/signature.h"

namespace platform {

// Kinds of task. Only downloads are carried out; an upload is refused.
inline constexpr int kTaskDownload = 4096;
inline constexpr int kTaskUpload = 8192;

// Kinds of status notification.
inline constexpr int kStatusSize = 3;   // value = the total size the server announced
inline constexpr int kStatusEnd = 4;    // value = bytes written; sent once per task, whatever the outcome

struct DownloadNotice {
    int kind = 0;
    std::int64_t value = 0;
    // kStatusEnd only: the transfer ended cleanly, its byte count matches the
    // announced size (when there was one), the task's check (when it has
    // one) accepted it, and the file now lies under its final name. When
    // false, nothing is left at the final name by this task and the
    // temporary file is gone.
    bool ok = false;
};

struct DownloadTask {
    int kind = kTaskDownload;
    std::string url;         // http:// or https://
    // The final name. The transfer writes a temporary file beside it, of a
    // name of its own ("<localFile>.<pid>-<n>.part"), and renames it when
    // whole.
    std::string localFile;
    std::string user, password;
    std::int64_t rateLimit = 0;             // bytes per second; 0 = no limit
    std::uint32_t connectTimeoutMs = 0;     // 0 = the platform's default
    std::uint32_t sendTimeoutMs = 0;
    std::uint32_t receiveTimeoutMs = 0;
    std::uint32_t stopWaitMs = 1000;        // how long stop() waits for the worker
    std::uint32_t blockSize = 20480;        // bytes read at a time
    // Both are called on the thread that created the downloader (the
    // user-interface thread), never on the worker. Either may be empty.
    std::function<void(std::string_view)> onMessage;
    std::function<int(const DownloadNotice&)> onStatus;
    // The signed statement beside the package. After the transfer it is
    // fetched the package's way: the same proxy settings, agent,
    // certificate checks and time limits. Its body (at most
    // kMaxSignatureBytes; "" when it cannot be had) goes to verify. Empty:
    // nothing is fetched.
    std::string signatureUrl;
    // The check of a whole transfer, before the rename: given the SHA-256 of
    // exactly the bytes written to the temporary file (held open without
    // write or delete sharing from its creation until the rename) and the
    // statement's text; false fails the task (the temporary file is
    // removed, nothing is renamed). Called on the worker thread, so it must
    // touch no window and nothing the UI thread changes, only what outlives
    // the component. Empty: no check.
    std::function<bool(const Sha256&, std::string_view signature)> verify;
};

inline constexpr std::size_t kMaxSignatureBytes = 4096;

// One task at a time. Every call is made on the thread that created the
// component.
class Downloader {
public:
    virtual ~Downloader() = default;
    // Starts the task and returns at once. False when it is refused: another
    // task is running, the kind is not a download, the address is not HTTP(S),
    // or the local file name is not a file name (empty, ends in a separator).
    virtual bool start(const DownloadTask& task) = 0;
    // Bytes written by the running task, or by the last one once it has
    // ended; 0 before the first task.
    virtual std::int64_t downloadedBytes() = 0;
    // Bytes the current task received since the previous call; restarts at 0.
    virtual std::int64_t takeTaskBytes() = 0;
    // Bytes all transfers of the component received since the previous call;
    // restarts at 0.
    virtual std::int64_t takeAllBytes() = 0;
    // Stops the running task, if any: no notification of it arrives any
    // more and nothing is renamed to its final name. Its temporary file is
    // removed before this returns, unless a write of it is under way: that
    // write is not waited for; it finishes into the file, which the worker
    // removes when the write returns. A task started next has a temporary
    // file of its own, safe from the stopped one. Waits for the worker at
    // most the task's stop wait; a worker still waiting for data then ends
    // by itself within the task's time limits. Calling it again does
    // nothing more.
    virtual void stop() = 0;
};

}  // namespace platform

// What the files of the FTP connection share: a step and its worker's
// state, the connection a step works on, the server's replies, and the
// step runner (Win32Ftp::call and dataCall). Only ftp_win32_*.cpp include
// this.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/ftp_win32.h"
#include "platform/win32/platform_win32.h"

namespace win32::ftpwire {

constexpr DWORD kFresh = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kMaxDirectoryChars = 2048;

// What a given-up step leaves behind: its WinINet handles (children before
// the connection) and its partial file.
struct Leftovers {
    std::vector<HINTERNET> handles;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring part;
};

// Closes and removes what a step left, here and now.
void dispose(Leftovers& l);

// Closes and removes what a step left on a thread of its own: closing a
// transfer's handle can wait for the server, a delete for a slow disk, and
// the window does not wait for either. Without a thread it is done here.
void disposeElsewhere(Leftovers l);

// The state one step shares between its worker and the calling thread. The
// worker holds its WinINet handles and its partial file here, so that the
// calling thread can give the step up; each of them is closed once, by
// whichever side comes first. No lock is held across a call that can wait
// for a server or a disk.
class Step {
public:
    ~Step() {
        Leftovers l;
        l.handles.assign(handles_.rbegin(), handles_.rend());
        l.file = file_;
        l.part = part_;
        dispose(l);
    }

    // Calls into WinINet are made only while this is true: once the step
    // was given up its handles are closed (or about to be), and a handle
    // value is never used after its close.
    bool live() const {
        std::lock_guard<std::mutex> lock(m_);
        return !givenUp_;
    }

    // Worker: `h` (may be null) is the step's until close() or unhold();
    // null, with `h` closed, once the step was given up.
    HINTERNET hold(HINTERNET h) {
        if (!h) return nullptr;
        {
            std::lock_guard<std::mutex> lock(m_);
            if (!givenUp_) {
                handles_.push_back(h);
                return h;
            }
        }
        InternetCloseHandle(h);
        return nullptr;
    }
    // Worker: closes a held handle unless the calling thread has.
    void close(HINTERNET h) {
        if (unhold(h)) InternetCloseHandle(h);
    }
    // Worker: takes a held handle back; false when it was closed already.
    bool unhold(HINTERNET h) {
        std::lock_guard<std::mutex> lock(m_);
        auto it = std::find(handles_.begin(), handles_.end(), h);
        if (it == handles_.end()) return false;
        handles_.erase(it);
        if (fresh_ == h) fresh_ = nullptr;
        return true;
    }
    // Worker: a held connection that replaces the window's once the step is
    // over (the passive login of the fallback), and whether its names are
    // UTF-8.
    void adopt(HINTERNET connection, bool utf8) {
        std::lock_guard<std::mutex> lock(m_);
        fresh_ = connection;
        freshUtf8_ = utf8;
    }
    bool freshUtf8() const {
        std::lock_guard<std::mutex> lock(m_);
        return freshUtf8_;
    }
    // Calling thread, once the step has finished: the replacement
    // connection, no longer held by the step; null when there is none.
    HINTERNET takeFresh() {
        std::lock_guard<std::mutex> lock(m_);
        HINTERNET h = fresh_;
        fresh_ = nullptr;
        if (h) handles_.erase(std::find(handles_.begin(), handles_.end(), h));
        return h;
    }

    // Worker: the partial file of a download; false (file closed and
    // removed) once the step was given up.
    bool holdFile(HANDLE file, const std::wstring& part) {
        {
            std::lock_guard<std::mutex> lock(m_);
            if (!givenUp_) {
                file_ = file;
                part_ = part;
                return true;
            }
        }
        CloseHandle(file);
        DeleteFileW(part.c_str());
        return false;
    }
    // Worker (or its writer): writes to the partial file; false once given
    // up or failed. A file given up during the write is closed and removed
    // here, after it.
    bool write(const char* data, DWORD n) {
        HANDLE file;
        {
            std::lock_guard<std::mutex> lock(m_);
            if (givenUp_ || file_ == INVALID_HANDLE_VALUE) return false;
            file = file_;
            ++writers_;
        }
        DWORD written = 0;
        const bool ok = WriteFile(file, data, n, &written, nullptr) && written == n;
        Leftovers orphan;
        {
            std::lock_guard<std::mutex> lock(m_);
            --writers_;
            if (givenUp_ && writers_ == 0 && file_ != INVALID_HANDLE_VALUE) {
                orphan.file = file_;
                orphan.part = part_;
                file_ = INVALID_HANDLE_VALUE;
            }
        }
        dispose(orphan);
        return ok && orphan.file == INVALID_HANDLE_VALUE && live();
    }
    // Worker, with every write done: closes the partial file, then puts it
    // in place of `target` when `keep`, else removes it. False when it is
    // not in place.
    bool settleFile(bool keep, const std::wstring& target) {
        HANDLE file;
        std::wstring part;
        {
            std::lock_guard<std::mutex> lock(m_);
            if (file_ == INVALID_HANDLE_VALUE) return false;
            file = file_;
            part = part_;
            file_ = INVALID_HANDLE_VALUE;
            keep = keep && !givenUp_;
        }
        keep = CloseHandle(file) && keep;
        keep = keep && MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
        if (!keep) DeleteFileW(part.c_str());
        return keep;
    }

    // Worker: something crossed a connection (a reply, an entry, a block).
    void advance() { progress_.fetch_add(1, std::memory_order_relaxed); }
    unsigned progress() const { return progress_.load(std::memory_order_relaxed); }
    // Worker: bytes of a transfer; the file's size when known.
    void moved(std::uint64_t n) {
        bytes_.fetch_add(n, std::memory_order_relaxed);
        advance();
    }
    void setTotal(std::uint64_t n) { total_.store(n, std::memory_order_relaxed); }
    std::uint64_t bytes() const { return bytes_.load(std::memory_order_relaxed); }
    std::uint64_t total() const { return total_.load(std::memory_order_relaxed); }

    // Worker: marks a WinINet call in which no progress can be seen from
    // outside (a whole listing read in one call, the wait for a final
    // reply); the tool's stall limit does not run meanwhile.
    class Opaque {
    public:
        explicit Opaque(Step& s) : s_(s) { s_.opaque_.fetch_add(1); }
        ~Opaque() {
            s_.advance();
            s_.opaque_.fetch_sub(1);
        }
        Opaque(const Opaque&) = delete;
        Opaque& operator=(const Opaque&) = delete;

    private:
        Step& s_;
    };
    bool opaque() const { return opaque_.load() > 0; }

    // Worker, at its end: stores the result with `store` unless the step
    // was given up meanwhile. False when given up.
    template <class F>
    bool finish(F&& store) {
        std::lock_guard<std::mutex> lock(m_);
        if (givenUp_) return false;
        store();
        finished_ = true;
        return true;
    }
    // Calling thread: gives the step up unless it has finished, and hands
    // over what is left to close and remove (a file under a write stays
    // with its writer). False when it had finished.
    bool giveUp(Leftovers& out) {
        std::lock_guard<std::mutex> lock(m_);
        if (finished_) return false;
        givenUp_ = true;
        out.handles.assign(handles_.rbegin(), handles_.rend());
        handles_.clear();
        fresh_ = nullptr;
        if (file_ != INVALID_HANDLE_VALUE && writers_ == 0) {
            out.file = file_;
            out.part = part_;
            file_ = INVALID_HANDLE_VALUE;
        }
        return true;
    }

private:
    mutable std::mutex m_;
    bool givenUp_ = false, finished_ = false;
    std::vector<HINTERNET> handles_;
    HINTERNET fresh_ = nullptr;
    bool freshUtf8_ = false;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::wstring part_;
    int writers_ = 0;
    std::atomic<unsigned> progress_{0};
    std::atomic<int> opaque_{0};
    std::atomic<std::uint64_t> bytes_{0}, total_{0};
};

// What a step's worker shares with the calling thread.
template <class R>
struct Job {
    Step step;
    R result{};
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

enum class WaitEnd { Done, Stalled, Closing };

// Waits for `done` with this thread's windows painting, their timers
// running and the messages of other threads arriving. Clicks and keys meet
// a busy window and are dropped, as they would be on a disabled one, except
// those for a question (answersDuringStep). Ends
// when the step is done, when its progress counter has not moved for the
// stall limit (outside opaque calls), or when a close request that ends the
// step arrives; close requests and the messages that wait for the step are
// left in `later`. Transfer progress goes to `report` a few times a second.
WaitEnd waitResponsive(HANDLE done, const Step& step, std::vector<MSG>& later, HWND stepWindow,
                       Win32Windows* windows, const platform::Ftp::Progress& report);

// Posts again, in their order, the messages a step held back.
void postAgain(const std::vector<MSG>& later);

// The code of the server's last reply on this thread's WinINet calls, 0
// when there is none.
int lastReplyCode();

// Whether the WinINet call that just failed on this thread failed for want
// of a data connection: the server refused PORT/EPRT (500, 501, 502, 504,
// 522) or could not connect back (425), or WinINet could not connect or
// timed out. A 550 (no such file or folder) and an empty listing are not.
bool noDataConnection();

// The exact size of a file of the current directory (SIZE), when the
// server tells it. SIZE counts bytes of the binary image only: the
// connection is switched to it first unless a binary transfer just did.
std::optional<std::uint64_t> sizeOf(Step& step, HINTERNET connection, const std::string& name,
                                    bool binaryAlready = false);

// The size the server reports for a file after a binary transfer of it:
// SIZE, or else the one entry its listing gives for the exact name.
std::optional<std::uint64_t> reportedSize(Step& step, HINTERNET connection, const std::string& name);

// Worker, right after the close of a transfer's data handle (which reads
// the server's final reply): whether the transfer of `moved` bytes of
// `name` is done. An explicit 4xx/5xx or a reported size that disagrees
// refuses it; a 2xx or an equal reported size confirms it. Without either
// (no final reply read, no size told) it is not done.
bool transferDone(Step& step, HINTERNET connection, const std::string& name, std::uint64_t moved);

// The connection a step works on, and the login it came from.
struct Link {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    Win32Ftp::Login login;
};

// Worker: the fallback. Logs in again with the same login in passive mode
// and goes to the directory the old connection is in; only once it is
// there does the new connection become the step's (and the window's once
// the step is over). Otherwise it is closed, the old connection stays as
// it was, and the step fails. False when it cannot.
bool goPassive(Step& step, Link& link);

// Worker, right after a login: asks for UTF-8 names. True when the server
// takes them: a 2xx to OPTS UTF8 ON, or UTF8 among the features of a FEAT
// reply where WinINet hands over all its lines (Wine's keeps the last).
bool negotiateUtf8(Step& step, HINTERNET connection);

// Names between the wire's bytes (UTF-8 or the ANSI code page) and UTF-8.
// A name whose bytes do not decode comes with `ok` false, shown with
// replacement characters. A text that the encoding cannot hold, or that
// holds CR, LF, NUL or U+FFFD, has no bytes.
struct DecodedName {
    std::string text;
    bool ok = true;
};
DecodedName decodeName(std::string_view bytes, bool utf8);
std::optional<std::string> encodeName(std::string_view text, bool utf8);

// A listing with each entry's name as the server's bytes.
struct Listing {
    std::vector<platform::DirEntry> entries;
    std::vector<std::string> bytes;
};

// The server's bytes for the current directory: the path of the PWD reply
// (Wine's FtpGetCurrentDirectoryA cuts a path that is not ASCII), else
// what FtpGetCurrentDirectoryA gives. nullopt on failure.
std::optional<std::string> directoryBytes(Step& step, HINTERNET connection);

// The function that starts a step's thread (std::thread when none is set).
FtpThreadStart threadStart();

}  // namespace win32::ftpwire

namespace win32 {

template <class R, class F>
R Win32Ftp::call(R failed, F&& work) {
    // One call at a time on the connection: a window message handled while
    // a call waits cannot start another.
    if (busy_) return failed;
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(busy_);

    std::vector<MSG> later;
    R result = std::move(failed);
    try {
        auto job = std::make_shared<ftpwire::Job<R>>();
        if (!job->done) return result;
        std::function<void()> body = [job, work = std::forward<F>(work)]() mutable {
            try {
                R r = work(job->step);
                job->step.finish([&] { job->result = std::move(r); });
            } catch (...) {
                // The step fails; its result stays the failure value.
            }
            SetEvent(job->done.get());
        };
        const FtpThreadStart start = ftpwire::threadStart();
        std::thread worker = start ? start(std::move(body)) : std::thread(std::move(body));
        ftpwire::WaitEnd end = ftpwire::WaitEnd::Stalled;
        try {
            end = ftpwire::waitResponsive(job->done.get(), job->step, later, stepWindow_, windows_, progress_);
        } catch (...) {
            // Out of memory while waiting: the step is given up below.
        }
        ftpwire::Leftovers left;
        if (end == ftpwire::WaitEnd::Done || !job->step.giveUp(left)) {
            worker.join();
            result = std::move(job->result);
            if (HINTERNET fresh = job->step.takeFresh()) {
                // The fallback logged in again in passive mode: that
                // connection is the window's from now on.
                ftpwire::Leftovers old;
                old.handles.push_back(connection_.release());
                ftpwire::disposeElsewhere(std::move(old));
                connection_.reset(fresh);
                if (login_) {
                    login_->passive = true;
                    login_->utf8 = job->step.freshUtf8();
                }
            }
        } else {
            // Given up: the connection goes with the step, closed after the
            // step's own handles, away from this thread.
            if (connection_) left.handles.push_back(connection_.release());
            login_.reset();
            ftpwire::disposeElsewhere(std::move(left));
            if (WaitForSingleObject(job->done.get(), 0) == WAIT_OBJECT_0) worker.join();
            else worker.detach();
        }
    } catch (...) {
        // No thread, no memory: the step fails.
    }
    ftpwire::postAgain(later);
    return result;
}

template <class R, class F>
R Win32Ftp::dataCall(R failed, F&& work) {
    if (!connection_ || !login_) return failed;
    ftpwire::Link link{session_.get(), connection_.get(), *login_};
    return call(std::move(failed), [link, work = std::forward<F>(work)](ftpwire::Step& step) mutable -> R {
        bool noData = false;
        R first = work(step, link.connection, noData);
        if (!noData || link.login.passive || !ftpwire::goPassive(step, link)) return first;
        noData = false;
        return work(step, link.connection, noData);
    });
}

}  // namespace win32

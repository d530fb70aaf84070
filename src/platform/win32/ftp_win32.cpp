// The FTP connection over WinINet's W functions.
#include "platform/win32/ftp_win32.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/platform_win32.h"

#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"

namespace win32 {
namespace {

constexpr wchar_t kAgent[] = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr DWORD kFresh = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kMaxDirectoryChars = 2048;
// Transfers move the file in pieces of this size.
constexpr DWORD kChunk = 1u << 20;

platform::DateTime dateTimeOf(const FILETIME& ft) {
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&ft, &st)) return {};
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

// A name next to `local` that no other download uses at the same time (a
// given-up one included).
std::wstring partName(const std::wstring& local) {
    static std::atomic<unsigned> downloads{0};
    return local + L".korvan-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++downloads) +
           L".part";
}

// Hands the blocks of a transfer to their destination on a thread of its
// own, so the destination takes one block while the next is read: the disk
// writes while the server sends, the server receives while the disk reads.
// One block waits at most; a block handed in while another waits holds the
// reader back until the sink takes it.
class BlockSink {
public:
    // Blocks of up to `size` bytes; `sink` takes a whole block, false stops
    // the transfer.
    BlockSink(DWORD size, std::function<bool(const char*, DWORD)> sink)
        : sink_(std::move(sink)), waiting_(size), thread_([this] { run(); }) {}
    ~BlockSink() { finish(); }
    BlockSink(const BlockSink&) = delete;
    BlockSink& operator=(const BlockSink&) = delete;

    // Takes the first `n` bytes of `block` and leaves a buffer of the same
    // size in its place. False once a write has failed.
    bool write(std::vector<char>& block, DWORD n) {
        std::unique_lock<std::mutex> lock(m_);
        changed_.wait(lock, [this] { return !full_ || failed_; });
        if (failed_) return false;
        std::swap(block, waiting_);
        waitingBytes_ = n;
        full_ = true;
        changed_.notify_all();
        return true;
    }

    // Waits for every block handed in; true when all of them were written.
    bool finish() {
        {
            std::lock_guard<std::mutex> lock(m_);
            closing_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
        return !failed_;
    }

private:
    void run() {
        try {
            pump();
        } catch (...) {
            // A failed allocation stops the transfer, never the process.
            std::lock_guard<std::mutex> lock(m_);
            failed_ = true;
            full_ = false;
            changed_.notify_all();
        }
    }

    void pump() {
        std::vector<char> block;
        for (;;) {
            DWORD n = 0;
            {
                std::unique_lock<std::mutex> lock(m_);
                changed_.wait(lock, [this] { return full_ || closing_; });
                if (!full_) return;
                block.swap(waiting_);
                if (waiting_.size() < block.size()) waiting_.resize(block.size());
                n = waitingBytes_;
                full_ = false;
                changed_.notify_all();
            }
            if (!sink_(block.data(), n)) {
                std::lock_guard<std::mutex> lock(m_);
                failed_ = true;
                full_ = false;
                changed_.notify_all();
                return;
            }
        }
    }

    std::function<bool(const char*, DWORD)> sink_;
    std::mutex m_;
    std::condition_variable changed_;
    std::vector<char> waiting_;
    DWORD waitingBytes_ = 0;
    bool full_ = false, closing_ = false, failed_ = false;
    std::thread thread_;   // last: starts once the rest is ready
};

// What a given-up step leaves behind: its WinINet handles (children before
// the connection) and its partial file.
struct Leftovers {
    std::vector<HINTERNET> handles;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring part;
};

void dispose(Leftovers& l) {
    // The file first: a handle's close may wait for a server.
    if (l.file != INVALID_HANDLE_VALUE) {
        CloseHandle(l.file);
        DeleteFileW(l.part.c_str());
        l.file = INVALID_HANDLE_VALUE;
    }
    for (HINTERNET h : l.handles) InternetCloseHandle(h);
    l.handles.clear();
}

// Closes and removes what a step left on a thread of its own: closing a
// transfer's handle can wait for the server, a delete for a slow disk, and
// the window does not wait for either. Without a thread it is done here.
void disposeElsewhere(Leftovers l) {
    if (l.handles.empty() && l.file == INVALID_HANDLE_VALUE) return;
    std::shared_ptr<Leftovers> left;
    try {
        left = std::make_shared<Leftovers>(std::move(l));
        std::thread([left] { dispose(*left); }).detach();
        return;
    } catch (...) {
        // No thread or no memory: late is better than never.
    }
    if (left) dispose(*left);
    else dispose(l);
}

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
    // over (the passive login of the fallback).
    void adopt(HINTERNET connection) {
        std::lock_guard<std::mutex> lock(m_);
        fresh_ = connection;
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

// What a user does with the mouse and the keyboard, apart from moving the
// pointer and taking a window by its caption.
bool isUserInput(const MSG& m) {
    if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) return false;
    if (m.message == WM_NCLBUTTONDOWN && m.wParam == HTCAPTION) return false;
    return (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ||
           (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
           (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCXBUTTONDBLCLK) || m.message == WM_INPUT;
}

// A request to close a window or to end the program, as the message to
// post once the step is over; nothing for any other message. A click on a
// close box and Alt+F4 become a WM_CLOSE of their top-level window.
std::optional<MSG> closeRequest(const MSG& m) {
    const bool closeBox = m.message == WM_NCLBUTTONDOWN && m.wParam == HTCLOSE;
    const bool altF4 = m.message == WM_SYSKEYDOWN && m.wParam == VK_F4;
    if (closeBox || altF4) {
        MSG c = m;
        c.hwnd = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
        c.message = WM_CLOSE;
        c.wParam = 0;
        c.lParam = 0;
        if (c.hwnd) return c;
        return std::nullopt;
    }
    if (m.message == WM_QUIT || m.message == WM_CLOSE ||
        (m.message == WM_SYSCOMMAND && (m.wParam & 0xFFF0) == SC_CLOSE))
        return m;
    return std::nullopt;
}

// Whether a close request ends the step: the end of the program, or a
// close of the step's own window.
bool endsTheStep(const MSG& close, HWND stepWindow) {
    if (close.message == WM_QUIT) return true;
    return stepWindow && close.hwnd && GetAncestor(close.hwnd, GA_ROOT) == stepWindow;
}

// Messages that must not run in the middle of a step (they end windows or
// come from other threads' work): posted again once the step is over.
bool waitsForTheStep(const MSG& m) {
    return m.message == WM_SYSCOMMAND || m.message == WM_DESTROY || (m.hwnd == nullptr && m.message != WM_TIMER);
}

enum class WaitEnd { Done, Stalled, Closing };

// Whether a window takes the user's input while a step runs: one of the
// tool's windows that holds its owner disabled, a question asked over it
// (a long transfer must not keep the user from answering it).
bool answersDuringStep(HWND hwnd, Win32Windows* windows) {
    HWND root = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
    if (!root || !IsWindowEnabled(root)) return false;
    HWND owner = GetWindow(root, GW_OWNER);
    if (!owner || IsWindowEnabled(owner)) return false;
    return !windows || windows->formOf(root);
}

// Input for such a window goes the way the message loop sends it
// (accelerators and dialog keys first, so Enter and Esc work).
void dispatchInput(MSG& m, Win32Windows* windows) {
    if (windows) return windows->dispatch(m);
    if (IsDialogMessageW(GetAncestor(m.hwnd, GA_ROOT), &m)) return;
    TranslateMessage(&m);
    DispatchMessageW(&m);
}

// Waits for `done` with this thread's windows painting, their timers
// running and the messages of other threads arriving. Clicks and keys meet
// a busy window and are dropped, as they would be on a disabled one, except
// those for a question (answersDuringStep). Ends
// when the step is done, when its progress counter has not moved for the
// stall limit (outside opaque calls), or when a close request that ends the
// step arrives; close requests and the messages that wait for the step are
// left in `later`. Transfer progress goes to `report` a few times a second.
WaitEnd waitResponsive(HANDLE done, const Step& step, std::vector<MSG>& later, HWND stepWindow,
                       Win32Windows* windows, const platform::Ftp::Progress& report) {
    const ULONGLONG limit = static_cast<ULONGLONG>(std::max(ftpLimits().stallMs, 1));
    unsigned seen = step.progress();
    std::uint64_t reported = 0;
    ULONGLONG moved = GetTickCount64();
    bool closing = false;
    for (;;) {
        const ULONGLONG idle = GetTickCount64() - moved;
        if (idle >= limit) return WaitEnd::Stalled;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(250, limit - idle));
        const DWORD w = MsgWaitForMultipleObjectsEx(1, &done, slice, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (w == WAIT_OBJECT_0) return WaitEnd::Done;
        if (w == WAIT_FAILED) return WaitEnd::Stalled;
        if (w == WAIT_OBJECT_0 + 1) {
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (auto c = closeRequest(m)) {
                    later.push_back(*c);
                    closing = closing || endsTheStep(*c, stepWindow);
                    continue;
                }
                if (isUserInput(m)) {
                    if (answersDuringStep(m.hwnd, windows)) dispatchInput(m, windows);
                    continue;
                }
                if (waitsForTheStep(m)) {
                    later.push_back(m);
                    continue;
                }
                DispatchMessageW(&m);
            }
            if (closing) return WaitEnd::Closing;
        }
        const unsigned now = step.progress();
        if (now != seen || step.opaque()) {
            seen = now;
            moved = GetTickCount64();
        }
        if (report && step.bytes() != reported) {
            reported = step.bytes();
            report(reported, step.total());
        }
    }
}

void postAgain(const std::vector<MSG>& later) {
    for (const MSG& m : later) {
        if (m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
        else if (m.hwnd) PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
        else PostThreadMessageW(GetCurrentThreadId(), m.message, m.wParam, m.lParam);
    }
}

// The code of the server's last reply on this thread's WinINet calls, 0
// when there is none.
int lastReplyCode() {
    wchar_t reply[512] = {};
    DWORD code = 0, len = 511;
    if (!InternetGetLastResponseInfoW(&code, reply, &len)) return 0;
    // The reply text may hold several lines; the last one carries the code.
    std::wstring_view text(reply, wcsnlen(reply, 512));
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.remove_suffix(1);
    const size_t line = text.find_last_of(L'\n');
    if (line != std::wstring_view::npos) text.remove_prefix(line + 1);
    if (text.size() < 3) return 0;
    int v = 0;
    for (int i = 0; i < 3; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return 0;
        v = v * 10 + (text[i] - L'0');
    }
    return v;
}

// Whether the WinINet call that just failed on this thread failed for want
// of a data connection: the server refused PORT/EPRT (500, 501, 502, 504,
// 522) or could not connect back (425), or WinINet could not connect or
// timed out. A 550 (no such file or folder) and an empty listing are not.
bool noDataConnection() {
    const DWORD error = GetLastError();
    if (error == ERROR_INTERNET_CANNOT_CONNECT || error == ERROR_INTERNET_TIMEOUT) return true;
    if (error != ERROR_INTERNET_EXTENDED_ERROR) return false;
    switch (lastReplyCode()) {
        case 425: case 500: case 501: case 502: case 504: case 522: return true;
        default: return false;
    }
}

// The exact size of a file of the current directory (SIZE), when the
// server tells it. SIZE counts bytes of the binary image only: the
// connection is switched to it first unless a binary transfer just did.
std::optional<std::uint64_t> sizeOf(Step& step, HINTERNET connection, const std::wstring& name,
                                    bool binaryAlready = false) {
    if (!binaryAlready) {
        if (!step.live() || !FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 0, nullptr))
            return std::nullopt;
        step.advance();
    }
    const std::wstring cmd = L"SIZE " + name;
    if (!step.live() || !FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, cmd.c_str(), 0, nullptr))
        return std::nullopt;
    step.advance();
    if (lastReplyCode() != 213) return std::nullopt;
    wchar_t reply[256] = {};
    DWORD code = 0;
    DWORD len = 255;
    if (!InternetGetLastResponseInfoW(&code, reply, &len)) return std::nullopt;
    // "213 <bytes>"
    if (wcsncmp(reply, L"213 ", 4) != 0) return std::nullopt;
    std::uint64_t v = 0;
    const wchar_t* p = reply + 4;
    if (*p < L'0' || *p > L'9') return std::nullopt;
    for (; *p >= L'0' && *p <= L'9'; ++p) v = v * 10 + static_cast<std::uint64_t>(*p - L'0');
    return v;
}

// The size the server reports for a file after a binary transfer of it:
// SIZE, or else the one entry its listing gives for the exact name.
std::optional<std::uint64_t> reportedSize(Step& step, HINTERNET connection, const std::wstring& name) {
    if (auto exact = sizeOf(step, connection, name, true)) return exact;
    WIN32_FIND_DATAW fd{};
    if (!step.live()) return std::nullopt;
    HINTERNET find = step.hold(FtpFindFirstFileW(connection, name.c_str(), &fd, kFresh, 0));
    if (!find) return std::nullopt;
    step.advance();
    std::optional<std::uint64_t> size;
    const platform::DirEntry e = dirEntryOf(fd);
    if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY) && e.size != 0x7FFFFFFFu) size = e.size;
    if (step.live() && InternetFindNextFileW(find, &fd)) size.reset();   // not one file
    step.close(find);
    return size;
}

// Worker, right after the close of a transfer's data handle (which reads
// the server's final reply): whether the transfer of `moved` bytes of
// `name` is done. An explicit 4xx/5xx or a reported size that disagrees
// refuses it; a 2xx or an equal reported size confirms it. Without either
// (no final reply read, no size told) it is not done.
bool transferDone(Step& step, HINTERNET connection, const std::wstring& name, std::uint64_t moved) {
    const int code = lastReplyCode();
    if (code >= 400) return false;
    const bool confirmed = code >= 200 && code < 300;
    const auto reported = reportedSize(step, connection, name);
    if (reported && *reported != moved) return false;
    return step.live() && (confirmed || reported);
}

// The connection a step works on, and the login it came from.
struct Link {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    Win32Ftp::Login login;
};

HINTERNET connectTo(HINTERNET session, const Win32Ftp::Login& l) {
    // Port 0 is INTERNET_DEFAULT_FTP_PORT's stand-in: WinINet uses 21.
    return InternetConnectW(session, l.host.c_str(), static_cast<INTERNET_PORT>(l.port),
                            l.user ? l.user->c_str() : nullptr, l.password ? l.password->c_str() : nullptr,
                            INTERNET_SERVICE_FTP, l.passive ? INTERNET_FLAG_PASSIVE : 0, 0);
}

// Worker: the fallback. Logs in again with the same login in passive mode
// and goes to the directory the old connection is in; only once it is
// there does the new connection become the step's (and the window's once
// the step is over). Otherwise it is closed, the old connection stays as
// it was, and the step fails. False when it cannot.
bool goPassive(Step& step, Link& link) {
    std::wstring dir(kMaxDirectoryChars + 1, L'\0');
    DWORD len = kMaxDirectoryChars;
    if (!step.live() || !FtpGetCurrentDirectoryW(link.connection, dir.data(), &len)) return false;
    dir.resize(wcsnlen(dir.c_str(), dir.size()));
    step.advance();
    Win32Ftp::Login passive = link.login;
    passive.passive = true;
    if (!step.live()) return false;
    HINTERNET fresh = step.hold(connectTo(link.session, passive));
    if (!fresh) return false;
    step.advance();
    if (!step.live() || !FtpSetCurrentDirectoryW(fresh, dir.c_str())) {
        // Landed elsewhere: a later delete or rename would act on the wrong
        // folder.
        step.close(fresh);
        return false;
    }
    step.advance();
    step.adopt(fresh);
    link.connection = fresh;
    link.login = passive;
    return true;
}

}  // namespace

namespace {
FtpThreadStart g_threadStart = nullptr;
std::atomic<int> g_stallMs{kFtpStallMs};
}  // namespace

void setFtpThreadStart(FtpThreadStart start) { g_threadStart = start; }
void setFtpLimits(const FtpLimits& limits) { g_stallMs = limits.stallMs; }
FtpLimits ftpLimits() { return FtpLimits{g_stallMs.load()}; }

platform::DirEntry dirEntryOf(const WIN32_FIND_DATAW& found) {
    platform::DirEntry e;
    e.name = narrow(found.cFileName);
    e.attributes = found.dwFileAttributes;
    e.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    e.time = dateTimeOf(found.ftLastWriteTime);   // as the server reports it
    return e;
}

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
        auto job = std::make_shared<Job<R>>();
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
        std::thread worker = g_threadStart ? g_threadStart(std::move(body)) : std::thread(std::move(body));
        WaitEnd end = WaitEnd::Stalled;
        try {
            end = waitResponsive(job->done.get(), job->step, later, stepWindow_, windows_, progress_);
        } catch (...) {
            // Out of memory while waiting: the step is given up below.
        }
        Leftovers left;
        if (end == WaitEnd::Done || !job->step.giveUp(left)) {
            worker.join();
            result = std::move(job->result);
            if (HINTERNET fresh = job->step.takeFresh()) {
                // The fallback logged in again in passive mode: that
                // connection is the window's from now on.
                Leftovers old;
                old.handles.push_back(connection_.release());
                disposeElsewhere(std::move(old));
                connection_.reset(fresh);
                if (login_) login_->passive = true;
            }
        } else {
            // Given up: the connection goes with the step, closed after the
            // step's own handles, away from this thread.
            if (connection_) left.handles.push_back(connection_.release());
            login_.reset();
            disposeElsewhere(std::move(left));
            if (WaitForSingleObject(job->done.get(), 0) == WAIT_OBJECT_0) worker.join();
            else worker.detach();
        }
    } catch (...) {
        // No thread, no memory: the step fails.
    }
    postAgain(later);
    return result;
}

template <class R, class F>
R Win32Ftp::dataCall(R failed, F&& work) {
    if (!connection_ || !login_) return failed;
    Link link{session_.get(), connection_.get(), *login_};
    return call(std::move(failed), [link, work = std::forward<F>(work)](Step& step) mutable -> R {
        bool noData = false;
        R first = work(step, link.connection, noData);
        if (!noData || link.login.passive || !goPassive(step, link)) return first;
        noData = false;
        return work(step, link.connection, noData);
    });
}

Win32Ftp::~Win32Ftp() = default;

bool Win32Ftp::open(std::string_view server, const std::optional<std::string>& account,
                    const std::optional<std::string>& password, int port, bool passive) {
    if (busy_) return false;
    close();
    if (port < 0 || port > 65535) return false;
    if (!session_) session_.reset(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session_) return false;
    Login login;
    login.host = widen(server);
    if (account) login.user = widen(*account);
    if (password) login.password = widen(*password);
    login.port = port;
    login.passive = passive;
    connection_ = call(InetHandle(), [session = session_.get(), login](Step& step) {
        if (!step.live()) return InetHandle();
        HINTERNET c = step.hold(connectTo(session, login));
        return InetHandle(c && step.unhold(c) ? c : nullptr);
    });
    if (connection_) login_ = std::make_shared<Login>(std::move(login));
    return isOpen();
}

void Win32Ftp::close() {
    connection_.reset();
    login_.reset();
}

void Win32Ftp::setStepWindow(ui::Form* window) {
    auto* form = dynamic_cast<Win32Form*>(window);
    stepWindow_ = form ? form->hwnd() : nullptr;
}

std::string Win32Ftp::currentDirectory() {
    if (!connection_) return {};
    return call(std::string(), [c = connection_.get()](Step& step) -> std::string {
        std::wstring buf(kMaxDirectoryChars + 1, L'\0');
        DWORD len = kMaxDirectoryChars;
        if (!step.live() || !FtpGetCurrentDirectoryW(c, buf.data(), &len)) return {};
        buf.resize(wcsnlen(buf.c_str(), buf.size()));
        return narrow(buf);
    });
}

bool Win32Ftp::setCurrentDirectory(std::string_view path) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), p = widen(path)](Step& step) {
        return step.live() && FtpSetCurrentDirectoryW(c, p.c_str());
    });
}

std::vector<platform::DirEntry> Win32Ftp::list(std::string_view pattern) {
    std::string p(pattern);
    if (p.ends_with("*.*")) p.resize(p.size() - 2);
    return dataCall(std::vector<platform::DirEntry>(),
                    [p = widen(p)](Step& step, HINTERNET c, bool& noData) -> std::vector<platform::DirEntry> {
        std::vector<platform::DirEntry> out;
        WIN32_FIND_DATAW fd{};
        HINTERNET find = nullptr;
        if (!step.live()) return out;
        {
            // Wine reads the whole listing inside this one call.
            Step::Opaque whole(step);
            find = FtpFindFirstFileW(c, p.c_str(), &fd, kFresh, 0);
            if (!find) noData = noDataConnection();
        }
        // One search at a time per connection: the handle closes before return.
        find = step.hold(find);
        if (!find) return out;
        do {
            out.push_back(dirEntryOf(fd));
            step.advance();
        } while (step.live() && InternetFindNextFileW(find, &fd));
        step.close(find);
        // Some WinINet listings parsers (Wine's among them) saturate sizes at
        // 2^31 - 1. A file showing exactly that size is asked about once more.
        for (auto& e : out) {
            if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY) && e.size == 0x7FFFFFFFu && step.live()) {
                if (auto exact = sizeOf(step, c, widen(e.name))) e.size = *exact;
            }
        }
        return out;
    });
}

bool Win32Ftp::get(std::string_view remote, std::string_view local) {
    const std::wstring target = widen(local);
    if (target.empty()) return false;
    return dataCall(false, [name = widen(remote), target](Step& step, HINTERNET c, bool& noData) -> bool {
        // No SIZE up front: under Wine each reply costs tens of milliseconds,
        // and the window knows the size from its listing.
        if (!step.live()) return false;
        HINTERNET source = FtpOpenFileW(c, name.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY | kFresh, 0);
        if (!source) noData = noDataConnection();
        source = step.hold(source);
        if (!source) return false;
        step.advance();
        const std::wstring part = partName(target);
        HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE || !step.holdFile(file, part)) {
            step.close(source);
            return false;
        }
        bool failed = false, done = false;
        std::uint64_t received = 0;
        {
            // A read returns what the connection holds at that moment, often
            // a small part of the buffer: a block is filled before it is
            // written, so the disk sees few large writes, and it is written
            // while the next one arrives.
            std::vector<char> buf(kChunk);
            BlockSink writer(kChunk, [&step](const char* data, DWORD n) { return step.write(data, n); });
            while (!failed && !done) {
                DWORD filled = 0;
                while (filled < kChunk) {
                    DWORD got = 0;
                    if (!step.live() || !InternetReadFile(source, buf.data() + filled, kChunk - filled, &got)) {
                        // No byte came at all: the data connection was never made.
                        if (received == 0 && step.live()) noData = noDataConnection();
                        failed = true;
                        break;
                    }
                    if (got == 0) {
                        done = true;
                        break;
                    }
                    filled += got;
                    received += got;
                    step.moved(got);
                }
                if (!failed && filled && !writer.write(buf, filled)) failed = true;
            }
            failed = !writer.finish() || failed;
        }
        {
            // Closing the data handle reads the server's word on the transfer.
            Step::Opaque reply(step);
            step.close(source);
        }
        const bool ok = done && !failed && step.live() && transferDone(step, c, name, received);
        return step.settleFile(ok, target);
    });
}

bool Win32Ftp::put(std::string_view local, std::string_view remote) {
    return dataCall(false, [source = widen(local), name = widen(remote)](Step& step, HINTERNET c,
                                                                          bool& noData) -> bool {
        UniqueHandle file(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.get(), &size) || !step.live()) return false;
        step.setTotal(static_cast<std::uint64_t>(size.QuadPart));
        HINTERNET target = FtpOpenFileW(c, name.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
        if (!target) noData = noDataConnection();
        target = step.hold(target);
        if (!target) return false;
        step.advance();
        bool sent = false;
        std::uint64_t out = 0;
        bool sendFailedFirst = false;
        {
            BlockSink sender(kChunk, [&step, &out, &sendFailedFirst, target](const char* data, DWORD n) {
                DWORD put = 0;
                for (DWORD done = 0; done < n; done += put) {
                    if (!step.live() || !InternetWriteFile(target, data + done, n - done, &put) || put == 0) {
                        sendFailedFirst = out == 0 && step.live() && noDataConnection();
                        return false;
                    }
                    out += put;
                    step.moved(put);
                }
                return true;
            });
            std::vector<char> buf(kChunk);
            for (;;) {
                DWORD got = 0;
                if (!ReadFile(file.get(), buf.data(), kChunk, &got, nullptr)) break;
                if (got == 0) {
                    sent = sender.finish();
                    break;
                }
                if (!sender.write(buf, got)) break;
            }
        }
        noData = noData || sendFailedFirst;
        {
            // Closing the data handle reads the server's word on the transfer.
            Step::Opaque reply(step);
            step.close(target);
        }
        return sent && step.live() && transferDone(step, c, name, static_cast<std::uint64_t>(size.QuadPart));
    });
}

bool Win32Ftp::removeFile(std::string_view name) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), n = widen(name)](Step& step) {
        return step.live() && FtpDeleteFileW(c, n.c_str());
    });
}

bool Win32Ftp::rename(std::string_view from, std::string_view to) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), f = widen(from), t = widen(to)](Step& step) {
        return step.live() && FtpRenameFileW(c, f.c_str(), t.c_str());
    });
}

bool Win32Ftp::createDirectory(std::string_view name) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), n = widen(name)](Step& step) {
        return step.live() && FtpCreateDirectoryW(c, n.c_str());
    });
}

bool Win32Ftp::removeDirectory(std::string_view name) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), n = widen(name)](Step& step) {
        return step.live() && FtpRemoveDirectoryW(c, n.c_str());
    });
}

}  // namespace win32

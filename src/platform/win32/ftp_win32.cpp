// The FTP connection over WinINet's W functions.
#include "platform/win32/ftp_win32.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/platform_win32.h"

#include "platform/win32/wide.h"

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

// A name next to `local` that no other download uses at the same time.
std::wstring partName(const std::wstring& local) {
    return local + L".korvan-" + std::to_wstring(GetCurrentProcessId()) + L".part";
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

// What a user does with the mouse and the keyboard, apart from moving the
// pointer and taking a window by its caption.
bool isUserInput(const MSG& m) {
    if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) return false;
    if (m.message == WM_NCLBUTTONDOWN && m.wParam == HTCAPTION) return false;
    return (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ||
           (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
           (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCXBUTTONDBLCLK) || m.message == WM_INPUT;
}

// Messages that end windows or the program: they wait until the call is over.
bool waitsForTheCall(const MSG& m) {
    return m.message == WM_QUIT || m.message == WM_CLOSE || m.message == WM_SYSCOMMAND ||
           m.message == WM_DESTROY || (m.hwnd == nullptr && m.message != WM_TIMER);
}

// Waits for `done` with this thread's windows painting, their timers
// running and the messages of other threads arriving. Clicks and keys meet
// a busy window and are dropped, as they would be on a disabled one;
// requests to close a window or to end the program are posted again once
// the wait is over.
void waitResponsive(HANDLE done) {
    std::vector<MSG> later;
    for (;;) {
        const DWORD w = MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (w != WAIT_OBJECT_0 + 1) break;
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (isUserInput(m)) continue;
            if (waitsForTheCall(m)) {
                later.push_back(m);
                continue;
            }
            DispatchMessageW(&m);
        }
    }
    for (const MSG& m : later) {
        if (m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
        else if (m.hwnd) PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
        else PostThreadMessageW(GetCurrentThreadId(), m.message, m.wParam, m.lParam);
    }
}

}  // namespace

template <class R, class F>
R Win32Ftp::call(R busy, F&& work) {
    // One call at a time on the connection: a window message handled while
    // a call waits cannot start another.
    if (busy_) return busy;
    busy_ = true;
    R result = busy;
    UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) {
        result = work();
    } else {
        std::thread worker([&] {
            result = work();
            SetEvent(done.get());
        });
        waitResponsive(done.get());
        worker.join();
    }
    busy_ = false;
    return result;
}

bool Win32Ftp::open(std::string_view server, const std::optional<std::string>& account,
                    const std::optional<std::string>& password, int port, bool passive) {
    return call(false, [&]() -> bool {
        close();
        if (port < 0 || port > 65535) return false;
        if (!session_) session_.reset(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
        if (!session_) return false;
        const std::wstring host = widen(server);
        const std::wstring user = account ? widen(*account) : std::wstring();
        const std::wstring pass = password ? widen(*password) : std::wstring();
        // Port 0 is INTERNET_DEFAULT_FTP_PORT's stand-in: WinINet uses 21.
        connection_.reset(InternetConnectW(session_.get(), host.c_str(), static_cast<INTERNET_PORT>(port),
                                           account ? user.c_str() : nullptr, password ? pass.c_str() : nullptr,
                                           INTERNET_SERVICE_FTP, passive ? INTERNET_FLAG_PASSIVE : 0, 0));
        return isOpen();
    });
}

void Win32Ftp::close() { connection_.reset(); }

std::string Win32Ftp::currentDirectory() {
    return call(std::string(), [&]() -> std::string {
        if (!connection_) return {};
        std::wstring buf(kMaxDirectoryChars + 1, L'\0');
        DWORD len = kMaxDirectoryChars;
        if (!FtpGetCurrentDirectoryW(connection_.get(), buf.data(), &len)) return {};
        buf.resize(wcsnlen(buf.c_str(), buf.size()));
        return narrow(buf);
    });
}

bool Win32Ftp::setCurrentDirectory(std::string_view path) {
    return call(false, [&]() -> bool {
        return connection_ && FtpSetCurrentDirectoryW(connection_.get(), widen(path).c_str());
    });
}

std::vector<platform::DirEntry> Win32Ftp::list(std::string_view pattern) {
    return call(std::vector<platform::DirEntry>(), [&]() -> std::vector<platform::DirEntry> {
        std::vector<platform::DirEntry> out;
        if (!connection_) return out;
        std::string p(pattern);
        if (p.ends_with("*.*")) p.resize(p.size() - 2);
        WIN32_FIND_DATAW fd{};
        // One search at a time per connection: the handle closes before return.
        InetHandle find(FtpFindFirstFileW(connection_.get(), widen(p).c_str(), &fd, kFresh, 0));
        if (!find) return out;
        do {
            platform::DirEntry e;
            e.name = narrow(fd.cFileName);
            e.attributes = fd.dwFileAttributes;
            e.size = (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
            e.time = dateTimeOf(fd.ftLastWriteTime);   // as the server reports it
            out.push_back(std::move(e));
        } while (InternetFindNextFileW(find.get(), &fd));
        find.reset();
        // Some WinINet listings parsers (Wine's among them) saturate sizes at
        // 2^31 - 1. A file showing exactly that size is asked about once more.
        for (auto& e : out)
            if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY) && e.size == 0x7FFFFFFFu)
                if (auto exact = sizeOf(e.name)) e.size = *exact;
        return out;
    });
}

std::optional<std::uint64_t> Win32Ftp::sizeOf(std::string_view name) {
    // SIZE counts bytes of the binary image only: switch to it first.
    if (!FtpCommandW(connection_.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 0, nullptr)) return std::nullopt;
    const std::wstring cmd = L"SIZE " + widen(name);
    if (!FtpCommandW(connection_.get(), FALSE, FTP_TRANSFER_TYPE_BINARY, cmd.c_str(), 0, nullptr)) return std::nullopt;
    DWORD code = 0;
    wchar_t reply[256] = {};
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

bool Win32Ftp::get(std::string_view remote, std::string_view local) {
    return call(false, [&]() -> bool {
        if (!connection_) return false;
        const std::wstring target = widen(local);
        if (target.empty()) return false;
        const std::wstring part = partName(target);
        bool ok = false;
        {
            InetHandle source(FtpOpenFileW(connection_.get(), widen(remote).c_str(), GENERIC_READ,
                                           FTP_TRANSFER_TYPE_BINARY | kFresh, 0));
            if (!source) return false;
            UniqueHandle file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                          nullptr));
            if (!file) return false;
            // A read returns what the connection holds at that moment, often a
            // small part of the buffer: a block is filled before it is written,
            // so the disk sees few large writes, and it is written while the
            // next one arrives.
            std::vector<char> buf(kChunk);
            BlockSink writer(kChunk, [h = file.get()](const char* data, DWORD n) {
                DWORD written = 0;
                return WriteFile(h, data, n, &written, nullptr) && written == n;
            });
            bool failed = false, done = false;
            while (!failed && !done) {
                DWORD filled = 0;
                while (filled < kChunk) {
                    DWORD got = 0;
                    if (!InternetReadFile(source.get(), buf.data() + filled, kChunk - filled, &got)) {
                        failed = true;
                        break;
                    }
                    if (got == 0) {
                        done = true;
                        break;
                    }
                    filled += got;
                }
                if (!failed && filled) {
                    if (!writer.write(buf, filled)) failed = true;
                }
            }
            ok = writer.finish() && done && !failed;
            if (ok) ok = CloseHandle(file.release()) != FALSE;
        }
        ok = ok && MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
        if (!ok) DeleteFileW(part.c_str());
        return ok;
    });
}

bool Win32Ftp::put(std::string_view local, std::string_view remote) {
    return call(false, [&]() -> bool {
        if (!connection_) return false;
        UniqueHandle file(CreateFileW(widen(local).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) return false;
        InetHandle target(
            FtpOpenFileW(connection_.get(), widen(remote).c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0));
        if (!target) return false;
        BlockSink sender(kChunk, [h = target.get()](const char* data, DWORD n) {
            DWORD sent = 0;
            for (DWORD done = 0; done < n; done += sent)
                if (!InternetWriteFile(h, data + done, n - done, &sent) || sent == 0) return false;
            return true;
        });
        std::vector<char> buf(kChunk);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file.get(), buf.data(), kChunk, &got, nullptr)) return false;
            if (got == 0) return sender.finish();
            if (!sender.write(buf, got)) return false;
        }
    });
}

bool Win32Ftp::removeFile(std::string_view name) {
    return call(false, [&]() -> bool {
        return connection_ && FtpDeleteFileW(connection_.get(), widen(name).c_str());
    });
}

bool Win32Ftp::rename(std::string_view from, std::string_view to) {
    return call(false, [&]() -> bool {
        return connection_ && FtpRenameFileW(connection_.get(), widen(from).c_str(), widen(to).c_str());
    });
}

bool Win32Ftp::createDirectory(std::string_view name) {
    return call(false, [&]() -> bool {
        return connection_ && FtpCreateDirectoryW(connection_.get(), widen(name).c_str());
    });
}

bool Win32Ftp::removeDirectory(std::string_view name) {
    return call(false, [&]() -> bool {
        return connection_ && FtpRemoveDirectoryW(connection_.get(), widen(name).c_str());
    });
}

}  // namespace win32

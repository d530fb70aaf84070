// The transfers of the FTP connection: downloads and uploads in blocks,
// and whether the server confirmed them.
#include "platform/win32/ftp_win32_internal.h"

#include <condition_variable>

#include "platform/win32/wide.h"

namespace win32 {
namespace ftpwire {
namespace {

// Transfers move the file in pieces of this size.
constexpr DWORD kChunk = 1u << 20;

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

}  // namespace

// The exact size of a file of the current directory (SIZE), when the
// server tells it. SIZE counts bytes of the binary image only: the
// connection is switched to it first unless a binary transfer just did.
std::optional<std::uint64_t> sizeOf(Step& step, HINTERNET connection, const std::string& name,
                                    bool binaryAlready) {
    if (!binaryAlready) {
        if (!step.live() || !FtpCommandW(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, L"TYPE I", 0, nullptr))
            return std::nullopt;
        step.advance();
    }
    const std::string cmd = "SIZE " + name;
    if (!step.live() || !FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, cmd.c_str(), 0, nullptr))
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
std::optional<std::uint64_t> reportedSize(Step& step, HINTERNET connection, const std::string& name) {
    if (auto exact = sizeOf(step, connection, name, true)) return exact;
    WIN32_FIND_DATAA fd{};
    if (!step.live()) return std::nullopt;
    HINTERNET find = step.hold(FtpFindFirstFileA(connection, name.c_str(), &fd, kFresh, 0));
    if (!find) return std::nullopt;
    step.advance();
    std::optional<std::uint64_t> size;
    const platform::DirEntry e = dirEntryOf(fd, false);
    if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY) && e.size != 0x7FFFFFFFu) size = e.size;
    if (step.live() && InternetFindNextFileA(find, &fd)) size.reset();   // not one file
    step.close(find);
    return size;
}

// Worker, right after the close of a transfer's data handle (which reads
// the server's final reply): whether the transfer of `moved` bytes of
// `name` is done. An explicit 4xx/5xx or a reported size that disagrees
// refuses it; a 2xx or an equal reported size confirms it. Without either
// (no final reply read, no size told) it is not done.
bool transferDone(Step& step, HINTERNET connection, const std::string& name, std::uint64_t moved) {
    const int code = lastReplyCode();
    if (code >= 400) return false;
    const bool confirmed = code >= 200 && code < 300;
    const auto reported = reportedSize(step, connection, name);
    if (reported && *reported != moved) return false;
    return step.live() && (confirmed || reported);
}

}  // namespace ftpwire

using namespace ftpwire;

bool Win32Ftp::get(std::string_view remote, std::string_view local) {
    // Saved under the name as shown, through the W functions; asked for by
    // the server's own bytes.
    const std::wstring target = widen(local);
    const auto wire = wireOf(remote);
    if (target.empty() || !wire) return false;
    return dataCall(false, [name = *wire, target](Step& step, HINTERNET c, bool& noData) -> bool {
        // No SIZE up front: under Wine each reply costs tens of milliseconds,
        // and the window knows the size from its listing.
        if (!step.live()) return false;
        HINTERNET source = FtpOpenFileA(c, name.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY | kFresh, 0);
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
    const auto wire = wireOf(remote);
    if (!wire) return false;
    return dataCall(false, [source = widen(local), name = *wire](Step& step, HINTERNET c, bool& noData) -> bool {
        UniqueHandle file(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.get(), &size) || !step.live()) return false;
        step.setTotal(static_cast<std::uint64_t>(size.QuadPart));
        HINTERNET target = FtpOpenFileA(c, name.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0);
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

}  // namespace win32

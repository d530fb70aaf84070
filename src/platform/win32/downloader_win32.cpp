// The download component over WinINet: one task at a time on a worker
// thread; notifications reach the creating thread through a message-only
// window.
#include <windows.h>

#include "platform/win32/inet_handle.h"
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "common/config.h"
#include "platform/pacing.h"
#include "platform/task_file.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/update_win32.h"
#include "platform/win32/wide.h"

namespace win32 {

namespace {

constexpr UINT kNotify = WM_APP + 1;
constexpr wchar_t kWindowClass[] = L"KorvanDownloaderSink";
constexpr DWORD kSliceMs = 50;


// What the worker hands to the UI thread; the window procedure takes it
// back into a unique_ptr.
struct Posted {
    unsigned job = 0;
    bool isMessage = false;
    platform::DownloadNotice notice;
    std::string message;
};

bool isHttpUrl(const std::wstring& url) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = 1;
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return false;
    return (parts.nScheme == INTERNET_SCHEME_HTTP || parts.nScheme == INTERNET_SCHEME_HTTPS) &&
           parts.dwHostNameLength > 0;
}

// Hashes the blocks of a transfer on a thread of its own while the next
// ones are read, so the hash of a large package costs little beyond the
// transfer where the two cores are free. At most kMaxPending bytes wait;
// beyond that add() waits for the hash to catch up.
class BackgroundHash {
public:
    // Throws when the thread cannot be started (the transfer then fails).
    BackgroundHash() : thread_([this] { run(); }) {}
    ~BackgroundHash() {
        {
            std::lock_guard<std::mutex> l(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    BackgroundHash(const BackgroundHash&) = delete;
    BackgroundHash& operator=(const BackgroundHash&) = delete;

    // Hands over a copy of the block. False once the hash has failed.
    bool add(const char* data, std::size_t size) {
        std::vector<char> block;
        {
            std::unique_lock<std::mutex> l(m_);
            cv_.wait(l, [&] { return pendingBytes_ < kMaxPending || failed_; });
            if (failed_) return false;
            if (!spare_.empty()) {
                block = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        block.assign(data, data + size);
        {
            std::lock_guard<std::mutex> l(m_);
            pendingBytes_ += size;
            pending_.push_back(std::move(block));
        }
        cv_.notify_all();
        return true;
    }

    // Waits for the blocks still pending; the digest of them all.
    bool finish(platform::Sha256& out) {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [&] { return pending_.empty() || failed_; });
        if (failed_) return false;
        return hash_.finish(out);
    }

private:
    static constexpr std::size_t kMaxPending = 8u << 20;

    void run() {
        std::unique_lock<std::mutex> l(m_);
        for (;;) {
            cv_.wait(l, [&] { return !pending_.empty() || stop_; });
            if (stop_) return;
            std::vector<char>& block = pending_.front();
            l.unlock();
            const bool ok = hash_.add(block.data(), block.size());
            l.lock();
            pendingBytes_ -= block.size();
            try {
                if (spare_.size() < 2) spare_.push_back(std::move(block));
            } catch (...) {
            }
            pending_.pop_front();
            if (!ok) failed_ = true;
            cv_.notify_all();
        }
    }

    Sha256Hash hash_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::vector<char>> pending_;
    std::vector<std::vector<char>> spare_;
    std::size_t pendingBytes_ = 0;
    bool failed_ = false, stop_ = false;
    std::thread thread_;   // last: started once everything above exists
};

// The task's temporary file "<final name>.<pid>-<n>.part": a name of its
// own for every task of the process, so a task never waits for, or trips
// over, the file of one stopped before it. Open from its creation until it
// is renamed or removed through this same handle: write and delete access,
// shared for reading only, so nobody else can write, replace, rename or
// remove it meanwhile, and what the check hashed is what is kept.
struct PartFile final : platform::TaskFile::Disk {
    std::wstring finalPath, partPath;
    UniqueHandle file;

    static std::wstring absolute(const std::wstring& path) {
        const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
        if (!n) return {};
        std::wstring out(n, L'\0');
        const DWORD got = GetFullPathNameW(path.c_str(), n, out.data(), nullptr);
        if (!got || got >= n) return {};
        out.resize(got);
        return out;
    }

    // Removes what tasks of killed runs left beside the final name: files
    // named as ours are, and not held open by a live task (those cannot be
    // removed: they are shared for reading only).
    void sweep() const {
        const std::size_t slash = finalPath.find_last_of(L"\\/");
        const std::wstring folder = slash == std::wstring::npos ? std::wstring() : finalPath.substr(0, slash + 1);
        const std::wstring stem = finalPath.substr(folder.size()) + L".";
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileExW((finalPath + L".*.part").c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, 0);
        if (find == INVALID_HANDLE_VALUE) return;
        do {
            const std::wstring name = found.cFileName;
            if (name.size() <= stem.size() + 5 || name.compare(0, stem.size(), stem) != 0 ||
                name.compare(name.size() - 5, 5, L".part") != 0)
                continue;
            const std::wstring middle = name.substr(stem.size(), name.size() - stem.size() - 5);
            if (middle.find_first_not_of(L"0123456789-") != std::wstring::npos) continue;
            DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }

    bool create() override {
        sweep();
        // CREATE_NEW: never a file somebody else put there.
        file = UniqueHandle(CreateFileW(partPath.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file);
    }
    bool write(const char* data, std::size_t size) override {
        DWORD put = 0;
        return file && WriteFile(file.get(), data, static_cast<DWORD>(size), &put, nullptr) && put == size;
    }
    // Renames the open file to the final name through its handle (the
    // final name absolute, an older file there replaced), then closes it.
    bool keep() override {
        if (!file) return false;
        const std::wstring target = absolute(finalPath);
        if (target.empty()) return false;
        const std::size_t bytes = target.size() * sizeof(wchar_t);
        std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + bytes);
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = TRUE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(bytes);
        std::memcpy(info->FileName, target.c_str(), bytes + sizeof(wchar_t));
        if (!SetFileInformationByHandle(file.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
            return false;
        return CloseHandle(file.release()) != 0;
    }
    // Removes the open file through its handle and closes it.
    void discard() override {
        if (!file) return;
        FILE_DISPOSITION_INFO gone{};
        gone.DeleteFile = TRUE;
        SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone);
        file.reset();
    }
};

// Every task of the process gets the next number for its file's name.
std::atomic<unsigned> partCounter{0};

}  // namespace

struct Win32Downloader::Job {
    unsigned id = 0;
    HWND window = nullptr;
    platform::DownloadTask task;   // its callbacks are used on the UI thread only, but verify on the worker
    std::wstring url, signatureUrl, user, password;
    std::atomic<bool> cancel{false};
    std::atomic<bool> finished{false};
    std::atomic<std::int64_t> downloaded{0};
    std::atomic<std::int64_t> sinceQuery{0};
    std::shared_ptr<std::atomic<std::int64_t>> all;
    // The file, and who may touch it when: stop() removes it at once unless
    // a write runs, which then removes it when it returns; once stop() has
    // returned this job's worker never creates or renames anything again.
    PartFile disk;
    platform::TaskFile part{disk};
    // The end notice, made on the UI thread when the task starts, so the
    // worker has nothing to allocate to report its end.
    std::unique_ptr<Posted> endNotice;

    void post(std::unique_ptr<Posted> p) {
        if (cancel) return;
        p->job = id;
        if (PostMessageW(window, kNotify, 0, reinterpret_cast<LPARAM>(p.get()))) p.release();
    }
    void notify(int kind, std::int64_t value, bool ok = false) {
        auto p = std::make_unique<Posted>();
        p->notice = {kind, value, ok};
        post(std::move(p));
    }
    void say(std::string text) {
        auto p = std::make_unique<Posted>();
        p->isMessage = true;
        p->message = std::move(text);
        post(std::move(p));
    }

    // Pauses up to `ms`, in slices, until cancelled.
    void pause(std::int64_t ms) {
        while (ms > 0 && !cancel) {
            const DWORD slice = static_cast<DWORD>(std::min<std::int64_t>(ms, 100));
            Sleep(slice);
            ms -= slice;
        }
    }

    // stop(): from now on nothing of this task is delivered and its file
    // goes (now, or when the write under way returns). Idempotent.
    void stop() {
        cancel = true;
        part.stop();
    }

    // The transfer; returns the bytes written and whether the package is
    // whole (and accepted by the task's check) under its final name.
    bool transfer(std::int64_t& written);
    // The signature text at signatureUrl, over the package's own session
    // (its proxy settings, agent and time limits) with the package's
    // request flags (its certificate checks). "" when it cannot be had.
    std::string fetchSignature(HINTERNET session, DWORD flags);
    void run() noexcept;
};

namespace {

// Opens and sends a GET of `object` on `connection`; the request, or an
// empty handle (with the error in `error`).
InetHandle sendGet(HINTERNET connection, const std::wstring& object, DWORD flags, DWORD& error) {
    const wchar_t* accept[] = {L"*/*", nullptr};
    InetHandle request(HttpOpenRequestW(connection, L"GET", object.c_str(), nullptr, nullptr, accept, flags, 0));
    if (!request) {
        error = GetLastError();
        return request;
    }
    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) {
        error = GetLastError();
        request.reset();
    }
    return request;
}

DWORD statusOf(HINTERNET request) {
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return status;
}

// The request's object (path and query) for `url` on the connection the
// package uses; "" when the address is not on that server.
std::wstring objectOf(const std::wstring& url, const std::wstring& host, INTERNET_PORT port, INTERNET_SCHEME scheme) {
    wchar_t h[256] = {}, path[4096] = {}, extra[4096] = {};
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = h;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 4096;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 4096;
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return {};
    if (parts.nScheme != scheme || parts.nPort != port || _wcsicmp(h, host.c_str()) != 0) return {};
    return std::wstring(path[0] ? path : L"/") + extra;
}

}  // namespace

std::string Win32Downloader::Job::fetchSignature(HINTERNET session, DWORD flags) {
    wchar_t host[256] = {};
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    if (!InternetCrackUrlW(signatureUrl.c_str(), 0, 0, &parts)) return {};
    const std::wstring object = objectOf(signatureUrl, host, parts.nPort, parts.nScheme);
    if (object.empty()) return {};
    flags &= ~static_cast<DWORD>(INTERNET_FLAG_SECURE);
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    InetHandle connection(InternetConnectW(session, host, parts.nPort, user.empty() ? nullptr : user.c_str(),
                                           password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP,
                                           0, 0));
    if (!connection || cancel) return {};
    DWORD error = 0;
    InetHandle request = sendGet(connection.get(), object, flags, error);
    if (!request || cancel) return {};
    if (statusOf(request.get()) != 200) return {};
    std::string text;
    char buf[1024];
    for (;;) {
        if (cancel) return {};
        DWORD got = 0;
        if (!InternetReadFile(request.get(), buf, sizeof buf, &got)) return {};
        if (got == 0) return text;
        text.append(buf, got);
        if (text.size() > platform::kMaxSignatureBytes) return {};
    }
}

bool Win32Downloader::Job::transfer(std::int64_t& written) {
    const std::wstring agent = widen(std::string(config::kProductName) + "/" + std::string(config::kVersion));
    InetHandle session(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    auto setTimeout = [&](DWORD option, std::uint32_t ms) {
        if (ms) InternetSetOptionW(session.get(), option, &ms, sizeof ms);
    };
    setTimeout(INTERNET_OPTION_CONNECT_TIMEOUT, task.connectTimeoutMs);
    setTimeout(INTERNET_OPTION_SEND_TIMEOUT, task.sendTimeoutMs);
    setTimeout(INTERNET_OPTION_RECEIVE_TIMEOUT, task.receiveTimeoutMs);

    wchar_t host[256] = {};
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return false;
    const std::wstring object = objectOf(url, host, parts.nPort, parts.nScheme);
    if (object.empty()) return false;
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    // Only this worker ever uses or closes these handles: a stop sets the
    // cancel flag, and every blocking call here ends within the task's
    // time limits.
    InetHandle connection(InternetConnectW(session.get(), host, parts.nPort, user.empty() ? nullptr : user.c_str(),
                                           password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP,
                                           0, 0));
    if (!connection || cancel) return false;
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    DWORD error = 0;
    InetHandle request = sendGet(connection.get(), object, flags, error);
    if (!request) {
        say("connection failed: " + std::to_string(error));
        return false;
    }
    if (cancel) return false;
    const DWORD status = statusOf(request.get());
    if (status != 200) {
        say("HTTP status " + std::to_string(status));
        return false;
    }
    // The announced length, when there is one.
    std::int64_t length = -1;
    wchar_t lengthText[64] = {};
    DWORD size = sizeof lengthText;
    if (HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH, lengthText, &size, nullptr)) {
        wchar_t* end = nullptr;
        const long long v = std::wcstoll(lengthText, &end, 10);
        if (end != lengthText && v >= 0) length = v;
    }
    if (length >= 0) notify(platform::kStatusSize, length);

    if (!part.create()) return false;
    // The hash runs beside the transfer only when the task checks it.
    std::unique_ptr<BackgroundHash> hash;
    if (task.verify) hash = std::make_unique<BackgroundHash>();

    // Each read costs a round of WinINet and socket calls whatever its size,
    // so when the size is ours the reads grow while the data keeps up, and
    // shrink again when a read has to wait (see nextReadSize).
    const std::uint32_t least = platform::readSize(task.blockSize, task.rateLimit);
    const std::uint32_t most = platform::largestReadSize(task.blockSize, task.rateLimit);
    std::uint32_t block = least;
    std::vector<char> buffer(most);
    auto windowStart = std::chrono::steady_clock::now();
    std::int64_t inWindow = 0;
    for (;;) {
        if (cancel) return false;
        DWORD got = 0;
        const auto readStart = std::chrono::steady_clock::now();
        if (!InternetReadFile(request.get(), buffer.data(), block, &got)) {
            say("read failed: " + std::to_string(GetLastError()));
            return false;
        }
        if (got == 0) break;
        const auto readMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                  readStart).count();
        block = platform::nextReadSize(block, got, readMs, least, most);
        // What is hashed is exactly what went through the file's handle.
        if (!part.write(buffer.data(), got)) return false;
        if (hash && !hash->add(buffer.data(), got)) return false;
        written += got;
        downloaded += got;
        sinceQuery += got;
        *all += got;

        if (task.rateLimit > 0) {
            inWindow += got;
            const auto now = std::chrono::steady_clock::now();
            std::int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - windowStart).count();
            if (ms >= 1000) {
                windowStart = now;
                inWindow = 0;
                ms = 0;
            }
            if (const std::int64_t wait = platform::pauseMs(task.rateLimit, inWindow, ms)) {
                pause(wait);
                windowStart = std::chrono::steady_clock::now();
                inWindow = 0;
            }
        }
    }
    request.reset();
    if (length >= 0 && written != length) {
        say("size differs from the announced length");
        return false;
    }
    if (hash) {
        platform::Sha256 digest{};
        if (!hash->finish(digest)) return false;
        // The signature comes the package's way, while the file stays held.
        const std::string signature = signatureUrl.empty() ? std::string() : fetchSignature(session.get(), flags);
        if (cancel || !task.verify(digest, signature)) {
            say("the package's check refused it");
            return false;
        }
    }
    return part.keep();
}

void Win32Downloader::Job::run() noexcept {
    // Nothing leaves the worker: a failed allocation, a thread that cannot
    // start, a check that throws, each is a failed transfer, and the end is
    // reported and `finished` set whatever happened.
    std::int64_t written = 0;
    bool ok = false;
    try {
        ok = transfer(written);
    } catch (...) {
        ok = false;
    }
    try {
        if (!ok) part.discard();
    } catch (...) {
    }
    if (endNotice && !cancel) {
        endNotice->job = id;
        endNotice->notice = {platform::kStatusEnd, written, ok};
        if (PostMessageW(window, kNotify, 0, reinterpret_cast<LPARAM>(endNotice.get()))) endNotice.release();
    }
    finished = true;
}

// --- the component, on the UI thread -------------------------------------------

Win32Downloader::Win32Downloader() : allBytes_(std::make_shared<std::atomic<std::int64_t>>(0)) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(inst, kWindowClass, &wc)) {
        wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = windowProc;
        wc.hInstance = inst;
        wc.lpszClassName = kWindowClass;
        RegisterClassExW(&wc);
    }
    window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
    if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Downloader::~Win32Downloader() {
    stop();
    // Workers left running by a stop end within their task's time limits;
    // none outlives the component, so none calls into what its owner
    // releases after it (the check the task's verify uses).
    reapWorkers(true);
    if (window_) {
        // Notifications still queued are dropped with their payloads.
        MSG msg;
        while (PeekMessageW(&msg, window_, kNotify, kNotify, PM_REMOVE))
            delete reinterpret_cast<Posted*>(msg.lParam);
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK Win32Downloader::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kNotify) {
        auto* self = reinterpret_cast<Win32Downloader*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self) self->deliver(lp);
        else delete reinterpret_cast<Posted*>(lp);
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

void Win32Downloader::deliver(LPARAM payload) {
    std::unique_ptr<Posted> p(reinterpret_cast<Posted*>(payload));
    // Only the current task speaks, and not once it has been stopped. The
    // job is kept alive here: a callback may start or stop tasks.
    std::shared_ptr<Job> job = job_;
    if (!job || job->id != p->job || job->cancel) return;
    if (p->isMessage) {
        if (auto cb = job->task.onMessage) cb(p->message);
        return;
    }
    if (p->notice.kind == platform::kStatusEnd) reapWorkers(false);
    if (auto cb = job->task.onStatus) cb(p->notice);
}

void Win32Downloader::reapWorkers(bool all) {
    // A worker is joined once it has ended (its end notice is posted just
    // before); with `all`, every worker is waited for, a stopped one
    // included.
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (all || it->job->finished) {
            while (!it->job->finished) Sleep(1);
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

bool Win32Downloader::start(const platform::DownloadTask& task) {
    if (!window_) return false;
    if (job_ && !job_->finished && !job_->cancel) return false;
    if (task.kind != platform::kTaskDownload) return false;
    const std::wstring url = widen(task.url);
    if (url.empty() || !isHttpUrl(url)) return false;
    if (task.localFile.empty() || task.localFile.back() == '\\' || task.localFile.back() == '/') return false;
    const std::wstring finalPath = widen(task.localFile);
    const DWORD attributes = GetFileAttributesW(finalPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    reapWorkers(false);

    try {
        auto job = std::make_shared<Job>();
        job->id = nextId_++;
        job->window = window_;
        job->task = task;
        job->url = url;
        job->signatureUrl = widen(task.signatureUrl);
        job->disk.finalPath = finalPath;
        job->disk.partPath = finalPath + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(++partCounter) + L".part";
        job->user = widen(task.user);
        job->password = widen(task.password);
        job->all = allBytes_;
        job->endNotice = std::make_unique<Posted>();
        workers_.reserve(workers_.size() + 1);
        workers_.push_back({job, std::thread([job] { job->run(); })});
        job_ = std::move(job);
    } catch (...) {
        return false;   // no memory or no thread: refused
    }
    return true;
}

std::int64_t Win32Downloader::downloadedBytes() { return job_ ? job_->downloaded.load() : 0; }

std::int64_t Win32Downloader::takeTaskBytes() { return job_ ? job_->sinceQuery.exchange(0) : 0; }

std::int64_t Win32Downloader::takeAllBytes() { return allBytes_->exchange(0); }

void Win32Downloader::stop() {
    std::shared_ptr<Job> job = job_;
    if (!job) return;
    // Its partial file goes now (or, when a write of it is under way, as
    // soon as that returns: no wait here on a disk), and nothing is renamed
    // to the final name any more.
    job->stop();
    // The worker sees the flag before its next block; one that waits for
    // data ends within the task's receive limit. Its handles are its own to
    // close: none is closed under a call that may still use it.
    for (DWORD waited = 0; !job->finished && waited < job->task.stopWaitMs; waited += kSliceMs) Sleep(kSliceMs);
    reapWorkers(false);
}

}  // namespace win32

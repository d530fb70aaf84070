#include "platform/win32/http_win32.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/codec.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

using platform::FetchEnd;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kGetAgent[] = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

std::wstring fromGbk(std::string_view gbk) { return widen(codec::gbkToUtf8(gbk)); }

// The WinINet handles of one request. Only its worker uses them, and only
// its worker closes them, once, after its last call with any of them, last
// opened first (request, connection, internet handle). A waiter that gives
// the request up only says so (`abandoned`): closing a handle under a call
// that may still be using it, or be about to, would let the worker call
// with a value WinINet may have handed out again. Every blocking call of
// the worker is bounded by the time left to the deadline (limitTo and
// readBody), so an abandoned worker still ends soon after it.
class Handles {
public:
    Handles() { open_.reserve(4); }   // never more than three: keep() cannot fail
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
    ~Handles() { closeAll(); }
    // Keeps a handle the worker has just opened.
    HINTERNET keep(HINTERNET h) {
        if (h) open_.push_back(h);
        return h;
    }
    // Closes every handle; the worker's last step.
    void closeAll() {
        for (auto it = open_.rbegin(); it != open_.rend(); ++it) InternetCloseHandle(*it);
        open_.clear();
    }

private:
    std::vector<HINTERNET> open_;
};

// One request on its worker. The worker fills `result` and sets `done`; the
// waiter reads `result` only after `done`, or gives the request up by
// setting `abandoned`, so the worker stops at its next step.
template <class Result>
struct Job {
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> abandoned{false};
    std::mutex m;
    Result result{};
    Clock::time_point deadline;

    void abandon() { abandoned = true; }
};

// What a worker is handed: where to keep its handles, when to give up.
struct Work {
    Handles& handles;
    Clock::time_point deadline;
    const std::atomic<bool>& abandoned;
};

template <class Result, class Fn>
std::shared_ptr<Job<Result>> launch(std::uint32_t deadlineMs, Fn work) {
    auto job = std::make_shared<Job<Result>>();
    job->deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    if (!job->done) return job;   // never set: the waiter times out
    try {
        std::thread([job, work = std::move(work)]() mutable {
            // Nothing leaves this thread: whatever fails, the request has
            // its empty result, its handles are closed (by this thread
            // only) and the waiter is woken.
            Handles handles;
            try {
                Result r = work(Work{handles, job->deadline, job->abandoned});
                std::lock_guard<std::mutex> lock(job->m);
                job->result = std::move(r);
            } catch (...) {
            }
            handles.closeAll();
            SetEvent(job->done.get());
        }).detach();
    } catch (...) {
        SetEvent(job->done.get());   // no thread: the empty result at once
    }
    return job;
}

DWORD remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

// WinINet's time-outs for what comes next on `h`: the time left to the
// deadline, so a blocked call of an abandoned request ends soon after it.
void limitTo(HINTERNET h, Clock::time_point deadline) {
    DWORD v = std::max<DWORD>(remainingMs(deadline), 1);
    InternetSetOptionW(h, INTERNET_OPTION_CONNECT_TIMEOUT, &v, sizeof v);
    InternetSetOptionW(h, INTERNET_OPTION_SEND_TIMEOUT, &v, sizeof v);
    InternetSetOptionW(h, INTERNET_OPTION_RECEIVE_TIMEOUT, &v, sizeof v);
}

enum class BodyEnd { Whole, Broken, GivenUp };

// Reads the body into `body`, cut at kMaxBodyBytes. Each wait for data is
// bounded by the time left: a server that trickles a byte now and then
// cannot keep the worker past the deadline. Reads take what has arrived
// (up to 16 KiB) instead of waiting for a full buffer.
BodyEnd readBody(HINTERNET req, const Work& w, std::string& body) {
    char buf[16384];
    for (;;) {
        if (w.abandoned || Clock::now() >= w.deadline) return BodyEnd::GivenUp;
        DWORD left = std::max<DWORD>(remainingMs(w.deadline), 1);
        InternetSetOptionW(req, INTERNET_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
        DWORD available = 0;
        if (!InternetQueryDataAvailable(req, &available, 0, 0))
            return w.abandoned || Clock::now() >= w.deadline ? BodyEnd::GivenUp : BodyEnd::Broken;
        if (available == 0) return BodyEnd::Whole;
        DWORD n = 0;
        if (!InternetReadFile(req, buf, std::min<DWORD>(available, sizeof buf), &n)) return BodyEnd::Broken;
        if (n == 0) return BodyEnd::Whole;
        const size_t room = platform::kMaxBodyBytes - body.size();
        body.append(buf, std::min<size_t>(n, room));
        if (body.size() == platform::kMaxBodyBytes) return BodyEnd::Whole;   // cut here
    }
}

platform::Fetched fetch(const std::wstring& url, const Work& w) {
    platform::Fetched out;
    HINTERNET net = w.handles.keep(InternetOpenW(kGetAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!net) return out;
    limitTo(net, w.deadline);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_UI;
    HINTERNET req = w.handles.keep(InternetOpenUrlW(net, url.c_str(), nullptr, 0, flags, 0));
    if (!req || w.abandoned) return out;
    limitTo(req, w.deadline);

    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(req, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status < 200 || status > 299)
        return out;

    std::string body;
    if (readBody(req, w, body) != BodyEnd::Whole) return out;
    out.end = FetchEnd::Complete;
    out.body = std::move(body);
    return out;
}

class Win32PendingGet final : public platform::PendingGet {
public:
    explicit Win32PendingGet(std::shared_ptr<Job<platform::Fetched>> job) : m_job(std::move(job)) {}
    // A request nobody takes any more is given up at once.
    ~Win32PendingGet() override { m_job->abandon(); }

    platform::Fetched take() override {
        if (WaitForSingleObject(m_job->done.get(), remainingMs(m_job->deadline)) != WAIT_OBJECT_0) {
            m_job->abandon();
            return {FetchEnd::TimedOut, {}};
        }
        std::lock_guard<std::mutex> lock(m_job->m);
        return std::move(m_job->result);
    }

private:
    std::shared_ptr<Job<platform::Fetched>> m_job;
};

// What the transport's worker carries: its own copies of the request.
struct Request {
    std::wstring agent, proxy, host, method, path, headers;
    std::string body;
    int port = 80;
};

platform::HttpReply exchangeNow(const Request& r, const Work& w) {
    platform::HttpReply out;
    HINTERNET net = w.handles.keep(
        r.proxy.empty() ? InternetOpenW(r.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
                        : InternetOpenW(r.agent.c_str(), INTERNET_OPEN_TYPE_PROXY, r.proxy.c_str(), nullptr, 0));
    if (!net) return out;
    limitTo(net, w.deadline);
    HINTERNET conn = w.handles.keep(InternetConnectW(net, r.host.c_str(), static_cast<INTERNET_PORT>(r.port), L"",
                                                     L"", INTERNET_SERVICE_HTTP, 0, 0));
    if (!conn) return out;
    HINTERNET req = w.handles.keep(HttpOpenRequestW(conn, r.method.c_str(), r.path.c_str(), L"HTTP/1.1", nullptr,
                                                    nullptr, INTERNET_FLAG_RELOAD, 0));
    if (!req) return out;
    limitTo(req, w.deadline);
    // A request that cannot be sent (no connection) is a failure like a
    // handle that cannot be opened.
    if (w.abandoned ||
        !HttpSendRequestW(req, r.headers.c_str(), static_cast<DWORD>(r.headers.size()),
                          r.body.empty() ? nullptr : const_cast<char*>(r.body.data()), static_cast<DWORD>(r.body.size())))
        return out;

    // A transfer that breaks keeps what arrived. The reads need not be 512
    // bytes: they run on this worker while the waiting UI thread processes
    // its messages the whole time, so their size changes nothing the user
    // sees.
    if (readBody(req, w, out.body) == BodyEnd::GivenUp) return out;

    // The raw header block is read into 1024 characters; a longer block is
    // not read at all, and HTTP类 then stores no cookie for that response.
    wchar_t raw[1024];
    DWORD size = sizeof raw;
    if (w.abandoned) return out;
    if (HttpQueryInfoW(req, HTTP_QUERY_RAW_HEADERS_CRLF, raw, &size, nullptr))
        out.rawHeaders = codec::utf8ToGbk(narrow(std::wstring_view(raw, size / sizeof(wchar_t))));
    out.end = FetchEnd::Complete;
    return out;   // request, connection, internet handle closed in that order by the worker
}

bool quitPending() {
    MSG m;
    return PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

}  // namespace

std::unique_ptr<platform::PendingGet> Win32HttpGet::start(std::string_view url) {
    const std::uint32_t deadline = m_deadlineMs;
    auto job = launch<platform::Fetched>(deadline, [u = widen(url)](const Work& w) { return fetch(u, w); });
    return std::make_unique<Win32PendingGet>(std::move(job));
}

platform::HttpReply Win32HttpTransport::exchange(const platform::HttpExchange& x) {
    Request r;
    r.agent = fromGbk(x.agent);
    r.proxy = fromGbk(x.proxy);
    r.host = fromGbk(x.host);
    r.method = fromGbk(x.method);
    r.path = fromGbk(x.path);
    r.headers = fromGbk(x.headers);
    r.body = std::string(x.body);
    r.port = x.port;
    const std::uint32_t deadline = m_deadlineMs;
    auto job = launch<platform::HttpReply>(deadline, [r = std::move(r)](const Work& w) { return exchangeNow(r, w); });

    // Wait with the window messages flowing, as long as no quit is pending.
    HANDLE done = job->done.get();
    for (;;) {
        const DWORD left = remainingMs(job->deadline);
        DWORD w = quitPending() ? WaitForSingleObject(done, left)
                                : MsgWaitForMultipleObjectsEx(1, &done, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (w == WAIT_OBJECT_0) break;
        if (w == WAIT_OBJECT_0 + 1) {
            letMessagesThrough();
            continue;
        }
        job->abandon();
        return {FetchEnd::TimedOut, {}, {}};
    }
    std::lock_guard<std::mutex> lock(job->m);
    return std::move(job->result);
}

void Win32HttpTransport::setCookie(std::string_view url, std::string_view name, std::string_view value) {
    const std::wstring n = fromGbk(name);
    InternetSetCookieW(fromGbk(url).c_str(), n.empty() ? nullptr : n.c_str(), fromGbk(value).c_str());
}

void Win32HttpTransport::letMessagesThrough() {
    if (m_pump) {
        m_pump();
        return;
    }
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return;
        }
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

}  // namespace win32

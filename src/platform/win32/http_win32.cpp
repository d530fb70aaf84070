#include "platform/win32/http_win32.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/codec.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

using platform::FetchEnd;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kGetAgent[] = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

std::wstring fromGbk(std::string_view gbk) { return widen(codec::gbkToUtf8(gbk)); }

// One request on its worker. The worker fills `result` and sets `done`; the
// waiter reads `result` only after `done`, or sets `abandoned` and leaves.
template <class Result>
struct Job {
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> abandoned{false};
    std::mutex m;
    Result result{};
    Clock::time_point deadline;
};

template <class Result, class Work>
std::shared_ptr<Job<Result>> launch(std::uint32_t deadlineMs, Work work) {
    auto job = std::make_shared<Job<Result>>();
    job->deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    if (!job->done) return job;   // never set: the waiter times out
    try {
        std::thread([job, work = std::move(work)]() mutable {
            Result r{};
            try {
                r = work(job->abandoned);
            } catch (...) {
                r = Result{};
            }
            {
                std::lock_guard<std::mutex> lock(job->m);
                job->result = std::move(r);
            }
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

// WinINet's own time-outs as a second line: on platforms that honour them
// the abandoned worker ends soon after the deadline too.
void setTimeouts(HINTERNET h, std::uint32_t ms) {
    DWORD v = ms;
    InternetSetOptionW(h, INTERNET_OPTION_CONNECT_TIMEOUT, &v, sizeof v);
    InternetSetOptionW(h, INTERNET_OPTION_SEND_TIMEOUT, &v, sizeof v);
    InternetSetOptionW(h, INTERNET_OPTION_RECEIVE_TIMEOUT, &v, sizeof v);
}

platform::Fetched fetch(const std::wstring& url, std::uint32_t deadlineMs, const std::atomic<bool>& abandoned) {
    platform::Fetched out;
    InetHandle net(InternetOpenW(kGetAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!net) return out;
    setTimeouts(net.get(), deadlineMs);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_UI;
    InetHandle req(InternetOpenUrlW(net.get(), url.c_str(), nullptr, 0, flags, 0));
    if (!req || abandoned) return out;

    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(req.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status < 200 || status > 299)
        return out;

    std::string body;
    char buf[16384];
    for (;;) {
        if (abandoned) return out;
        DWORD n = 0;
        if (!InternetReadFile(req.get(), buf, sizeof buf, &n)) return out;
        if (n == 0) break;
        const size_t room = platform::kMaxBodyBytes - body.size();
        body.append(buf, std::min<size_t>(n, room));
        if (body.size() == platform::kMaxBodyBytes) break;   // cut here
    }
    out.end = FetchEnd::Complete;
    out.body = std::move(body);
    return out;
}

class Win32PendingGet final : public platform::PendingGet {
public:
    explicit Win32PendingGet(std::shared_ptr<Job<platform::Fetched>> job) : m_job(std::move(job)) {}
    ~Win32PendingGet() override { m_job->abandoned = true; }

    platform::Fetched take() override {
        if (WaitForSingleObject(m_job->done.get(), remainingMs(m_job->deadline)) != WAIT_OBJECT_0) {
            m_job->abandoned = true;
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

platform::HttpReply exchangeNow(const Request& r, std::uint32_t deadlineMs, const std::atomic<bool>& abandoned) {
    platform::HttpReply out;
    InetHandle net(r.proxy.empty() ? InternetOpenW(r.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
                                   : InternetOpenW(r.agent.c_str(), INTERNET_OPEN_TYPE_PROXY, r.proxy.c_str(), nullptr, 0));
    if (!net) return out;
    setTimeouts(net.get(), deadlineMs);
    InetHandle conn(InternetConnectW(net.get(), r.host.c_str(), static_cast<INTERNET_PORT>(r.port), L"", L"",
                                     INTERNET_SERVICE_HTTP, 0, 0));
    if (!conn) return out;
    InetHandle req(HttpOpenRequestW(conn.get(), r.method.c_str(), r.path.c_str(), L"HTTP/1.1", nullptr, nullptr,
                                    INTERNET_FLAG_RELOAD, 0));
    if (!req) return out;
    // A request that cannot be sent (no connection) is a failure like a
    // handle that cannot be opened.
    if (!HttpSendRequestW(req.get(), r.headers.c_str(), static_cast<DWORD>(r.headers.size()),
                          r.body.empty() ? nullptr : const_cast<char*>(r.body.data()), static_cast<DWORD>(r.body.size())))
        return out;

    // A transfer that breaks keeps what arrived. The reads need not be
    // small: the waiting UI thread processes its messages meanwhile.
    char buf[16384];
    for (;;) {
        if (abandoned) return out;
        DWORD n = 0;
        if (!InternetReadFile(req.get(), buf, sizeof buf, &n) || n == 0) break;
        const size_t room = platform::kMaxBodyBytes - out.body.size();
        out.body.append(buf, std::min<size_t>(n, room));
        if (out.body.size() == platform::kMaxBodyBytes) break;
    }

    // The raw header block is read into 1024 characters; a longer block is
    // not read at all, and HTTP类 then stores no cookie for that response.
    wchar_t raw[1024];
    DWORD size = sizeof raw;
    if (HttpQueryInfoW(req.get(), HTTP_QUERY_RAW_HEADERS_CRLF, raw, &size, nullptr))
        out.rawHeaders = codec::utf8ToGbk(narrow(std::wstring_view(raw, size / sizeof(wchar_t))));
    out.end = FetchEnd::Complete;
    return out;   // request, connection, internet handle closed in that order
}

bool quitPending() {
    MSG m;
    return PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

}  // namespace

std::unique_ptr<platform::PendingGet> Win32HttpGet::start(std::string_view url) {
    const std::uint32_t deadline = m_deadlineMs;
    auto job = launch<platform::Fetched>(deadline, [u = widen(url), deadline](const std::atomic<bool>& abandoned) {
        return fetch(u, deadline, abandoned);
    });
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
    auto job = launch<platform::HttpReply>(
        deadline, [r = std::move(r), deadline](const std::atomic<bool>& abandoned) { return exchangeNow(r, deadline, abandoned); });

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
        job->abandoned = true;
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

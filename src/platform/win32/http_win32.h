// WinINet behind the HTTP interfaces. Each request runs on a worker thread
// of its own with its own handles; the caller waits at most until the
// deadline and then gives the request up. Only the worker uses and closes
// the request's handles, so no WinINet call is ever made with a handle
// after its close; every wait of the worker is bounded by the same
// deadline, so it ends soon after the deadline whatever the server does. Workers only produce data: no window is touched
// from them, and no exception leaves them.
#pragma once

#include <windows.h>

#include "platform/win32/inet_handle.h"
#include <wininet.h>

#include <cstdint>
#include <functional>

#include "platform/http.h"

namespace win32 {


// The shared GET: InternetOpenUrl, direct connection, reload without cache
// write; 2xx only. take() blocks the calling thread without processing
// window messages.
class Win32HttpGet final : public platform::HttpGet {
public:
    explicit Win32HttpGet(std::uint32_t deadlineMs = platform::kFetchDeadlineMs) : m_deadlineMs(deadlineMs) {}
    std::unique_ptr<platform::PendingGet> start(std::string_view url) override;

private:
    std::uint32_t m_deadlineMs;
};

// The transport of HTTP类: InternetOpen / InternetConnect / HttpOpenRequest
// (always reload) / HttpSendRequest, the body read on the worker in pieces
// of up to 16 KiB, the raw headers from a 1024-character buffer. While it
// waits, `pump` processes the UI thread's messages the whole time (the
// plain PeekMessage loop when empty), not only between reads.
class Win32HttpTransport final : public platform::HttpTransport {
public:
    explicit Win32HttpTransport(std::function<void()> pump = {},
                                std::uint32_t deadlineMs = platform::kFetchDeadlineMs)
        : m_pump(std::move(pump)), m_deadlineMs(deadlineMs) {}
    platform::HttpReply exchange(const platform::HttpExchange& request) override;
    void setCookie(std::string_view url, std::string_view name, std::string_view value) override;
    void letMessagesThrough() override;

private:
    std::function<void()> m_pump;
    std::uint32_t m_deadlineMs;
};

}  // namespace win32

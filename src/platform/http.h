// HTTP over the platform's own client: the shared GET of the server texts
// and the IP lookup, and the transport under HTTP类.
//
// Every fetch is bounded by the tool's own deadline, whatever the server
// does (refuses, accepts and stays silent, never accepts, trickles): the
// request runs on a worker thread and is abandoned when the deadline passes.
// Bodies are cut at kMaxBodyBytes. Bytes go out and come back unchanged;
// texts handed in are GBK, as they go on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::uint32_t kFetchDeadlineMs = 3000;
inline constexpr std::size_t kMaxBodyBytes = 8u * 1024 * 1024;

// How a fetch ended.
enum class FetchEnd {
    Complete,   // the whole body arrived (perhaps cut at kMaxBodyBytes)
    Failed,     // no connection, an error status, a broken transfer
    TimedOut,   // the deadline passed first; the request was abandoned
};

struct Fetched {
    FetchEnd end = FetchEnd::Failed;
    std::string body;   // empty unless Complete
};

// A GET already under way. Its deadline counts from when it was started.
class PendingGet {
public:
    virtual ~PendingGet() = default;
    // Waits for the result, at most until the deadline; window messages are
    // not processed meanwhile. Call once, on the thread that started it.
    virtual Fetched take() = 0;
};

class HttpGet {
public:
    virtual ~HttpGet() = default;
    // Starts a GET of `url` now: fresh (reload, no cache write), any status
    // other than 2xx is a failure. Independent GETs run side by side.
    virtual std::unique_ptr<PendingGet> start(std::string_view url) = 0;

    // The plain GET: the body, or empty on any failure.
    std::string get(std::string_view url) {
        Fetched f = start(url)->take();
        return f.end == FetchEnd::Complete ? std::move(f.body) : std::string();
    }
};

// One request of HTTP类, already settled by it: what goes on the wire.
struct HttpExchange {
    std::string_view agent;
    std::string_view proxy;     // "" = direct, else the proxy list, e.g. "http=host:port"
    std::string_view host;
    int port = 80;
    std::string_view method;    // "GET" or "POST"
    std::string_view path;      // path with query
    std::string_view headers;   // header lines, each ending in CR LF
    std::string_view body;      // sent as it is (empty for a GET)
};

struct HttpReply {
    // Failed: a handle could not be opened or the request could not be sent.
    // Complete also covers a transfer broken after the request went out:
    // the body then holds what arrived.
    FetchEnd end = FetchEnd::Failed;
    std::string body;
    // The raw response headers, lines separated by CR LF; empty when longer
    // than 1024 characters.
    std::string rawHeaders;
};

class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    // Sends one request and reads the whole response, bypassing the cache.
    // Window messages keep being processed while it waits. UI thread only.
    virtual HttpReply exchange(const HttpExchange& request) = 0;
    // Stores a cookie in the system's cookie store under `url`.
    virtual void setCookie(std::string_view url, std::string_view name, std::string_view value) = 0;
    // Lets the window messages that are waiting be processed.
    virtual void letMessagesThrough() = 0;
};

}  // namespace platform

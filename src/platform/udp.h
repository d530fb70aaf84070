// UDP datagrams over IPv4, for the DNS test: one socket on an ephemeral
// port, sends to any address and receives with a bounded wait. Addresses
// are in host order (127.0.0.1 is 0x7F000001).
//
// A socket is used by one thread at a time (the DNS test's worker); the
// service's random() and nowMicros() may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace platform {

struct Datagram {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    std::vector<std::uint8_t> bytes;
};

class UdpSocket {
public:
    enum class Wait { Received, TimedOut, Failed };
    virtual ~UdpSocket() = default;
    // Sends one datagram; false when the system refused it.
    virtual bool send(std::uint32_t address, std::uint16_t port, std::span<const std::uint8_t> bytes) = 0;
    // Waits at most `timeoutMs` for one datagram (0: only looks). Received
    // fills `out`; TimedOut leaves it as it was; Failed when the socket
    // broke (a caller stops using it). An error that one sent datagram
    // caused (such as a port that answered unreachable) is no failure: the
    // call goes on waiting.
    virtual Wait receive(int timeoutMs, Datagram& out) = 0;
};

class Udp {
public:
    virtual ~Udp() = default;
    // A socket bound to an ephemeral port of every local address; null when
    // none can be opened (no network stack).
    virtual std::unique_ptr<UdpSocket> open() = 0;
    // Fills `out` from the system's strong random source; false when it
    // gave nothing (the caller must not fall back to a weak source).
    virtual bool random(std::span<std::uint8_t> out) = 0;
    // A monotonic clock in microseconds.
    virtual std::int64_t nowMicros() = 0;
};

}  // namespace platform

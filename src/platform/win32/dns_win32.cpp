#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>
#include <bcrypt.h>

#include "platform/win32/dns_win32.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace win32 {

namespace {

class Win32UdpSocket final : public platform::UdpSocket {
public:
    // Takes over `s` and the Winsock start made for it; gives both back.
    explicit Win32UdpSocket(SOCKET s) : s_(s) {}
    ~Win32UdpSocket() override {
        closesocket(s_);
        WSACleanup();
    }

    bool send(std::uint32_t address, std::uint16_t port, std::span<const std::uint8_t> bytes) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(address);
        const int n = sendto(s_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
                             reinterpret_cast<const sockaddr*>(&to), sizeof to);
        return n == static_cast<int>(bytes.size());
    }

    Wait receive(int timeoutMs, platform::Datagram& out) override {
        const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
        for (;;) {
            const ULONGLONG now = GetTickCount64();
            const long left = now >= until ? 0 : static_cast<long>(until - now);
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(s_, &readable);
            timeval tv{left / 1000, (left % 1000) * 1000};
            const int ready = select(0, &readable, nullptr, nullptr, &tv);
            if (ready == SOCKET_ERROR) return Wait::Failed;
            if (ready == 0) return Wait::TimedOut;
            sockaddr_in from{};
            int fromLen = sizeof from;
            const int n = recvfrom(s_, reinterpret_cast<char*>(buffer_), sizeof buffer_, 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (n == SOCKET_ERROR) {
                const int error = WSAGetLastError();
                // An ICMP answer to one datagram, or one larger than any
                // reply we read: drop it and wait on.
                if (error == WSAECONNRESET || error == WSAEMSGSIZE || error == WSAENETRESET) {
                    if (GetTickCount64() >= until) return Wait::TimedOut;
                    continue;
                }
                return Wait::Failed;
            }
            out.address = ntohl(from.sin_addr.s_addr);
            out.port = ntohs(from.sin_port);
            out.bytes.assign(buffer_, buffer_ + n);
            return Wait::Received;
        }
    }

private:
    SOCKET s_;
    std::uint8_t buffer_[1500];
};

}  // namespace

std::unique_ptr<platform::UdpSocket> Win32Udp::open() {
    // One start per socket: Winsock counts them, so sockets opened on
    // several threads at once need no shared flag.
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return nullptr;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return nullptr;
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any) == SOCKET_ERROR) {
        closesocket(s);
        WSACleanup();
        return nullptr;
    }
    // A port that answered "unreachable" must not fail the next receive.
    BOOL off = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &off, sizeof off, nullptr, 0, &returned, nullptr, nullptr);
    return std::make_unique<Win32UdpSocket>(s);
}

bool Win32Udp::random(std::span<std::uint8_t> out) {
    return BCRYPT_SUCCESS(BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(out.size()),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

std::int64_t Win32Udp::nowMicros() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<std::int64_t>(c.QuadPart / frequency * 1000000 + c.QuadPart % frequency * 1000000 / frequency);
}

}  // namespace win32

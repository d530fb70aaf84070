// A scripted network for the DNS test: resolvers with set behaviours on a
// fake clock. receive() moves the clock to the next reply or to the end of
// its wait, so a whole test runs in no real time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/udp.h"

namespace dnsfake {

enum class Mode { Answer, Silent, Refuse, ServFail, Hijack, WrongIdFirst, Garbage };

struct Resolver {
    Mode mode = Mode::Answer;
    int delayMs = 5;
};

// A reply to `query` (as sent): QR and RA set, this rcode, the same
// question; with `address` one A record pointing at the question.
inline std::vector<std::uint8_t> replyTo(std::vector<std::uint8_t> q, int rcode, bool address, int idDelta = 0) {
    const std::uint16_t id = static_cast<std::uint16_t>(((q[0] << 8) | q[1]) + idDelta);
    q[0] = static_cast<std::uint8_t>(id >> 8);
    q[1] = static_cast<std::uint8_t>(id);
    q[2] = 0x81;
    q[3] = static_cast<std::uint8_t>(0x80 | rcode);
    if (address) {
        q[7] = 1;
        const std::uint8_t rr[] = {0xC0, 12, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 10, 9, 8, 7};
        q.insert(q.end(), std::begin(rr), std::end(rr));
    }
    return q;
}

struct Network : platform::Udp {
    std::int64_t now = 1'000'000;
    bool noSocket = false;
    std::uint32_t seed = 12345;
    std::map<std::pair<std::uint32_t, std::uint16_t>, Resolver> resolvers;
    struct Sent {
        std::int64_t at;
        std::uint32_t address;
        std::uint16_t port;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Sent> sent;
    struct Due {
        std::int64_t at;
        platform::Datagram d;
    };
    std::vector<Due> due;
    std::map<std::pair<std::uint32_t, std::uint16_t>, int> queriesSeen;

    struct Socket : platform::UdpSocket {
        Network& n;
        explicit Socket(Network& net) : n(net) {}
        bool send(std::uint32_t a, std::uint16_t p, std::span<const std::uint8_t> b) override {
            std::vector<std::uint8_t> q(b.begin(), b.end());
            n.sent.push_back({n.now, a, p, q});
            auto it = n.resolvers.find({a, p});
            if (it == n.resolvers.end()) return true;
            const Resolver& r = it->second;
            const std::int64_t at = n.now + std::int64_t{r.delayMs} * 1000;
            const bool uncached = q.size() > 12 && q[12] == 16;   // a 16-letter label
            auto put = [&](std::vector<std::uint8_t> bytes, std::int64_t when, std::uint32_t from = 0, std::uint16_t port = 0) {
                n.due.push_back({when, {from ? from : a, port ? port : p, std::move(bytes)}});
            };
            switch (r.mode) {
            case Mode::Silent: break;
            case Mode::Answer: put(replyTo(q, uncached ? 3 : 0, !uncached), at); break;
            case Mode::Refuse: put(replyTo(q, 5, false), at); break;
            case Mode::ServFail: put(replyTo(q, 2, false), at); break;
            case Mode::Hijack: put(replyTo(q, 0, true), at); break;
            case Mode::WrongIdFirst:
                put(replyTo(q, 0, true, 1), at);                  // wrong id
                put(replyTo(q, 0, true), at, a + 1);               // right, but another address
                put(replyTo(q, 0, true), at, a, static_cast<std::uint16_t>(p + 1));   // another port
                put(replyTo(q, uncached ? 3 : 0, false), at + 1000);
                break;
            case Mode::Garbage:
                for (int i = 0; i < 50; ++i) {
                    auto g = q;
                    g[2] = 0x81;
                    g.resize(static_cast<size_t>(i % 20));
                    put(g, at);
                }
                put(replyTo(q, uncached ? 3 : 0, false), at + 1000);
                break;
            }
            return true;
        }
        Wait receive(int timeoutMs, platform::Datagram& out) override {
            auto it = std::min_element(n.due.begin(), n.due.end(), [](const Due& x, const Due& y) { return x.at < y.at; });
            const std::int64_t until = n.now + std::int64_t{timeoutMs} * 1000;
            if (it == n.due.end() || it->at > until) {
                n.now = until;
                return Wait::TimedOut;
            }
            n.now = std::max(n.now, it->at);
            out = std::move(it->d);
            n.due.erase(it);
            return Wait::Received;
        }
    };

    std::unique_ptr<platform::UdpSocket> open() override {
        if (noSocket) return nullptr;
        return std::make_unique<Socket>(*this);
    }
    bool random(std::span<std::uint8_t> out) override {
        for (auto& b : out) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            b = static_cast<std::uint8_t>(seed);
        }
        return true;
    }
    std::int64_t nowMicros() override { return now; }
};

}  // namespace dnsfake

#include "dns/measure.h"

#include <algorithm>
#include <tuple>

#include "dns/message.h"

namespace dns {

namespace {

constexpr int kSliceMs = 20;   // the longest wait between two looks at `stop`

struct Pending {
    int target = 0;
    int round = 0;
    std::uint16_t id = 0;
    std::string name;
    std::int64_t sent = 0;   // µs
};

}  // namespace

Part partOf(int round) {
    if (round == 0) return Part::WarmUp;
    return round <= kCachedRounds ? Part::Cached : Part::Uncached;
}

std::string randomLabel(platform::Udp& udp) {
    static constexpr char kSymbols[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string label;
    std::uint8_t bytes[32];
    while (label.size() < 16) {
        if (!udp.random(bytes)) return {};
        for (std::uint8_t b : bytes) {
            if (b >= 252) continue;   // 252 = 7 * 36: keeps every symbol equally likely
            label += kSymbols[b % 36];
            if (label.size() == 16) break;
        }
    }
    return label;
}

RunEnd measure(platform::Udp& udp, const std::vector<Target>& targets, const std::atomic<bool>& stop,
               const std::function<void(const Sample&)>& report) {
    auto socket = udp.open();
    if (!socket) return RunEnd::NoNetwork;
    // Names first: the uncached ones are fresh per query, all drawn before
    // the clock starts.
    std::vector<std::vector<std::string>> names(targets.size(), std::vector<std::string>(kRounds));
    for (auto& perTarget : names) {
        for (int r = 0; r < kRounds; ++r) {
            if (partOf(r) != Part::Uncached) {
                perTarget[r] = std::string(kPopularName);
                continue;
            }
            const std::string label = randomLabel(udp);
            if (label.empty()) return RunEnd::NoNetwork;
            perTarget[r] = label + ".com";
        }
    }

    std::vector<Pending> pending;
    const std::int64_t start = udp.nowMicros();
    int nextRound = 0;
    platform::Datagram in;
    auto finish = [&](size_t i, Sample s) {
        pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
        report(s);
    };
    for (;;) {
        if (stop.load()) return RunEnd::Stopped;
        std::int64_t now = udp.nowMicros();
        while (nextRound < kRounds && now >= start + std::int64_t{nextRound} * kRoundMs * 1000) {
            for (size_t t = 0; t < targets.size(); ++t) {
                Pending q;
                q.target = static_cast<int>(t);
                q.round = nextRound;
                q.name = names[t][nextRound];
                // A fresh id, never one still waiting at the same address.
                for (;;) {
                    std::uint8_t b[2];
                    if (!udp.random(b)) return RunEnd::NoNetwork;
                    q.id = static_cast<std::uint16_t>((b[0] << 8) | b[1]);
                    const bool taken = std::any_of(pending.begin(), pending.end(), [&](const Pending& p) {
                        return p.id == q.id && targets[p.target].address == targets[t].address &&
                               targets[p.target].port == targets[t].port;
                    });
                    if (!taken) break;
                }
                const auto bytes = encodeQuery(q.id, q.name);
                q.sent = udp.nowMicros();
                if (!socket->send(targets[t].address, targets[t].port, bytes)) {
                    report({q.target, q.round, Sample::Kind::NoReply});
                    continue;
                }
                pending.push_back(std::move(q));
            }
            ++nextRound;
            now = udp.nowMicros();
        }
        // Queries past their wait are lost.
        for (size_t i = 0; i < pending.size();) {
            if (now - pending[i].sent >= std::int64_t{kWaitMs} * 1000)
                finish(i, {pending[i].target, pending[i].round, Sample::Kind::NoReply});
            else
                ++i;
        }
        if (nextRound == kRounds && pending.empty()) return RunEnd::Finished;

        std::int64_t until = nextRound < kRounds ? start + std::int64_t{nextRound} * kRoundMs * 1000
                                                 : std::int64_t{INT64_MAX};
        for (const Pending& p : pending) until = std::min(until, p.sent + std::int64_t{kWaitMs} * 1000);
        std::int64_t waitMs = (until - now + 999) / 1000;
        waitMs = std::clamp<std::int64_t>(waitMs, 0, kSliceMs);
        const auto got = socket->receive(static_cast<int>(waitMs), in);
        if (got == platform::UdpSocket::Wait::Failed) {
            // The socket broke: whatever still waits is lost, nothing more is sent.
            while (!pending.empty()) finish(0, {pending[0].target, pending[0].round, Sample::Kind::NoReply});
            for (; nextRound < kRounds; ++nextRound)
                for (size_t t = 0; t < targets.size(); ++t)
                    report({static_cast<int>(t), nextRound, Sample::Kind::NoReply});
            return RunEnd::Finished;
        }
        if (got != platform::UdpSocket::Wait::Received) continue;
        const std::int64_t arrived = udp.nowMicros();
        for (size_t i = 0; i < pending.size(); ++i) {
            const Pending& p = pending[i];
            const Target& t = targets[p.target];
            if (in.address != t.address || in.port != t.port) continue;
            const auto reply = readReply(in.bytes, p.id, p.name);
            if (!reply) continue;
            Sample s{p.target, p.round};
            if (reply->rcode == kNoError || reply->rcode == kNxDomain) {
                s.kind = Sample::Kind::Answered;
                s.ms = static_cast<int>((arrived - p.sent + 500) / 1000);
                s.address = reply->address;
            } else {
                s.kind = Sample::Kind::Refused;
            }
            finish(i, s);
            break;
        }
    }
}

void Tally::add(const Sample& s) {
    ++done;
    const Part part = partOf(s.round);
    if (part == Part::WarmUp) return;
    ++counted;
    switch (s.kind) {
    case Sample::Kind::Answered:
        (part == Part::Cached ? cached : uncached).push_back(s.ms);
        if (part == Part::Uncached && s.address) hijacked = true;
        break;
    case Sample::Kind::Refused:
        ++refused;
        ++lost;
        break;
    case Sample::Kind::NoReply:
        ++lost;
        break;
    }
}

std::optional<int> median(std::vector<int> v) {
    if (v.empty()) return std::nullopt;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    if (n % 2) return v[n / 2];
    const long long sum = static_cast<long long>(v[n / 2 - 1]) + v[n / 2];
    return static_cast<int>((sum + 1) / 2);
}

std::string medianText(const std::vector<int>& values) {
    const auto m = median(values);
    return m ? std::to_string(*m) : std::string("—");
}

int lossPercent(const Tally& t) { return t.lost * 100 / kCountedRounds; }

std::string lossText(const Tally& t) { return std::to_string(lossPercent(t)) + "%"; }

std::string noteText(const Tally& t) {
    if (t.hijacked) return "劫持";
    if (t.replies() > 0 && t.refused == t.replies()) return "拒绝";
    if (t.replies() == 0 && t.counted == kCountedRounds) return "无响应";
    return "";
}

std::vector<int> sortedOrder(const std::vector<Tally>& tallies) {
    std::vector<int> order(tallies.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    auto key = [&](int i) {
        const Tally& t = tallies[i];
        // A row that has not been measured (added during the test) comes
        // after every measured one.
        if (t.counted == 0 && t.done == 0) return std::make_tuple(2, 0, 0);
        const int loss = lossPercent(t);
        const bool good = loss <= 20;
        const int none = INT32_MAX;
        return std::make_tuple(good ? 0 : 1, good ? median(t.uncached).value_or(none) : loss,
                               good ? median(t.cached).value_or(none) : 0);
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
    return order;
}

}  // namespace dns

// The measurement itself: queries in rounds to every address, replies
// matched to their queries, each query's outcome reported as it is known.
// Runs on a worker thread over a platform::Udp; nothing here touches a
// window. The results' arithmetic (medians, loss, notes, the order of the
// rows) lives here too, for the window to show.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/udp.h"

namespace dns {

// The popular name of the cached rounds.
inline constexpr std::string_view kPopularName = "www.baidu.com";

inline constexpr int kRounds = 11;         // round 0 warms up, 1-5 cached, 6-10 uncached
inline constexpr int kCachedRounds = 5;
inline constexpr int kCountedRounds = 10;
inline constexpr int kRoundMs = 100;
inline constexpr int kWaitMs = 2000;

enum class Part { WarmUp, Cached, Uncached };
Part partOf(int round);

struct Target {
    std::uint32_t address = 0;   // host order
    std::uint16_t port = 53;
};

// One query's outcome.
struct Sample {
    enum class Kind { Answered, Refused, NoReply };
    int target = 0;
    int round = 0;
    Kind kind = Kind::NoReply;
    int ms = 0;             // Answered: whole milliseconds from send to reply
    bool address = false;   // Answered: the reply carried an address
};

enum class RunEnd { Finished, Stopped, NoNetwork };

// A fresh label of 16 letters and digits, drawn from `udp`'s strong random
// source; empty when it gave nothing.
std::string randomLabel(platform::Udp& udp);

// Runs the test: round r goes out r * kRoundMs after the start, one query
// to every target; each waits at most kWaitMs. `report` gets every query's
// outcome once (on the calling thread), in the order they are known.
// Returns Finished when every query has its outcome, Stopped as soon as
// `stop` is seen set (within a few tens of milliseconds), NoNetwork when no
// socket opens or the random source fails (nothing is reported then).
RunEnd measure(platform::Udp& udp, const std::vector<Target>& targets, const std::atomic<bool>& stop,
               const std::function<void(const Sample&)>& report);

// What one row has gathered so far.
struct Tally {
    std::vector<int> cached, uncached;   // answered times, ms
    int lost = 0;      // counted queries refused or unanswered
    int refused = 0;   // counted queries refused (or SERVFAIL)
    int done = 0;      // queries with an outcome, warm-up included
    int counted = 0;   // counted queries with an outcome
    bool hijacked = false;

    void add(const Sample& s);
    int replies() const { return static_cast<int>(cached.size() + uncached.size()) + refused; }
};

// Median in whole ms: the middle value, or the mean of the middle two
// with halves rounded up; nullopt for no values.
std::optional<int> median(std::vector<int> values);
// "12" or "—".
std::string medianText(const std::vector<int>& values);
// The lost share of the counted queries: "0%" .. "100%".
int lossPercent(const Tally& t);
std::string lossText(const Tally& t);
// "劫持", "拒绝", "无响应" or "" (first that applies); only once every
// counted query has its outcome does no reply mean "无响应".
std::string noteText(const Tally& t);

// The order once the test has ended: rows with at most 20% lost first, by
// uncached median then cached median; then the rest by loss; otherwise as
// they were. Returns the indices of `tallies` in that order.
std::vector<int> sortedOrder(const std::vector<Tally>& tallies);

}  // namespace dns

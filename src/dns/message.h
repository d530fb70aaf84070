// DNS messages of the DNS test: the query it sends (one question, type A,
// class IN, recursion desired) and the reading of a reply to it. The reader
// never trusts the packet: every count and pointer is checked against the
// bytes that are there, and anything that is not exactly a reply to the
// query asked is no reply at all.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dns {

inline constexpr std::uint16_t kTypeA = 1;
inline constexpr std::uint16_t kClassIn = 1;

// Reply codes the test tells apart.
inline constexpr int kNoError = 0;
inline constexpr int kServFail = 2;
inline constexpr int kNxDomain = 3;
inline constexpr int kRefused = 5;

// The query for `name` (dotted, without a final dot) with this id. Empty
// when the name cannot be sent: an empty label, a label over 63 bytes or a
// name over 253 bytes.
std::vector<std::uint8_t> encodeQuery(std::uint16_t id, std::string_view name);

struct Reply {
    int rcode = 0;
    bool address = false;   // the answer section holds an IPv4 address (A, IN, 4 bytes)
};

// Reads `packet` as the reply to the query (id, name): a response (QR set,
// standard query) with this id and exactly the one question (name compared
// without regard to ASCII case, type A, class IN), whose every record lies
// inside the packet. nullopt for anything else: wrong id or question,
// truncated data, counts beyond the packet, compression pointers that loop
// or point forward.
std::optional<Reply> readReply(std::span<const std::uint8_t> packet, std::uint16_t id, std::string_view name);

}  // namespace dns

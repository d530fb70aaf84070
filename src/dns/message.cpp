#include "dns/message.h"

namespace dns {

namespace {

constexpr size_t kHeader = 12;
constexpr size_t kMaxName = 255;   // wire bytes of a name, its final zero included

std::uint16_t be16(std::span<const std::uint8_t> p, size_t at) {
    return static_cast<std::uint16_t>((p[at] << 8) | p[at + 1]);
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Reads the name at `at`. A compression pointer must point backwards, before
// the label it stands in, so every jump goes to an earlier place and no
// chain can loop. `dotted` gets the name with dots (labels as bytes);
// `next` the position after the name where it started.
bool readName(std::span<const std::uint8_t> p, size_t at, std::string& dotted, size_t& next) {
    dotted.clear();
    size_t pos = at;
    size_t wire = 0;
    bool jumped = false;
    for (;;) {
        if (pos >= p.size()) return false;
        const std::uint8_t len = p[pos];
        if ((len & 0xC0) == 0xC0) {
            if (pos + 1 >= p.size()) return false;
            const size_t target = static_cast<size_t>(((len & 0x3F) << 8) | p[pos + 1]);
            if (target >= pos) return false;   // forward or onto itself
            if (!jumped) next = pos + 2;
            jumped = true;
            pos = target;
            continue;
        }
        if ((len & 0xC0) != 0) return false;   // reserved label types
        wire += 1u + len;
        if (wire > kMaxName) return false;
        if (len == 0) {
            if (!jumped) next = pos + 1;
            return true;
        }
        if (pos + 1 + len > p.size()) return false;
        if (!dotted.empty()) dotted += '.';
        dotted.append(reinterpret_cast<const char*>(p.data() + pos + 1), len);
        pos += 1u + len;
    }
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

}  // namespace

std::vector<std::uint8_t> encodeQuery(std::uint16_t id, std::string_view name) {
    if (name.empty() || name.size() > 253) return {};
    std::vector<std::uint8_t> out;
    out.reserve(kHeader + name.size() + 6);
    put16(out, id);
    put16(out, 0x0100);   // standard query, recursion desired
    put16(out, 1);        // one question
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    while (true) {
        const size_t dot = name.find('.');
        const std::string_view label = name.substr(0, dot);
        if (label.empty() || label.size() > 63) return {};
        out.push_back(static_cast<std::uint8_t>(label.size()));
        out.insert(out.end(), label.begin(), label.end());
        if (dot == std::string_view::npos) break;
        name.remove_prefix(dot + 1);
    }
    out.push_back(0);
    put16(out, kTypeA);
    put16(out, kClassIn);
    return out;
}

std::optional<Reply> readReply(std::span<const std::uint8_t> p, std::uint16_t id, std::string_view name) {
    if (p.size() < kHeader) return std::nullopt;
    if (be16(p, 0) != id) return std::nullopt;
    const std::uint16_t flags = be16(p, 2);
    if (!(flags & 0x8000)) return std::nullopt;            // not a response
    if (((flags >> 11) & 0xF) != 0) return std::nullopt;   // not a standard query
    if (be16(p, 4) != 1) return std::nullopt;
    const size_t answers = be16(p, 6);

    std::string seen;
    size_t pos = 0;
    if (!readName(p, kHeader, seen, pos)) return std::nullopt;
    if (!sameName(seen, name)) return std::nullopt;
    if (pos + 4 > p.size()) return std::nullopt;
    if (be16(p, pos) != kTypeA || be16(p, pos + 2) != kClassIn) return std::nullopt;
    pos += 4;

    Reply r;
    r.rcode = flags & 0xF;
    for (size_t i = 0; i < answers; ++i) {
        if (!readName(p, pos, seen, pos)) return std::nullopt;
        if (pos + 10 > p.size()) return std::nullopt;
        const std::uint16_t type = be16(p, pos);
        const std::uint16_t klass = be16(p, pos + 2);
        const size_t length = be16(p, pos + 8);
        pos += 10;
        if (length > p.size() - pos) return std::nullopt;
        if (type == kTypeA && klass == kClassIn && length == 4) r.address = true;
        pos += length;
    }
    return r;
}

}  // namespace dns

#include "update/statement.h"

namespace update {
namespace {

int sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;   // upper case is not the form
}

// Takes the next line off `rest` when it is `key`, one blank and a value,
// and ends with an LF (or, with `lastLine`, with the text or an LF that
// ends the text). The value, or nothing.
std::optional<std::string_view> field(std::string_view& rest, std::string_view key, bool lastLine = false) {
    if (rest.substr(0, key.size()) != key || rest.size() <= key.size() || rest[key.size()] != ' ')
        return std::nullopt;
    std::string_view value = rest.substr(key.size() + 1);
    const std::size_t end = value.find('\n');
    if (end == std::string_view::npos) {
        if (!lastLine) return std::nullopt;
        rest = {};
        return value;
    }
    if (lastLine && end + 1 != value.size()) return std::nullopt;   // something after the last line
    rest = value.substr(end + 1);
    return value.substr(0, end);
}

bool digits(std::string_view s, int& out) {
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return !s.empty();
}

std::optional<platform::Date> parseDate(std::string_view s) {
    platform::Date d;
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') return std::nullopt;
    if (!digits(s.substr(0, 4), d.year) || !digits(s.substr(5, 2), d.month) || !digits(s.substr(8, 2), d.day))
        return std::nullopt;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1) return std::nullopt;
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    if (d.day > kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0)) return std::nullopt;
    return d;
}

}  // namespace

std::optional<platform::P256Signature> parseSignature(std::string_view text) {
    // 64 bytes: 21 groups of four characters for 63 bytes, then one byte in
    // "xx==".
    if (text.size() != 88 || text.substr(86) != "==") return std::nullopt;
    platform::P256Signature out{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < 84; i += 4) {
        int v[4];
        for (int k = 0; k < 4; ++k)
            if ((v[k] = sextet(text[i + k])) < 0) return std::nullopt;
        const std::uint32_t bits = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out[n++] = static_cast<std::uint8_t>(bits >> 16);
        out[n++] = static_cast<std::uint8_t>(bits >> 8);
        out[n++] = static_cast<std::uint8_t>(bits);
    }
    const int a = sextet(text[84]), b = sextet(text[85]);
    // The last character carries two bits of the last byte; the other four
    // must be zero, so every signature has exactly one text.
    if (a < 0 || b < 0 || (b & 0x0F) != 0) return std::nullopt;
    out[n] = static_cast<std::uint8_t>((a << 2) | (b >> 4));
    return out;
}

std::optional<Statement> parseStatement(std::string_view text) {
    if (text.size() > kMaxStatementBytes) return std::nullopt;
    std::string_view rest = text;
    constexpr std::string_view kHead = "korvan-update 1\n";
    if (rest.substr(0, kHead.size()) != kHead) return std::nullopt;
    rest.remove_prefix(kHead.size());

    Statement s;
    const auto version = field(rest, "version");
    if (!version || version->empty() || version->size() > kMaxVersionLength) return std::nullopt;
    for (char c : *version)
        if (c < 0x20 || c > 0x7E) return std::nullopt;
    s.version = std::string(*version);

    const auto hash = field(rest, "sha256");
    if (!hash || hash->size() != 64) return std::nullopt;
    for (std::size_t i = 0; i < 32; ++i) {
        const int hi = hexDigit((*hash)[2 * i]), lo = hexDigit((*hash)[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        s.sha256[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }

    const auto expires = field(rest, "expires");
    const auto date = expires ? parseDate(*expires) : std::nullopt;
    if (!date) return std::nullopt;
    s.expires = *date;
    s.signedLength = text.size() - rest.size();

    const auto signature = field(rest, "signature", true);
    const auto bytes = signature ? parseSignature(*signature) : std::nullopt;
    if (!bytes) return std::nullopt;
    s.signature = *bytes;
    return s;
}

std::string announcedVersion(std::string_view storeText) {
    while (!storeText.empty() && std::string_view("\r\n \t").find(storeText.back()) != std::string_view::npos)
        storeText.remove_suffix(1);
    return std::string(storeText);
}

bool statementVouches(std::string_view text, std::string_view version, const platform::Sha256& digest,
                      platform::Date today, const platform::SignatureCheck& check) {
    const std::optional<Statement> s = parseStatement(text);
    if (!s || s->version != version || s->sha256 != digest || today > s->expires) return false;
    return check.verify(text.substr(0, s->signedLength), s->signature);
}

}  // namespace update

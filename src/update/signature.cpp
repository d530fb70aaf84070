#include "update/signature.h"

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

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::optional<platform::P256Signature> parseSignature(std::string_view text) {
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
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

bool packageIsSigned(const platform::Sha256& digest, std::string_view signatureText,
                     const platform::SignatureCheck& check) {
    const std::optional<platform::P256Signature> signature = parseSignature(signatureText);
    return signature && check.verify(digest, *signature);
}

}  // namespace update

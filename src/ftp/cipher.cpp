#include "ftp/cipher.h"

#include <array>
#include <cstdint>
#include <utility>

namespace ftp {

std::string cipherBytes(std::string_view bytes) {
    std::array<std::uint8_t, 256> s{}, k{};
    for (int i = 0; i < 256; ++i) {
        s[i] = static_cast<std::uint8_t>(i);
        k[i] = static_cast<std::uint8_t>(kCipherKey[i % kCipherKey.size()]);
    }
    // p and q are positions counted from 1: entry v - 1 of the table.
    int q = 0;
    for (int i = 0; i < 256; ++i) {
        q = ((q + s[i] + k[i]) % 256) + 1;
        std::swap(s[i], s[q - 1]);
    }
    std::string out(bytes.size(), '\0');
    int p = 0;
    q = 0;
    for (size_t n = 0; n < bytes.size(); ++n) {
        p = ((p + 1) % 256) + 1;
        q = ((q + s[p - 1]) % 256) + 1;
        std::swap(s[p - 1], s[q - 1]);
        const int t = ((s[q - 1] + s[p - 1]) % 256) + 1;
        out[n] = static_cast<char>(static_cast<std::uint8_t>(bytes[n]) ^ s[t - 1]);
    }
    return out;
}

std::string encipher(std::string_view gbk) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string raw = cipherBytes(gbk);
    std::string text;
    text.reserve(raw.size() * 3);
    for (char c : raw) {
        const auto b = static_cast<std::uint8_t>(c);
        text += kHex[b >> 4];
        text += kHex[b & 15];
        text += ',';
    }
    return text;
}

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

}  // namespace

std::string decipher(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c != ',') digits += c;
    std::string raw;
    for (size_t i = 0; i < digits.size(); i += 2) {
        int v = hexDigit(digits[i]);
        if (i + 1 < digits.size()) v = v * 16 + hexDigit(digits[i + 1]);
        raw += static_cast<char>(v & 0xFF);
    }
    std::string plain = cipherBytes(raw);
    const size_t zero = plain.find('\0');
    if (zero != std::string::npos) plain.resize(zero);
    return plain;
}

}  // namespace ftp

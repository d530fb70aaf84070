// What the fuzz targets share: a property check that stops the run with a
// message (libFuzzer then saves the input), whatever the build type.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace fuzz {

// Whether `s` is well-formed UTF-8 (no surrogates, no overlong forms, at
// most U+10FFFF).
inline bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c < 0x80) { ++i; continue; }
        if (c >= 0xC2 && c <= 0xDF) n = 1;
        else if (c == 0xE0) n = 2, lo = 0xA0;
        else if (c == 0xED) n = 2, hi = 0x9F;
        else if (c >= 0xE1 && c <= 0xEF) n = 2;
        else if (c == 0xF0) n = 3, lo = 0x90;
        else if (c == 0xF4) n = 3, hi = 0x8F;
        else if (c >= 0xF1 && c <= 0xF3) n = 3;
        else return false;
        if (i + n >= s.size()) return false;   // cut short
        for (size_t k = 1; k <= n; ++k) {
            const unsigned char t = static_cast<unsigned char>(s[i + k]);
            if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xBF)) return false;
        }
        i += n + 1;
    }
    return true;
}

// Standard base64 with padding, written out here rather than taken from
// the code under test.
inline std::string base64(const std::uint8_t* p, size_t n) {
    static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < n; i += 3) {
        const std::uint32_t v = (p[i] << 16) | (i + 1 < n ? p[i + 1] << 8 : 0) | (i + 2 < n ? p[i + 2] : 0);
        out += a[v >> 18 & 63];
        out += a[v >> 12 & 63];
        out += i + 1 < n ? a[v >> 6 & 63] : '=';
        out += i + 2 < n ? a[v & 63] : '=';
    }
    return out;
}

}  // namespace fuzz

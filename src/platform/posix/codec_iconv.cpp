#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/codec.h"

namespace codec {
namespace {

// Bytes of the UTF-8 character at the start of `s` when it is well-formed
// (one GBK cannot hold); otherwise the bytes that begin a character and
// were cut short or broken, at least one. Never an ASCII byte after the
// first: a stray lead byte must not swallow the character that follows.
size_t utf8Step(std::string_view s) {
    const unsigned char c = static_cast<unsigned char>(s[0]);
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c == 0xE0) n = 3, lo = 0xA0;
    else if (c == 0xED) n = 3, hi = 0x9F;   // no surrogates
    else if (c >= 0xE1 && c <= 0xEF) n = 3;
    else if (c == 0xF0) n = 4, lo = 0x90;
    else if (c == 0xF4) n = 4, hi = 0x8F;   // nothing above U+10FFFF
    else if (c >= 0xF1 && c <= 0xF3) n = 4;
    else return 1;
    size_t k = 1;
    for (; k < n && k < s.size(); ++k) {
        const unsigned char t = static_cast<unsigned char>(s[k]);
        if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xBF)) break;
    }
    return k;
}

// Converts with iconv; on a sequence that does not convert, emits
// `replacement` and skips it: one byte of GBK input, one character or one
// broken sequence (see utf8Step) of UTF-8 input.
std::string convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement, bool utf8Input) {
    std::string out;
    if (in.empty()) return out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    out.reserve(in.size() * 3 / 2 + 4);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, dst - buf);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: one bad input character.
            out.append(replacement);
            const size_t skip = utf8Input ? utf8Step(std::string_view(src, srcLeft)) : 1;
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    return convert("UTF-8", "CP936", gbk, "\xEF\xBF\xBD", false);
}

std::string utf8ToGbk(std::string_view utf8) {
    return convert("CP936", "UTF-8", utf8, "?", true);
}

}  // namespace codec

#include <iconv.h>

#include <cerrno>
#include <string>

#include "platform/codec.h"

namespace codec {
namespace {

// Converts with iconv; on a sequence that does not convert, emits
// `replacement` and skips `skip` input bytes (1 for invalid input).
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
            size_t skip = 1;
            if (utf8Input) {
                unsigned char c = static_cast<unsigned char>(*src);
                skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
                if (skip > srcLeft) skip = srcLeft;
            }
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

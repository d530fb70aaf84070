// The GBK codec both ways over any bytes: the output is always well-formed,
// no ASCII character is lost or invented on the way to GBK, and a text that
// has been through GBK once comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check.h"
#include "platform/codec.h"

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

// The single-byte ASCII characters of a GBK text other than "?", in order;
// both bytes of a two-byte character are stepped over together.
std::string gbkAscii(std::string_view gbk) {
    std::string out;
    for (size_t i = 0; i < gbk.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x80) {
            if (c != '?') out += static_cast<char>(c);
        } else if (c != 0x80 && c != 0xFF) {
            ++i;
        }
    }
    return out;
}

std::string utf8Ascii(std::string_view utf8) {
    std::string out;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) < 0x80 && c != '?') out += c;
    return out;
}

std::string replacementsAsQuestionMarks(std::string s) {
    for (size_t at; (at = s.find(kReplacement)) != std::string::npos;) s.replace(at, kReplacement.size(), "?");
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);

    // Bytes as a GBK page.
    const std::string utf8 = codec::gbkToUtf8(in);
    FUZZ_CHECK(fuzz::validUtf8(utf8));
    FUZZ_CHECK(in.empty() == utf8.empty());
    // Every decoded character goes back to GBK; what did not decode is "?".
    FUZZ_CHECK(codec::gbkToUtf8(codec::utf8ToGbk(utf8)) == replacementsAsQuestionMarks(utf8));

    // Bytes as UTF-8 text of the tool.
    const std::string gbk = codec::utf8ToGbk(in);
    FUZZ_CHECK(gbkAscii(gbk) == utf8Ascii(in));
    const std::string back = codec::gbkToUtf8(gbk);
    FUZZ_CHECK(fuzz::validUtf8(back));
    FUZZ_CHECK(codec::gbkToUtf8(codec::utf8ToGbk(back)) == back);
    if (fuzz::validUtf8(in) && in.find('?') == std::string_view::npos && back.find('?') == std::string::npos)
        FUZZ_CHECK(back == in);
    return 0;
}

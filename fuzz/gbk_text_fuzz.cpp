// The GBK text helpers over any page and marker: positions stay inside the
// text and on character starts, a found marker is really there, slices have
// the lengths they promise and split pieces join back into the text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "common/gbktext.h"

namespace {

// Whether byte `at` (0-based) starts a character, stepping from the start.
bool startsCharacter(std::string_view text, size_t at) {
    size_t i = 0;
    while (i < at) i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
    return i == at;
}

// A found marker equals the text there, ASCII letters folded when asked.
// Both start on a character, so lowerAscii steps through them in phase.
bool sameFolded(std::string_view a, std::string_view b, bool ignoreCase) {
    return ignoreCase ? gbk::lowerAscii(a) == gbk::lowerAscii(b) : a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool ignoreCase = in.ConsumeBool();
    const int start = in.ConsumeIntegral<int>();
    const int count = in.ConsumeIntegral<int>();
    const std::string marker = in.ConsumeRandomLengthString(8);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const int n = static_cast<int>(text.size());

    const int at = gbk::find(text, marker, start, ignoreCase);
    if (marker.empty()) FUZZ_CHECK(at == -1);
    if (at != -1) {
        FUZZ_CHECK(at >= 1 && at <= n && at >= start);
        FUZZ_CHECK(startsCharacter(text, static_cast<size_t>(at - 1)));
        FUZZ_CHECK(sameFolded(std::string_view(text).substr(at - 1, marker.size()), marker, ignoreCase));
        // Nothing earlier from the same start.
        if (at > start)
            FUZZ_CHECK(gbk::find(text.substr(0, at + marker.size() - 2), marker, start, ignoreCase) == -1);
    }

    const std::string l = gbk::left(text, count), r = gbk::right(text, count), m = gbk::mid(text, start, count);
    const size_t want = count <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(count), text.size());
    FUZZ_CHECK(l.size() == want && text.compare(0, want, l) == 0);
    FUZZ_CHECK(r.size() == want && text.compare(text.size() - want, want, r) == 0);
    if (start >= 1 && start <= n && count > 0)
        FUZZ_CHECK(m == text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
    else
        FUZZ_CHECK(m.empty());

    const std::vector<std::string> pieces = gbk::split(text, marker);
    if (text.empty()) {
        FUZZ_CHECK(pieces.empty());
    } else if (marker.empty()) {
        FUZZ_CHECK(pieces.size() == 1 && pieces[0] == text);
    } else {
        std::string joined;
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i) joined += marker;
            joined += pieces[i];
        }
        FUZZ_CHECK(joined == text || joined + marker == text);
    }

    const std::string lower = gbk::lowerAscii(text);
    FUZZ_CHECK(lower.size() == text.size());
    FUZZ_CHECK(gbk::bytesToText(text).find('\0') == std::string_view::npos);
    return 0;
}

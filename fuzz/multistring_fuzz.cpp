// The text rules of the adapter's registry values over any bytes: a value
// buffer as lines, the NameServer split and the multi-string encoding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "adapter/settings.h"
#include "check.h"

namespace {

size_t countOf(std::string_view s, char c) {
    size_t n = 0;
    for (char x : s) n += x == c;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string a = in.ConsumeRandomLengthString(adapter::kValueBuffer + 8);
    const std::string b = in.ConsumeRemainingBytesAsString();

    // Lines: each zero byte is one line break, the last one dropped.
    std::string buffer = a;
    buffer.resize(adapter::kValueBuffer, '\0');
    const std::string lines = adapter::multiStringLines(buffer);
    const size_t zeros = countOf(buffer, '\0');
    FUZZ_CHECK(lines.size() == buffer.size() + zeros - 2);
    FUZZ_CHECK(countOf(lines, '\0') == 0);
    const size_t unpadded = a.size() + countOf(a, '\0');
    FUZZ_CHECK(adapter::multiStringLines(a).size() == (unpadded >= 2 ? unpadded - 2 : unpadded));

    // NameServer: two pieces without commas, taken from the text up to its
    // first zero, in order.
    const auto [preferred, alternate] = adapter::splitNameServer(a);
    const std::string_view text = std::string_view(a).substr(0, a.find('\0'));
    FUZZ_CHECK(preferred.find(',') == std::string::npos && alternate.find(',') == std::string::npos);
    FUZZ_CHECK(text.substr(0, preferred.size()) == preferred);
    if (text.find(',') == std::string_view::npos) FUZZ_CHECK(preferred == text && alternate.empty());
    else FUZZ_CHECK(text.substr(preferred.size() + 1, alternate.size()) == alternate);
    // Written as the tool writes it, the pair reads back.
    if (preferred.size() + alternate.size() + 2 <= adapter::kValueBuffer) {
        std::string written = preferred + "," + alternate;
        written.resize(adapter::kValueBuffer, '\0');
        FUZZ_CHECK(adapter::splitNameServer(written) == std::make_pair(preferred, alternate));
    }

    // Multi-string encoding: always ends in two zeros; a field's text
    // without zero bytes reads back as its first lines.
    const std::string encoded = adapter::encodeMultiString(b);
    FUZZ_CHECK(encoded.size() >= 2 && encoded.compare(encoded.size() - 2, 2, std::string(2, '\0')) == 0);
    FUZZ_CHECK(encoded.size() <= b.size() + 2);
    const bool squeezed = b.size() >= 2 && b.compare(b.size() - 2, 2, "\r\n") == 0;
    if (!squeezed && b.find('\0') == std::string::npos && encoded.size() <= adapter::kValueBuffer) {
        std::string stored = encoded;
        stored.resize(adapter::kValueBuffer, '\0');
        FUZZ_CHECK(adapter::multiStringLines(stored).compare(0, b.size(), b) == 0);
    }
    return 0;
}

// Header completion and the raw-header cookie parser over any header
// text: completion only appends, adds each default line at most once and
// is done after one call; a cookie's name never holds "=" as a character
// of its own, and cookies written out as such lines read back as they were.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "common/gbktext.h"
#include "http/http_class.h"

namespace {

std::string clean(std::string s, std::string_view banned) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n' || banned.find(c) != std::string_view::npos)
            c = 'v';
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<http::Cookie> jar(in.ConsumeIntegralInRange<size_t>(0, 4));
    for (auto& c : jar) {
        c.name = clean(in.ConsumeRandomLengthString(16), "=");
        c.value = clean(in.ConsumeRandomLengthString(32), "");
    }
    const std::string url = in.ConsumeRandomLengthString(64);
    const std::string raw = in.ConsumeRemainingBytesAsString();

    std::string headers = raw;
    http::completeHeaders(headers, url);
    FUZZ_CHECK(headers.starts_with(raw));
    FUZZ_CHECK(headers.size() <= raw.size() + http::kDefaultAccept.size() + url.size() + 60);
    FUZZ_CHECK(gbk::find(headers, "Accept-Language: ", 1, true) >= 1);
    const std::string once = headers;
    http::completeHeaders(headers, url);
    FUZZ_CHECK(headers == once);

    // (An "=" after a byte of 128 or more is that character's second byte.)
    const bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    for (const auto& c : http::cookiesOf(raw)) FUZZ_CHECK(!ascii || c.name.find('=') == std::string::npos);

    std::string block = "HTTP/1.1 200 OK\r\n";
    for (const auto& c : jar) block += "Set-Cookie: " + c.name + "=" + c.value + "\r\n";
    block += "Content-Length: 0\r\n\r\n";
    FUZZ_CHECK(http::cookiesOf(block) == jar);
    return 0;
}

// The URL helpers over any address: the host is lower case without its
// port, the port is a port, the path is "/" or the address's tail from a
// "/"; and an address put together from clean parts comes apart into them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "check.h"
#include "http/http_class.h"

namespace {

// A host or path piece without the characters that delimit the parts, and
// without bytes of 128 and more (a GBK lead byte would eat the delimiter
// that follows it).
std::string clean(std::string s, std::string_view banned) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20 ||
            banned.find(c) != std::string_view::npos)
            c = 'a';
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int port = in.ConsumeIntegralInRange<int>(1, 65535);
    const bool withPort = in.ConsumeBool();
    const bool upperScheme = in.ConsumeBool();
    std::string host = clean(in.ConsumeRandomLengthString(32), "/:?#[]@");
    const std::string path = clean(in.ConsumeRandomLengthString(64), "");
    const std::string url = in.ConsumeRemainingBytesAsString();

    // Any address.
    const std::string anyHost = http::HTTP类::取域名(url);
    const int anyPort = http::HTTP类::取端口(url);
    const std::string anyPath = http::HTTP类::取路径(url);
    FUZZ_CHECK(anyPort >= 0 && anyPort <= 65535);
    FUZZ_CHECK(anyHost.size() <= url.size());
    // Letters are lowered where a character starts; the second byte of a
    // double-byte character stays as it is.
    for (size_t i = 0; i < anyHost.size(); i += static_cast<unsigned char>(anyHost[i]) >= 0x80 ? 2 : 1)
        FUZZ_CHECK(!(anyHost[i] >= 'A' && anyHost[i] <= 'Z'));
    FUZZ_CHECK(anyPath == "/" || (anyPath.front() == '/' && url.ends_with(anyPath)));

    // Put together from parts.
    if (host.empty()) host = "h";
    std::string lowered = host;
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    const std::string built = std::string(upperScheme ? "HTTP://" : "http://") + host +
                              (withPort ? ":" + std::to_string(port) : "") + "/" + path;
    FUZZ_CHECK(http::HTTP类::取域名(built) == lowered);
    FUZZ_CHECK(http::HTTP类::取端口(built) == (withPort ? port : 80));
    FUZZ_CHECK(http::HTTP类::取路径(built) == "/" + path);
    return 0;
}

// HTTP类: the tool's request object. One instance lives for the whole run
// (program-wide state); every request opens and closes its own connection.
// Its texts are GBK byte strings, as they go on the wire.
//
// UI thread only. A request keeps window messages flowing while it waits,
// so a handler may run meanwhile; each request uses only its own handles.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/http.h"

namespace http {

inline constexpr std::string_view kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
inline constexpr std::string_view kDefaultAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
// What a failed request returns: 255 zero bytes, empty once taken as text.
inline constexpr std::size_t kFailedSize = 255;

struct Cookie {
    std::string name, value;
    bool operator==(const Cookie&) const = default;
};

// Appends the default Accept, Referer and Accept-Language lines to `headers`
// where the caller has not given them (names compared ignoring case). A
// last line of the caller's without its CR LF gets one first.
void completeHeaders(std::string& headers, std::string_view url);

// The cookies of the raw response headers: every line holding "Set-Cookie: "
// loses its first 12 characters and is split at its first "="; the value
// keeps its attributes ("; path=/"). A line without "=" gives an empty name.
std::vector<Cookie> cookiesOf(std::string_view rawHeaders);

// The proxy list handed to the platform: "" (direct) for a text of blanks
// (ASCII or full-width), else "http=" + the text unchanged.
std::string proxyList(std::string_view proxy);

class HTTP类 {
public:
    explicit HTTP类(platform::HttpTransport& transport) : transport_(transport) {}

    // Sends one request and returns the whole response body (cut at 8 MiB),
    // or 255 zero bytes when the request could not be made, the method is
    // neither ""/"GET" nor "POST" (compared exactly), or the deadline passed.
    // `headers` gets the default lines (and, for a POST with a body, the
    // form's Content-Type and Content-Length) appended, as sent. Every
    // cookie the server sets is stored under "http://" + host.
    std::string 访问网页(std::string_view url, std::string_view method, std::string_view proxy,
                         std::string& headers, std::string_view body);

    // Host of a URL, lower-cased, without the port.
    static std::string 取域名(std::string_view url);
    // Port of a URL; 80 when it names none.
    static int 取端口(std::string_view url);
    // Path with query; "/" when the URL has none.
    static std::string 取路径(std::string_view url);

private:
    platform::HttpTransport& transport_;
};

}  // namespace http

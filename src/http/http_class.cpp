#include "http/http_class.h"

#include "common/gbktext.h"

namespace http {
namespace {

constexpr std::string_view kScheme = "http://";
constexpr std::string_view kFullWidthBlank = "\xA1\xA1";   // GBK "　"

bool hasScheme(std::string_view url) { return gbk::lowerAscii(gbk::left(url, 7)) == kScheme; }

// The host part of a URL with its port, if any (steps shared by host and port).
std::string hostPart(std::string_view url) {
    const int len = static_cast<int>(url.size());
    if (!hasScheme(url)) {
        int slash = gbk::find(url, "/");
        return slash < 0 ? std::string(url) : gbk::left(url, slash - 1);
    }
    int slash = gbk::find(url, "/", 8);
    return slash < 0 ? gbk::mid(url, 8, len - 7) : gbk::mid(url, 8, slash - 8);
}

// Leading decimal digits as a number; 0 when there are none.
int leadingNumber(std::string_view text) {
    long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        n = n * 10 + (c - '0');
        if (n > 65535) return 0;   // no such port
    }
    return static_cast<int>(n);
}

}  // namespace

std::string HTTP类::取域名(std::string_view url) {
    std::string host = hostPart(url);
    int colon = gbk::find(host, ":");
    if (colon >= 1) host = gbk::left(host, colon - 1);
    return gbk::lowerAscii(host);
}

int HTTP类::取端口(std::string_view url) {
    std::string host = hostPart(url);
    int colon = gbk::find(host, ":");
    if (colon < 1) return 80;
    return leadingNumber(std::string_view(host).substr(static_cast<size_t>(colon)));
}

std::string HTTP类::取路径(std::string_view url) {
    // The host is looked for behind the scheme, so that a host such as "t"
    // or "tp" is not found inside "http://" itself.
    const int from = hasScheme(url) ? 8 : 1;
    int at = gbk::find(url, 取域名(url), from, true);
    int slash = gbk::find(url, "/", at < 1 ? from : at);
    if (slash < 0) return "/";
    return std::string(url.substr(static_cast<size_t>(slash - 1)));
}

void completeHeaders(std::string& headers, std::string_view url) {
    const bool accept = gbk::find(headers, "Accept: ", 1, true) >= 1;
    const bool referer = gbk::find(headers, "Referer: ", 1, true) >= 1;
    const bool language = gbk::find(headers, "Accept-Language: ", 1, true) >= 1;
    if (accept && referer && language) return;
    // The caller's last line may lack its line break: end it, so that a
    // default line never runs on in it.
    if (!headers.empty() && headers.back() != '\n') headers += "\r\n";
    if (!accept) headers += kDefaultAccept;
    if (!referer) headers += "Referer: " + std::string(url) + "\r\n";
    if (!language) headers += "Accept-Language: zh-cn\r\n";
}

std::vector<Cookie> cookiesOf(std::string_view rawHeaders) {
    std::vector<Cookie> out;
    if (gbk::find(rawHeaders, "Set-Cookie: ", 1, true) < 0) return out;
    for (const std::string& line : gbk::split(rawHeaders, "\r\n")) {
        if (gbk::find(line, "Set-Cookie: ", 1, true) < 0) continue;
        std::string rest = gbk::mid(line, 13, static_cast<int>(line.size()) - 12);
        int eq = gbk::find(rest, "=");
        if (eq < 0) out.push_back({"", rest});
        else out.push_back({gbk::left(rest, eq - 1), rest.substr(static_cast<size_t>(eq))});
    }
    return out;
}

std::string proxyList(std::string_view proxy) {
    bool blank = true;
    for (size_t i = 0; i < proxy.size() && blank;) {
        if (proxy[i] == ' ') {
            ++i;
        } else if (proxy.substr(i, 2) == kFullWidthBlank) {
            i += 2;
        } else {
            blank = false;
        }
    }
    return blank ? std::string() : "http=" + std::string(proxy);
}

std::string HTTP类::访问网页(std::string_view url, std::string_view method, std::string_view proxy,
                            std::string& headers, std::string_view body) {
    const std::string failed(kFailedSize, '\0');
    const std::string host = 取域名(url);
    const std::string path = 取路径(url);
    const std::string proxies = proxyList(proxy);

    completeHeaders(headers, url);
    const bool get = method.empty() || method == "GET";
    if (!get && method != "POST") return failed;
    if (!get && !body.empty()) {
        headers += "Content-Type: application/x-www-form-urlencoded\r\n";
        headers += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }

    platform::HttpExchange request;
    request.agent = kAgent;
    request.proxy = proxies;
    request.host = host;
    request.port = 取端口(url);
    request.method = get ? std::string_view("GET") : method;
    request.path = path;
    request.headers = headers;
    request.body = get ? std::string_view() : body;
    platform::HttpReply reply = transport_.exchange(request);
    if (reply.end != platform::FetchEnd::Complete) return failed;

    for (const Cookie& c : cookiesOf(reply.rawHeaders)) {
        transport_.setCookie("http://" + host, c.name, c.value);
        transport_.letMessagesThrough();
    }
    return std::move(reply.body);
}

}  // namespace http

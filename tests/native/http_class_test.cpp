#include <gtest/gtest.h>

#include "fakes.h"
#include "http/http_class.h"
#include "platform/codec.h"

using http::HTTP类;

TEST(HttpUrl, HostPortAndPathOfEveryShape) {
    const std::string full = "http://WWW.Example.COM:8080/a/b.asp?x=1&y=/2";
    EXPECT_EQ(HTTP类::取域名(full), "www.example.com");
    EXPECT_EQ(HTTP类::取端口(full), 8080);
    EXPECT_EQ(HTTP类::取路径(full), "/a/b.asp?x=1&y=/2");

    // Scheme compared ignoring case; no "/" after the host.
    EXPECT_EQ(HTTP类::取域名("HTTP://Host.Example"), "host.example");
    EXPECT_EQ(HTTP类::取端口("HTTP://Host.Example"), 80);
    EXPECT_EQ(HTTP类::取路径("HTTP://Host.Example"), "/");

    // No scheme, no "/": the whole URL is the host.
    EXPECT_EQ(HTTP类::取域名("example.com"), "example.com");
    EXPECT_EQ(HTTP类::取端口("example.com"), 80);
    EXPECT_EQ(HTTP类::取路径("example.com"), "/");
    EXPECT_EQ(HTTP类::取域名("Example.com:81/x?q"), "example.com");
    EXPECT_EQ(HTTP类::取端口("Example.com:81/x?q"), 81);
    EXPECT_EQ(HTTP类::取路径("Example.com:81/x?q"), "/x?q");

    // A host that also occurs inside the scheme still gives its own path.
    EXPECT_EQ(HTTP类::取路径("http://t/ips.asp"), "/ips.asp");
    EXPECT_EQ(HTTP类::取路径("http://tp:8080/e/md5.htm"), "/e/md5.htm");

    // Only ASCII letters are lowered: a double-byte character whose second
    // byte is a capital letter stays as it is.
    EXPECT_EQ(HTTP类::取域名("http://\x81" "AB.COM/"), "\x81" "Ab.com");
    // A port that is not a number.
    EXPECT_EQ(HTTP类::取端口("http://h:/x"), 0);
}

TEST(HttpHeaders, DefaultsAreAddedOnlyWhereMissing) {
    std::string none;
    http::completeHeaders(none, "http://h/p");
    EXPECT_EQ(none, std::string(http::kDefaultAccept) + "Referer: http://h/p\r\nAccept-Language: zh-cn\r\n");

    // The caller's own lines are kept, whatever their case; "Accept-Language"
    // does not count as "Accept".
    std::string own = "accept: text/html\r\nREFERER: http://me/\r\n";
    http::completeHeaders(own, "http://h/p");
    EXPECT_EQ(own, "accept: text/html\r\nREFERER: http://me/\r\nAccept-Language: zh-cn\r\n");
    std::string language = "Accept-Language: en\r\n";
    http::completeHeaders(language, "u");
    EXPECT_EQ(language, "Accept-Language: en\r\n" + std::string(http::kDefaultAccept) + "Referer: u\r\n");

    // A last line without its line break is ended before the defaults, also
    // when it ends in the first byte of a double-byte character; completing
    // twice adds nothing more.
    std::string open = "Accept: text/html";
    http::completeHeaders(open, "u");
    EXPECT_EQ(open, "Accept: text/html\r\nReferer: u\r\nAccept-Language: zh-cn\r\n");
    std::string halfCharacter = "Cookie: a=\xB0";
    http::completeHeaders(halfCharacter, "u");
    EXPECT_EQ(halfCharacter,
              "Cookie: a=\xB0\r\n" + std::string(http::kDefaultAccept) + "Referer: u\r\nAccept-Language: zh-cn\r\n");
    const std::string once = halfCharacter;
    http::completeHeaders(halfCharacter, "u");
    EXPECT_EQ(halfCharacter, once);
}

TEST(HttpCookies, SetCookieLinesSplitAtTheirFirstEquals) {
    const std::string raw =
        "HTTP/1.1 200 OK\r\nSet-Cookie: ASPSESSIONID=ABC; path=/\r\nContent-Length: 3\r\n"
        "set-cookie: plain\r\nSet-Cookie: k=v=w\r\nX-Set: Set-Cookie: x\r\n\r\n";
    EXPECT_EQ(http::cookiesOf(raw), (std::vector<http::Cookie>{
                                        {"ASPSESSIONID", "ABC; path=/"},
                                        {"", "plain"},
                                        {"k", "v=w"},
                                        {"", "ookie: x"},   // the first 12 characters go, whatever they are
                                    }));
    EXPECT_TRUE(http::cookiesOf("HTTP/1.1 200 OK\r\nServer: x\r\n\r\n").empty());
}

TEST(HttpProxy, BlanksMeanDirectOtherwiseHttpProxyUnchanged) {
    EXPECT_EQ(http::proxyList(""), "");
    EXPECT_EQ(http::proxyList("   "), "");
    EXPECT_EQ(http::proxyList(codec::utf8ToGbk("　 　")), "");
    EXPECT_EQ(http::proxyList(" 10.0.0.1:3128"), "http= 10.0.0.1:3128");
    // A double-byte character ending in 0xA1 followed by 0xA1 is no blank.
    EXPECT_EQ(http::proxyList("\xB0\xA1\xA1"), "http=\xB0\xA1\xA1");
}

namespace {

struct HttpClassTest : ::testing::Test {
    RecordingTransport transport;
    HTTP类 client{transport};
    void SetUp() override {
        transport.reply.end = platform::FetchEnd::Complete;
        transport.reply.body = std::string("page\0bytes", 10);
        transport.reply.rawHeaders =
            "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nContent-Length: 10\r\n\r\n";
    }
};

}  // namespace

TEST_F(HttpClassTest, FormPostSendsItsHeadersAndBodyAndStoresTheCookies) {
    std::string headers;
    const std::string page = client.访问网页("http://IP.Example:8080/ips.asp", "POST", " ", headers, "ip=1.2.3.4&action=2");
    EXPECT_EQ(page, std::string("page\0bytes", 10)) << "the body comes back whole, zero bytes included";

    ASSERT_EQ(transport.requests.size(), 1u);
    const auto& r = transport.requests[0];
    EXPECT_EQ(r.agent, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(r.proxy, "");
    EXPECT_EQ(r.host, "ip.example");
    EXPECT_EQ(r.port, 8080);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/ips.asp");
    EXPECT_EQ(r.body, "ip=1.2.3.4&action=2");
    const std::string expected = std::string(http::kDefaultAccept) +
                                 "Referer: http://IP.Example:8080/ips.asp\r\nAccept-Language: zh-cn\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 19\r\n";
    EXPECT_EQ(r.headers, expected);
    EXPECT_EQ(headers, expected) << "the caller sees what was sent";

    EXPECT_EQ(transport.cookies, (std::vector<RecordingTransport::SetCookie>{{"http://ip.example", "a", "1; path=/"},
                                                                            {"http://ip.example", "b", "2"}}));
    EXPECT_EQ(transport.pumps, 2);
}

TEST_F(HttpClassTest, EmptyPostBodyAndGetCarryNoFormHeaders) {
    std::string headers;
    client.访问网页("h/x", "POST", "", headers, "");
    std::string getHeaders;
    client.访问网页("h/x", "", "proxy:1", getHeaders, "ignored");
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0].headers.find("Content-"), std::string::npos);
    EXPECT_EQ(transport.requests[1].method, "GET");
    EXPECT_EQ(transport.requests[1].body, "");
    EXPECT_EQ(transport.requests[1].proxy, "http=proxy:1");
    EXPECT_EQ(transport.requests[1].headers.find("Content-"), std::string::npos);
}

TEST_F(HttpClassTest, FailuresGive255ZeroBytesAndStoreNoCookie) {
    const std::string failed(255, '\0');
    std::string headers;
    // Methods are compared exactly: "get" is not "GET".
    EXPECT_EQ(client.访问网页("h/x", "get", "", headers, ""), failed);
    EXPECT_EQ(client.访问网页("h/x", "PUT", "", headers, "b"), failed);
    EXPECT_TRUE(transport.requests.empty());

    for (auto end : {platform::FetchEnd::Failed, platform::FetchEnd::TimedOut}) {
        transport.reply.end = end;
        std::string h;
        EXPECT_EQ(client.访问网页("http://h/x", "GET", "", h, ""), failed);
    }
    EXPECT_TRUE(transport.cookies.empty());

    // A complete answer with an empty body is empty, not a failure.
    transport.reply = {platform::FetchEnd::Complete, "", ""};
    std::string h;
    EXPECT_EQ(client.访问网页("http://h/x", "GET", "", h, ""), "");
}

// HTTP类, the shared GET and the web part of start-up over real WinINet,
// against the fixture server (tests/fixtures/http_server.py) that the test
// wrapper starts on 127.0.0.1.
#include <windows.h>
#include <tlhelp32.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <string>
#include <vector>

#include "http/http_class.h"
#include "platform/codec.h"
#include "platform/win32/http_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "shell/announcements.h"
#include "shell/app.h"
#include "shell/web_startup.h"

using platform::FetchEnd;
using win32::widen;

namespace {

int envPort(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : 0;
}

std::string server() { return "http://127.0.0.1:" + std::to_string(envPort("KORVAN_FIXTURE_PORT")); }
std::string with(const std::string& behaviour) { return server() + "/_/" + behaviour; }
std::string g(std::string_view utf8) { return codec::utf8ToGbk(utf8); }

// Talks to the fixture's control pages with plain WinINet, no deadline.
std::string control(const char* method, const std::string& path, const std::string& body = {}) {
    HINTERNET net = InternetOpenW(L"fixture-control", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET conn = InternetConnectW(net, L"127.0.0.1", static_cast<INTERNET_PORT>(envPort("KORVAN_FIXTURE_PORT")),
                                      nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET req = HttpOpenRequestW(conn, widen(method).c_str(), widen(path).c_str(), nullptr, nullptr, nullptr,
                                     INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    std::string out;
    if (HttpSendRequestW(req, nullptr, 0, const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
        char buf[4096];
        DWORD n = 0;
        while (InternetReadFile(req, buf, sizeof buf, &n) && n) out.append(buf, n);
    }
    InternetCloseHandle(req);
    InternetCloseHandle(conn);
    InternetCloseHandle(net);
    return out;
}

void setPage(const std::string& page, const std::string& body) { control("POST", "/__page" + page, body); }
int requestsFor(const std::string& page) { return std::atoi(control("GET", "/__count" + page).c_str()); }
std::string lastRequest(const std::string& page) { return control("GET", "/__last" + page); }

// Threads of this process now.
int threadCount() {
    win32::UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    int n = 0;
    for (BOOL more = Thread32First(snap.get(), &t); more; more = Thread32Next(snap.get(), &t))
        if (t.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    return n;
}

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

struct WebTest : ::testing::Test {
    void SetUp() override {
        ASSERT_NE(envPort("KORVAN_FIXTURE_PORT"), 0) << "run through tests/fixtures/with-http-server";
        control("POST", "/__reset");
    }
};

// A window that counts the messages posted to it.
struct Counter {
    static inline int seen = 0;
    HWND hwnd = nullptr;
    Counter() {
        seen = 0;
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_APP + 7) ++seen;
            return DefWindowProcW(h, m, w, l);
        };
        wc.lpszClassName = L"KorvanTestCounter";
        RegisterClassW(&wc);
        hwnd = CreateWindowW(L"KorvanTestCounter", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~Counter() { DestroyWindow(hwnd); }
};

}  // namespace

TEST_F(WebTest, FormPostArrivesAsSentAndItsCookiesAreStored) {
    win32::Win32HttpTransport transport;
    http::HTTP类 client(transport);
    std::string headers = "Accept: text/html\r\n";
    const std::string page = client.访问网页(server() + "/ips.asp", "POST", "", headers, "ip=1.2.3.4&action=2");
    EXPECT_NE(page.find(g("参考数据二：四川省成都市 电信ADSL")), std::string::npos);

    const std::string seen = lastRequest("/ips.asp");
    EXPECT_EQ(seen.rfind("POST /ips.asp HTTP/1.1\r\n", 0), 0u) << seen;
    EXPECT_NE(seen.find("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"), std::string::npos);
    EXPECT_NE(seen.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_NE(seen.find("Content-Length: 19\r\n"), std::string::npos);
    EXPECT_NE(seen.find("Referer: " + server() + "/ips.asp\r\n"), std::string::npos);
    EXPECT_NE(seen.find("Accept-Language: zh-cn\r\n"), std::string::npos);
    EXPECT_EQ(occurrences(seen, "Accept: "), 1u) << "the caller's own Accept stays the only one";
    EXPECT_NE(seen.find("Accept: text/html\r\n"), std::string::npos);
    EXPECT_EQ(seen.substr(seen.size() - 23), "\r\n\r\nip=1.2.3.4&action=2");

    // The jar may hold what other tests stored before (any order, repeats):
    // its size is asked first.
    DWORD size = 0;
    ASSERT_TRUE(InternetGetCookieW(L"http://127.0.0.1/", nullptr, nullptr, &size));
    std::wstring cookies(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(cookies.size() * sizeof(wchar_t));
    ASSERT_TRUE(InternetGetCookieW(L"http://127.0.0.1/", nullptr, cookies.data(), &size)) << GetLastError();
    const std::string jar = win32::narrow(cookies.c_str());
    EXPECT_NE(jar.find("ASPSESSIONIDQQ=ABCDEF"), std::string::npos) << jar;
    EXPECT_NE(jar.find("lookups=1"), std::string::npos) << jar;
}

TEST_F(WebTest, RequestLetsWindowMessagesThroughWhileItWaits) {
    Counter counter;
    win32::Win32HttpTransport transport;
    http::HTTP类 client(transport);
    PostMessageW(counter.hwnd, WM_APP + 7, 0, 0);
    std::string headers;
    const std::string page = client.访问网页(with("latency=300") + "/e/md5.htm", "GET", "", headers, "");
    EXPECT_EQ(page, "1.1");
    EXPECT_EQ(Counter::seen, 1) << "the posted message was handled during the request";
}

TEST_F(WebTest, FailedRequestsGive255ZeroBytes) {
    win32::Win32HttpTransport transport;
    http::HTTP类 client(transport);
    const std::string failed(255, '\0');
    std::string headers;
    const std::string refused = "http://127.0.0.1:" + std::to_string(envPort("KORVAN_FIXTURE_REFUSED_PORT")) + "/ips.asp";
    // A transfer broken after the request went out keeps what arrived
    // before the reset was seen (the reset may take unread bytes with it);
    // a huge one is cut at 8 MiB.
    const std::string broken = client.访问网页(with("reset") + "/x", "GET", "", headers, "");
    EXPECT_LE(broken.size(), 1000u);
    EXPECT_EQ(broken, std::string(broken.size(), 'y'));
    EXPECT_EQ(client.访问网页(with("huge") + "/x", "GET", "", headers, "").size(), platform::kMaxBodyBytes);

    EXPECT_EQ(client.访问网页(refused, "POST", "", headers, "ip=&action=2"), failed);
    EXPECT_EQ(client.访问网页(server() + "/e/md5.htm", "get", "", headers, ""), failed);
    EXPECT_EQ(requestsFor("/e/md5.htm"), 0) << "a refused method sends nothing";
}

TEST_F(WebTest, SharedGetIsFreshWholeAndEmptyOnAnyFailure) {
    win32::Win32HttpGet get;
    setPage("/e/gg.htm", "first");
    EXPECT_EQ(get.get(server() + "/e/gg.htm"), "first");
    setPage("/e/gg.htm", "second");
    EXPECT_EQ(get.get(server() + "/e/gg.htm"), "second") << "never served from the cache";

    EXPECT_EQ(get.get(with("binary") + "/x"), std::string("AB\0\xFF\xFE[1.2.3.4]\0tail", 19));
    const std::string huge = get.get(with("huge") + "/x");
    ASSERT_EQ(huge.size(), platform::kMaxBodyBytes);
    EXPECT_EQ(static_cast<unsigned char>(huge[255]), 255);
    EXPECT_EQ(static_cast<unsigned char>(huge[256]), 0);

    EXPECT_EQ(get.get(with("status=404") + "/e/md5.htm"), "") << "an error page is not the text";
    EXPECT_EQ(get.get(with("status=500") + "/e/md5.htm"), "");
    EXPECT_EQ(get.get(with("reset") + "/x"), "") << "a broken transfer is a failure";
    EXPECT_EQ(get.get("http://127.0.0.1:" + std::to_string(envPort("KORVAN_FIXTURE_REFUSED_PORT")) + "/"), "");
}

TEST_F(WebTest, EveryHostileServerEndsAtTheDeadline) {
    // All at once, with the tool's own deadline: each is abandoned when it
    // passes, none waits for the others.
    win32::Win32HttpGet get;
    const std::string noAccept = "http://127.0.0.1:" + std::to_string(envPort("KORVAN_FIXTURE_NOACCEPT_PORT")) + "/e/md5.htm";
    const std::string refused = "http://127.0.0.1:" + std::to_string(envPort("KORVAN_FIXTURE_REFUSED_PORT")) + "/e/md5.htm";
    const auto t0 = std::chrono::steady_clock::now();
    auto silent = get.start(with("silent") + "/e/md5.htm");
    auto trickle = get.start(with("trickle") + "/e/md5.htm");
    auto never = get.start(noAccept);
    auto closed = get.start(refused);
    for (auto* p : {&silent, &trickle, &never}) {
        platform::Fetched f = (*p)->take();
        EXPECT_EQ(f.end, FetchEnd::TimedOut);
        EXPECT_EQ(f.body, "");
    }
    EXPECT_EQ(closed->take().end, FetchEnd::Failed);
    // A generous bound that still catches a deadline that does not hold:
    // the four together, not one after another, and not much past the
    // documented 3 s (written out: a longer deadline must fail here).
    EXPECT_EQ(platform::kFetchDeadlineMs, 3000u);
    EXPECT_LT(secondsSince(t0), 2 * 3.0 + 2);

    // HTTP类 under the same rule (a shorter deadline keeps the test short).
    win32::Win32HttpTransport transport({}, 500);
    http::HTTP类 client(transport);
    for (const std::string& url : {with("silent") + "/ips.asp", with("trickle") + "/ips.asp", noAccept}) {
        std::string headers;
        const auto t1 = std::chrono::steady_clock::now();
        EXPECT_EQ(client.访问网页(url, "POST", "", headers, "ip=&action=2"), std::string(255, '\0')) << url;
        EXPECT_LT(secondsSince(t1), 2 * 0.5 + 2) << url;
    }
}

TEST_F(WebTest, AbandonedRequestsDoNotKeepTheirThreads) {
    // A server that trickles its body keeps a request alive for a quarter of
    // an hour; each abandoned one must still give its worker back soon after
    // its deadline, so repeated checks cannot pile threads up.
    const int before = threadCount();
    win32::Win32HttpGet get(300);
    win32::Win32HttpTransport transport({}, 300);
    http::HTTP类 client(transport);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(get.start(with("trickle") + "/e/md5.htm")->take().end, FetchEnd::TimedOut);
        std::string headers;
        EXPECT_EQ(client.访问网页(with("trickle") + "/ips.asp", "GET", "", headers, ""), std::string(255, '\0'));
    }
    // Within a second of the last deadline, with room to spare; one more
    // thread is allowed for WinINet's own connection keeper.
    const auto t0 = std::chrono::steady_clock::now();
    while (threadCount() > before + 1 && secondsSince(t0) < 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(threadCount(), before + 1) << "before: " << before;
}

namespace {

struct RecordingDialogs : platform::Dialogs {
    std::vector<std::pair<std::string, std::string>> shown;   // text, title
    platform::Answer messageBox(const platform::MessageBoxSpec& s) override {
        shown.emplace_back(std::string(s.text), std::string(s.title));
        return platform::Answer::Ok;
    }
};

// The real main window and real services, the notices recorded.
struct StartupTest : WebTest {
    win32::Win32Windows windows;
    win32::Win32Runner runner;
    RecordingDialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    win32::Win32HttpGet httpGet;
    win32::Win32HttpTransport httpTransport{[this] { windows.pump(); }};
    win32::Win32Registry registry;
    shell::Services services{windows, runner, dialogs, system, files, shellOpen, registry, httpGet, httpTransport};

    void SetUp() override {
        WebTest::SetUp();
        _putenv_s("KORVAN_UPDATE_URL", server().c_str());
        _putenv_s("KORVAN_IPLOOKUP_URL", server().c_str());
    }

    win32::Win32Form* start(shell::App& app, shell::WebStartup& web) {
        web.bind(app.steps());
        SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
            HWND splash = FindWindowW(L"KorvanWindow", L"");
            if (!splash || !IsWindowVisible(splash)) return;
            KillTimer(nullptr, id);
            HWND picture = GetWindow(splash, GW_CHILD);
            PostMessageW(picture ? picture : splash, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        });
        return static_cast<win32::Win32Form*>(app.openMainWindow());
    }
};

}  // namespace

TEST_F(StartupTest, FixturePagesFillThePanelsAndTheNoticeTextShows) {
    setPage("/e/cc.htm", "1");
    shell::App app(services);
    shell::WebStartup web(httpGet, app.state().http, dialogs);
    win32::Win32Form* main = start(app, web);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(IsWindowVisible(main->hwnd()));
    EXPECT_EQ(main->text("编辑框4"), "1.1");
    EXPECT_EQ(main->text("编辑框5"), "1");
    EXPECT_EQ(main->text("标签11"), "欢迎使用Korvan网络小工具，新版本即将发布！");
    EXPECT_EQ(main->text("标签1"), "127.0.0.1");
    EXPECT_EQ(main->text("标签3"), "\r\n你的地理位置为：【四川省成都市 电信ADSL】");
    EXPECT_EQ(main->timerPeriod("时钟1"), 20);
    const std::string post = lastRequest("/ips.asp");
    EXPECT_EQ(post.substr(post.size() - 21), "ip=127.0.0.1&action=2");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].first, "今晚22点服务器维护，请提前保存数据。");
    EXPECT_EQ(dialogs.shown[0].second, "系统提示");
    EXPECT_EQ(requestsFor("/e/tt.htm"), 1);
    EXPECT_EQ(requestsFor("/e/gg.htm"), 2);
    DestroyWindow(main->hwnd());
    MSG m;   // the quit posted when the last window went
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST_F(StartupTest, AVersionWithALineBreakIsNewAndTheNoticePageIsNotFetched) {
    setPage("/e/md5.htm", "1.1\r\n");
    setPage("/e/cc.htm", "1");
    setPage("/ip2city.asp", "no address here");
    shell::App app(services);
    shell::WebStartup web(httpGet, app.state().http, dialogs);
    win32::Win32Form* main = start(app, web);
    EXPECT_EQ(main->text("编辑框4"), "1.1\r\n") << "the store keeps the text exactly";
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].first, "已经有新的版本发布，请点击【检测更新】下载新的版本使用！");
    EXPECT_EQ(requestsFor("/e/tt.htm"), 0);
    // No address: the service rejects the empty one.
    EXPECT_EQ(main->text("标签1"), "");
    EXPECT_EQ(main->text("编辑框3"), "无法获取地理位置信息");
    EXPECT_EQ(main->text("标签3"), "\r\n你的地理位置为：【】");
    DestroyWindow(main->hwnd());
    MSG m;   // the quit posted when the last window went
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// Hostile servers: each start-up ends with the texts the tool documents for
// what it got, nothing shown that was not due, and the window usable.
namespace {

struct HostileStartup : StartupTest {
    struct Seen {
        std::string version, noticeSwitch, announcement, address, location, failure;
        std::vector<std::pair<std::string, std::string>> notices;
    };
    // One start-up against the given bases; what the window shows after it.
    Seen startWith(const std::string& update, const std::string& lookup) {
        _putenv_s("KORVAN_UPDATE_URL", update.c_str());
        _putenv_s("KORVAN_IPLOOKUP_URL", lookup.c_str());
        dialogs.shown.clear();
        shell::App app(services);
        shell::WebStartup web(httpGet, app.state().http, dialogs);
        win32::Win32Form* main = start(app, web);
        Seen s;
        EXPECT_NE(main, nullptr);
        if (!main) return s;
        EXPECT_TRUE(IsWindowVisible(main->hwnd()));
        s = {main->text("编辑框4"), main->text("编辑框5"), main->text("标签11"), main->text("标签1"),
             main->text("标签3"),   main->text("编辑框3"), dialogs.shown};
        DestroyWindow(main->hwnd());
        MSG m;   // the quit posted when the last window went
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        return s;
    }
};

const std::string kNoLocation = "\r\n你的地理位置为：【】";
const std::string kRejected = "无法获取地理位置信息";

}  // namespace

TEST_F(HostileStartup, TenMebibytePagesAndZeroBytesEndInTheirTexts) {
    // Pages of 10 MiB are cut at 8 MiB; the markers near their start are
    // still found.
    Seen s = startWith(server(), with("huge=10485760"));
    EXPECT_EQ(s.address, "127.0.0.1");
    EXPECT_EQ(s.location, "\r\n你的地理位置为：【四川省成都市 电信ADSL】");

    // A page is its bytes up to the first zero byte.
    setPage("/e/md5.htm", std::string("1.1\0\xFF\xFE" "2.0", 8));
    setPage("/e/cc.htm", std::string("1\0\x01", 3));
    setPage("/e/gg.htm", std::string("\0\xB9\xAB\xB8\xE6", 5));
    setPage("/e/tt.htm", g("维护") + std::string("\0\xFF", 2));
    setPage("/ip2city.asp", std::string("AB\0\xFF\xFE[1.2.3.4]\0tail", 19));
    s = startWith(server(), server());
    EXPECT_EQ(s.version, "1.1");
    EXPECT_EQ(s.noticeSwitch, "1");
    EXPECT_EQ(s.announcement, shell::fallbackAnnouncement());
    EXPECT_EQ(s.address, "");
    EXPECT_EQ(s.failure, kRejected) << "the empty address is rejected by the service";
    EXPECT_EQ(s.notices, (std::vector<std::pair<std::string, std::string>>{{"维护", "系统提示"}}));

    // A 10 MiB announcement scrolls its first 8 MiB.
    setPage("/e/gg.htm", std::string(10 << 20, 'a'));
    setPage("/e/md5.htm", "1.1");
    setPage("/e/cc.htm", "0");
    s = startWith(server(), server());
    EXPECT_EQ(s.announcement, std::string(platform::kMaxBodyBytes, 'a'));
    EXPECT_TRUE(s.notices.empty());
}

TEST_F(HostileStartup, MissingOrReversedMarkersGiveTheByteArithmeticsText) {
    setPage("/ip2city.asp", "]127.0.0.1[");
    const std::pair<std::string, std::string> pages[] = {
        {g("</li></ul></td>参考数据二：四川"), ""},           // reversed
        {"0123456789ABCDEFGH</li></ul></td>", "ABCDEFGH"},   // no start: from byte 11
        {g("<li>参考数据二：四川"), ""},                      // no end
        {"nothing here", ""},
    };
    for (const auto& [page, location] : pages) {
        setPage("/ips.asp", page);
        const Seen s = startWith(server(), server());
        EXPECT_EQ(s.address, "");
        EXPECT_EQ(s.location, "\r\n你的地理位置为：【" + location + "】") << page;
        EXPECT_NE(s.failure, kRejected);
    }
}

TEST_F(HostileStartup, BrokenAndSilentServersLeaveTheFallbacks) {
    for (const char* behaviour : {"reset", "silent"}) {
        const Seen s = startWith(with(behaviour), with(behaviour));
        EXPECT_EQ(s.version, "") << behaviour;
        EXPECT_EQ(s.noticeSwitch, "");
        EXPECT_EQ(s.announcement, shell::fallbackAnnouncement());
        EXPECT_EQ(s.address, "");
        EXPECT_EQ(s.location, kNoLocation);
        EXPECT_NE(s.failure, kRejected);
        EXPECT_TRUE(s.notices.empty()) << "an unreachable server announces nothing";
    }
    EXPECT_EQ(requestsFor("/ips.asp"), 2) << "the location request goes out after a broken or silent address page too";
}

TEST_F(WebTest, AHeaderBlockOverTheBufferIsNotReadButThePageIs) {
    // 30 lines of about 100 bytes: a header block of over 3 KB, more than
    // the 1024 characters the raw headers are read into. The block is not
    // handed on (so HTTP类 stores no cookie of its own for it); the page
    // still comes whole.
    win32::Win32HttpTransport transport;
    const std::string path = "/_/cookies=30/ips.asp";
    platform::HttpExchange x;
    x.agent = http::kAgent;
    x.host = "127.0.0.1";
    x.port = envPort("KORVAN_FIXTURE_PORT");
    x.method = "POST";
    x.path = path;
    x.body = "ip=1.2.3.4&action=2";
    const platform::HttpReply reply = transport.exchange(x);
    ASSERT_EQ(reply.end, FetchEnd::Complete);
    EXPECT_EQ(reply.rawHeaders, "");
    EXPECT_NE(reply.body.find(g("参考数据二：四川省成都市 电信ADSL")), std::string::npos);

    // A block that fits is handed on with its cookie lines.
    x.path = "/ips.asp";
    const platform::HttpReply small = transport.exchange(x);
    EXPECT_NE(small.rawHeaders.find("Set-Cookie: "), std::string::npos);
}

// Start-up benchmark: time from the splash's close to the main window being
// visible, with the web services played by the fixture server under four
// behaviours, against the sum of the same requests made one after another
// (each with the same deadline) in the same run.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/http_class.h"
#include "platform/win32/http_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_form.h"
#include "shell/app.h"
#include "shell/web_startup.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string port(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "0";
}

struct QuietDialogs : platform::Dialogs {
    int shown = 0;
    platform::Answer messageBox(const platform::MessageBoxSpec&) override {
        ++shown;
        return platform::Answer::Ok;
    }
};

Clock::time_point splashClosed;

double startup(const std::string& base) {
    _putenv_s("KORVAN_UPDATE_URL", base.c_str());
    _putenv_s("KORVAN_IPLOOKUP_URL", base.c_str());
    win32::Win32Windows windows;
    win32::Win32Runner runner;
    QuietDialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    win32::Win32HttpGet get;
    win32::Win32HttpTransport transport([&windows] { windows.pump(); });
    win32::Win32Registry registry;
    shell::Services services{windows, runner, dialogs, system, files, shellOpen, registry, get, transport};
    shell::App app(services);
    shell::WebStartup web(get, app.state().http, dialogs);
    web.bind(app.steps());
    if (std::getenv("KORVAN_BENCH_STEPS")) {
        auto& st = app.steps();
        auto wrap = [](const char* name, shell::FormStep step) {
            return shell::FormStep([name, step](ui::Form& f) {
                auto t = Clock::now();
                std::printf("    %s at %.3fs\n", name, std::chrono::duration<double>(t - splashClosed).count());
                if (step) step(f);
                std::printf("    %s %.3fs\n", name, std::chrono::duration<double>(Clock::now() - t).count());
            });
        };
        st.fetchServerTexts = wrap("texts", st.fetchServerTexts);
        st.setUpTicker = wrap("ticker", st.setUpTicker);
        st.locationLookup = wrap("location", st.locationLookup);
        st.startupNotices = wrap("notices", st.startupNotices);
        st.attachSkin = wrap("skin", st.attachSkin);
        st.refreshAdapters = wrap("adapters", st.refreshAdapters);
        auto ip = st.publicIpLookup;
        st.publicIpLookup = [ip] {
            auto t = Clock::now();
            auto r = ip();
            std::printf("    ip %.3fs\n", std::chrono::duration<double>(Clock::now() - t).count());
            return r;
        };
    }
    if (std::getenv("KORVAN_BENCH_STEPS")) {
        auto t = Clock::now();
        system.hostName();
        std::printf("    host name %.3fs\n", std::chrono::duration<double>(Clock::now() - t).count());
    }
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND splash = FindWindowW(L"KorvanWindow", L"");
        if (!splash || !IsWindowVisible(splash)) return;
        KillTimer(nullptr, id);
        splashClosed = Clock::now();
        DestroyWindow(splash);
    });
    splashClosed = {};
    auto* main = static_cast<win32::Win32Form*>(app.openMainWindow());
    if (splashClosed == Clock::time_point{}) std::printf("  (splash not seen!)\n");
    const double s = std::chrono::duration<double>(Clock::now() - splashClosed).count();
    if (!IsWindowVisible(main->hwnd())) std::printf("  (main window not visible!)\n");
    DestroyWindow(main->hwnd());
    // The last window gone posts the quit; the next case starts afresh.
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    return s;
}

// The same requests, one after another.
double oneAfterAnother(const std::string& base, bool noticeDue) {
    win32::Win32HttpGet get;
    win32::Win32HttpTransport transport;
    http::HTTP类 client(transport);
    const auto t0 = Clock::now();
    get.get(base + "/e/md5.htm");
    get.get(base + "/e/cc.htm");
    get.get(base + "/e/gg.htm");
    get.get(base + "/e/gg.htm");
    get.get(base + "/ip2city.asp");
    std::string headers;
    client.访问网页(base + "/ips.asp", "POST", "", headers, "ip=127.0.0.1&action=2");
    if (noticeDue) get.get(base + "/e/tt.htm");
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main() {
    const std::string host = "http://127.0.0.1:";
    const std::string server = host + port("KORVAN_FIXTURE_PORT");
    struct Case {
        const char* name;
        std::string base;
        bool noticeDue;
        double target;
    };
    // The fixture's pages: version "1.1", switch "0"; the latency case
    // switches the notice on, so the notice page is fetched as well. A
    // silent or never-accepting lookup service costs two deadlines: the
    // location request waits for the address page and is sent after it
    // failed too.
    const std::vector<Case> cases = {
        {"200 ms latency", server + "/_/latency=200", true, 0.7},
        {"refused", host + port("KORVAN_FIXTURE_REFUSED_PORT"), false, 0.3},
        {"silent", server + "/_/silent", false, 6.5},
        {"never-accept", host + port("KORVAN_FIXTURE_NOACCEPT_PORT"), false, 6.5},
    };
    std::printf("%-16s %10s %16s %7s %8s\n", "servers", "start-up", "one-after-other", "ratio", "target");
    for (const Case& c : cases) {
        // The switch page of the fixture for this case.
        {
            win32::Win32HttpTransport t;
            http::HTTP类 control(t);
            std::string h;
            control.访问网页(server + "/__page/e/cc.htm", "POST", "", h, c.noticeDue ? "1" : "0");
        }
        const double s = startup(c.base);
        const double seq = oneAfterAnother(c.base, c.noticeDue);
        std::printf("%-16s %9.3fs %15.3fs %7.2f %7.1fs %s\n", c.name, s, seq, s / seq, c.target,
                    s <= c.target ? "ok" : "MISSED");
        std::fflush(stdout);
    }
    return 0;
}

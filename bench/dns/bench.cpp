// The DNS test's side of bench/dns/run, under Wine: the real window over
// the resolvers of KORVAN_DNS_SERVERS, started as by a click, its messages
// handled one at a time by this loop. Prints the wall time from the click
// to the sorted list and the longest time the UI thread spent in one
// message while the test ran (what a user would feel as a freeze).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "dns/window.h"
#include "platform/win32/dns_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"

int wmain() {
    using clock = std::chrono::steady_clock;
    win32::Win32Windows windows;
    win32::Win32Udp udp;   // outlives the workers
    win32::Win32Tasks tasks;
    dns::DnsServices services;
    services.udp = &udp;
    services.tasks = &tasks;
    auto* form = static_cast<win32::Win32Form*>(windows.create(layouts::dnsWindow()));
    const char* given = std::getenv("KORVAN_DNS_SERVERS");
    if (!given || !*given) {
        std::fprintf(stderr, "bench: KORVAN_DNS_SERVERS not set\n");
        return 2;
    }
    dns::DnsWindow window(*form, dns::testRows({}, given), services);
    form->setVisible("", true);
    windows.pump();

    const auto start = clock::now();
    SendMessageW(form->unitHwnd(dns::kStartButton), BM_CLICK, 0, 0);
    double longest = 0;
    while (window.running()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const auto t0 = clock::now();
            windows.dispatch(msg);
            longest = std::max(longest, std::chrono::duration<double, std::milli>(clock::now() - t0).count());
        }
        if (std::chrono::duration<double>(clock::now() - start).count() > 30) break;
    }
    const double wall = std::chrono::duration<double>(clock::now() - start).count();
    std::printf("servers %zu\n", window.servers().size());
    std::printf("status %s\n", form->text(dns::kStatus).c_str());
    std::printf("wall_s %.3f\n", wall);
    std::printf("longest_ui_stall_ms %.1f\n", longest);
    return window.running() ? 1 : 0;
}

// Downloads one package with the tool's download component, with the task
// parameters of the update window and its check (the signed statement
// fetched by the component from <url>.sig the package's way, for the
// package server's version 1.2, checked against the tests' key, which the
// package server signs with), and reports how long it took
// and the process's private memory along the way:
//
//   update_bench <url> <local file> [--no-check]
//   -> "bytes=<n> ok=<0|1> seconds=<s> private_start=<b> private_peak=<b>
//       private_at=<b at 25%>,<b at 50%>,<b at 75%> hash_seconds=<s>"
//
// hash_seconds: CNG's SHA-256 alone over as many bytes, in memory.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <vector>

#include "platform/win32/update_win32.h"
#include "platform/win32/wide.h"
#include "test_update_key.h"
#include "update/statement.h"
#include "update/update_window.h"

namespace {

std::int64_t privateBytes() {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    // Wine leaves PrivateUsage at 0; PagefileUsage is the same commit charge.
    return static_cast<std::int64_t>(pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    win32::Win32SignatureCheck check(keys::kTestUpdateKey);   // both outlive the downloader's worker
    win32::Win32Clock clock;
    win32::Win32Downloader downloader;
    platform::DownloadTask t;
    t.url = win32::narrow(argv[1]);
    t.localFile = win32::narrow(argv[2]);
    t.rateLimit = update::kRateLimit;
    t.connectTimeoutMs = update::kConnectTimeoutMs;
    t.sendTimeoutMs = update::kSendTimeoutMs;
    t.receiveTimeoutMs = update::kReceiveTimeoutMs;
    t.stopWaitMs = update::kStopWaitMs;
    t.blockSize = update::kBlockSize;
    const bool checked = !(argc > 3 && std::wstring(argv[3]) == L"--no-check");
    if (checked) {
        t.signatureUrl = t.url + std::string(update::kStatementSuffix);
        t.verify = [&check, &clock](const platform::Sha256& digest, std::string_view statement) {
            return update::statementVouches(statement, "1.2", digest, clock.todayUtc(), check);
        };
    }
    std::int64_t total = 0;
    bool ended = false, ok = false;
    std::int64_t written = 0;
    t.onStatus = [&](const platform::DownloadNotice& n) {
        if (n.kind == platform::kStatusSize) total = n.value;
        if (n.kind == platform::kStatusEnd) {
            ended = true;
            ok = n.ok;
            written = n.value;
        }
        return 0;
    };
    const std::int64_t start = privateBytes();
    std::int64_t peak = start, at[3] = {0, 0, 0};
    const auto t0 = std::chrono::steady_clock::now();
    if (!downloader.start(t)) return 1;
    MSG msg;
    while (!ended) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        const std::int64_t now = privateBytes();
        if (now > peak) peak = now;
        if (total > 0)
            for (int i = 0; i < 3; ++i)
                if (!at[i] && downloader.downloadedBytes() * 4 >= total * (i + 1)) at[i] = now;
        if (!ended) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    // The hash alone over as many bytes, in 1 MiB pieces.
    std::vector<char> block(1 << 20, 'x');
    win32::Sha256Hash hash;
    const auto h0 = std::chrono::steady_clock::now();
    for (std::int64_t left = written; left > 0; left -= static_cast<std::int64_t>(block.size()))
        hash.add(block.data(), static_cast<std::size_t>(std::min<std::int64_t>(left, block.size())));
    platform::Sha256 digest{};
    hash.finish(digest);
    const double hashSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - h0).count();

    std::printf("bytes=%lld ok=%d seconds=%.3f private_start=%lld private_peak=%lld private_at=%lld,%lld,%lld "
                "hash_seconds=%.3f\n",
                static_cast<long long>(written), ok ? 1 : 0, seconds, static_cast<long long>(start),
                static_cast<long long>(peak), static_cast<long long>(at[0]), static_cast<long long>(at[1]),
                static_cast<long long>(at[2]), hashSeconds);
    return ok ? 0 : 1;
}

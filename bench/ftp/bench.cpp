// The FTP client's side of bench/ftp/run, under Wine: logs in to the
// fixture, then either lists a big directory into the FTP window's server
// list, or downloads one big file and uploads it again through the same
// connection. Prints "name milliseconds" lines; the script compares them
// with curl.
//
//   ftp_bench <port> <user> <password> list <dir>
//   ftp_bench <port> <user> <password> transfer <file>
//   ftp_bench - - - fill <count>       (the window's part alone, made-up entries)
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ftp/client.h"
#include "platform/win32/ftp_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"

namespace {

// The connection with one listing kept: measures the window's own part of a
// listing apart from the server's.
struct KeptListing : platform::Ftp {
    platform::Ftp& real;
    std::vector<platform::DirEntry> kept;
    explicit KeptListing(platform::Ftp& r) : real(r) {}
    bool open(std::string_view s, const std::optional<std::string>& a, const std::optional<std::string>& p, int port,
              bool passive) override {
        return real.open(s, a, p, port, passive);
    }
    void close() override { real.close(); }
    bool isOpen() const override { return real.isOpen(); }
    std::string currentDirectory() override { return real.currentDirectory(); }
    bool setCurrentDirectory(std::string_view p) override { return real.setCurrentDirectory(p); }
    std::vector<platform::DirEntry> list(std::string_view) override { return kept; }
    bool get(std::string_view r, std::string_view l) override { return real.get(r, l); }
    bool put(std::string_view l, std::string_view r) override { return real.put(l, r); }
    bool removeFile(std::string_view n) override { return real.removeFile(n); }
    bool rename(std::string_view f, std::string_view t) override { return real.rename(f, t); }
    bool createDirectory(std::string_view n) override { return real.createDirectory(n); }
    bool removeDirectory(std::string_view n) override { return real.removeDirectory(n); }
};

double msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    const int port = _wtoi(argv[1]);
    const std::string user = win32::narrow(argv[2]), password = win32::narrow(argv[3]);
    const std::wstring mode = argv[4];
    const std::string target = win32::narrow(argv[5]);

    win32::Win32Ftp ftp;
    if (mode != L"fill" && !ftp.open("127.0.0.1", user, password, port, false)) {
        std::printf("login failed\n");
        return 1;
    }

    if (mode == L"transfer") {
        // Neither copy exists when the round starts: no round pays for
        // replacing a file. The Wine processes started with this one settle
        // first.
        DeleteFileW(L"bench-download.bin");
        ftp.removeFile("bench-upload.bin");
        Sleep(1000);
        auto t0 = std::chrono::steady_clock::now();
        bool ok = ftp.get(target, "bench-download.bin");
        std::printf("get %.1f %d\n", msSince(t0), ok ? 1 : 0);
        t0 = std::chrono::steady_clock::now();
        ok = ftp.put("bench-download.bin", "bench-upload.bin") && ok;
        std::printf("put %.1f %d\n", msSince(t0), ok ? 1 : 0);
        DeleteFileW(L"bench-download.bin");
        std::fflush(stdout);
        return ok ? 0 : 1;
    }

    win32::Win32Windows windows;
    KeptListing kept(ftp);
    ui::Form* w = windows.create(layouts::ftpWindow());
    w->setColumns("远程文件框", {{"文件名", 171}, {"尺寸", 100}, {"修改时间", 145}});
    w->setVisible("", true);
    windows.pump();

    // A listing as the user sees it, in its two parts: the platform fetching
    // the entries from the server (change directory, list), then the window
    // filling its list from them and drawing it. The second part runs from
    // the kept entries, so the server is asked once. "fill" makes entries up
    // instead, for the window's part alone.
    auto t0 = std::chrono::steady_clock::now();
    double fetchMs = 0;
    if (mode == L"fill") {
        for (int i = 0, n = std::atoi(target.c_str()); i < n; ++i) {
            platform::DirEntry e;
            e.name = "entry-" + std::to_string(100000 + i).substr(1) + ".txt";
            e.time = {2026, 12, 8, 0, 20, 0};
            kept.kept.push_back(std::move(e));
        }
    } else {
        ftp.setCurrentDirectory(target);
        kept.kept = ftp.list("*.*");
        fetchMs = msSince(t0);
        std::printf("fetch %.1f %zu\n", fetchMs, kept.kept.size());
    }
    t0 = std::chrono::steady_clock::now();
    ftp::listRemote(*w, kept);
    UpdateWindow(static_cast<win32::Win32Form*>(w)->hwnd());
    windows.pump();
    const double fillMs = msSince(t0);
    std::printf("fill %.1f %d\n", fillMs, w->itemCount("远程文件框"));
    if (mode != L"fill") std::printf("list %.1f %d\n", fetchMs + fillMs, w->itemCount("远程文件框"));
    std::fflush(stdout);
    return 0;
}

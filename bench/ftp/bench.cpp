// The FTP client's side of bench/ftp/run, under Wine: logs in to the
// fixture, lists a big directory into the FTP window's server list, then
// downloads and uploads one big file through the same connection. Prints
// "name milliseconds" lines; the script compares them with curl.
//
//   ftp_bench <port> <user> <password> <dir> <file>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

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
    const std::string dir = win32::narrow(argv[4]), file = win32::narrow(argv[5]);

    win32::Win32Windows windows;
    win32::Win32Ftp ftp;
    KeptListing kept(ftp);
    if (!ftp.open("127.0.0.1", user, password, port, false)) {
        std::printf("login failed\n");
        return 1;
    }
    ui::Form* w = windows.create(layouts::ftpWindow());
    win32::Win32Dialogs dialogs;
    w->setColumns("远程文件框", {{"文件名", 171}, {"尺寸", 100}, {"修改时间", 145}});
    w->setVisible("", true);
    windows.pump();

    // The server's part alone, for the record.
    auto tl = std::chrono::steady_clock::now();
    ftp.setCurrentDirectory(dir);
    kept.kept = ftp.list("*.*");
    std::printf("fetch %.1f %zu\n", msSince(tl), kept.kept.size());
    tl = std::chrono::steady_clock::now();
    ftp::listRemote(*w, kept);
    UpdateWindow(static_cast<win32::Win32Form*>(w)->hwnd());
    windows.pump();
    std::printf("fill %.1f %d\n", msSince(tl), w->itemCount("远程文件框"));

    // The listing as the user sees it: change directory, list, fill, draw.
    auto t0 = std::chrono::steady_clock::now();
    ftp.setCurrentDirectory(dir);
    ftp::listRemote(*w, ftp);
    UpdateWindow(static_cast<win32::Win32Form*>(w)->hwnd());
    windows.pump();
    std::printf("list %.1f %d\n", msSince(t0), w->itemCount("远程文件框"));

    // Transfers: the best of three, as for curl.
    ftp.setCurrentDirectory("/");
    double getMs = 1e18, putMs = 1e18;
    bool ok = true;
    for (int round = 0; round < 3; ++round) {
        t0 = std::chrono::steady_clock::now();
        ok = ftp.get(file, "bench-download.bin") && ok;
        getMs = std::min(getMs, msSince(t0));
        t0 = std::chrono::steady_clock::now();
        ok = ftp.put("bench-download.bin", "bench-upload.bin") && ok;
        putMs = std::min(putMs, msSince(t0));
    }
    std::printf("get %.1f %d\nput %.1f %d\n", getMs, ok ? 1 : 0, putMs, ok ? 1 : 0);
    DeleteFileW(L"bench-download.bin");
    std::fflush(stdout);
    return ok ? 0 : 1;
}

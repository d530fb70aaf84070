// The FTP client's side of bench/ftp/run, under Wine: logs in to the
// fixture, then either lists a big directory into the FTP window's server
// list, or downloads one big file and uploads it again through the same
// connection. Prints "name milliseconds ..." lines; the script compares
// them with curl.
//
// A listing is timed in two parts: WinINet handing over the entries
// (FtpFindFirstFileA, then InternetFindNextFileA until none is left), and
// ours, everything after: taking each entry over, ordering directories
// before files, filling the list and drawing it.
//
//   ftp_bench <port> <user> <password> list <dir>
//   ftp_bench <port> <user> <password> transfer <file>
//   ftp_bench - - - fill <count>       (our part alone, over made-up entries)
#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ftp/client.h"
#include "ftp/listing.h"
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

    // WinINet's part, over a connection of its own in the same directory:
    // exactly the calls that hand the entries over, and nothing else. "fill"
    // makes the entries up instead (a directory and files every fifty).
    std::vector<WIN32_FIND_DATAA> found;
    double fetchMs = 0;
    if (mode == L"fill") {
        for (int i = 0, n = std::atoi(target.c_str()); i < n; ++i) {
            WIN32_FIND_DATAA fd{};
            const std::string name = "entry-" + std::to_string(100000 + i).substr(1) + (i % 50 ? ".txt" : "");
            strncpy(fd.cFileName, name.c_str(), MAX_PATH - 1);
            fd.dwFileAttributes = i % 50 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DIRECTORY;
            fd.nFileSizeLow = static_cast<DWORD>(i * 37);
            SYSTEMTIME st{2026, 12, 2, 8, 0, 20, static_cast<WORD>(i % 60), 0};
            SystemTimeToFileTime(&st, &fd.ftLastWriteTime);
            found.push_back(fd);
        }
    } else {
        HINTERNET session = InternetOpenW(L"ftp_bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        HINTERNET connection = InternetConnectW(session, L"127.0.0.1", static_cast<INTERNET_PORT>(port),
                                                argv[2], argv[3], INTERNET_SERVICE_FTP, 0, 0);
        if (!connection || !FtpSetCurrentDirectoryW(connection, argv[5])) {
            std::printf("no such directory\n");
            return 1;
        }
        const auto t0 = std::chrono::steady_clock::now();
        WIN32_FIND_DATAA fd{};
        HINTERNET find = FtpFindFirstFileA(connection, "*", &fd, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
        if (find) {
            do found.push_back(fd);
            while (InternetFindNextFileA(find, &fd));
            InternetCloseHandle(find);
        }
        fetchMs = msSince(t0);
        InternetCloseHandle(connection);
        InternetCloseHandle(session);
        std::printf("fetch %.1f %zu\n", fetchMs, found.size());
        ftp.setCurrentDirectory(target);   // the window shows this directory
    }

    // Ours: the entries taken over as Win32Ftp::list takes them, then the
    // window's List remote (ordering, filling) and the drawing of the list.
    const auto t0 = std::chrono::steady_clock::now();
    kept.kept.reserve(found.size());
    for (const WIN32_FIND_DATAA& fd : found) kept.kept.push_back(win32::dirEntryOf(fd, true));
    const double takeMs = msSince(t0);
    const auto t1 = std::chrono::steady_clock::now();
    ftp::listRemote(*w, kept);
    const double fillMs = msSince(t1);
    const auto t2 = std::chrono::steady_clock::now();
    UpdateWindow(static_cast<win32::Win32Form*>(w)->hwnd());
    windows.pump();
    const double drawMs = msSince(t2);
    const double oursMs = msSince(t0);
    const int items = w->itemCount("远程文件框");
    std::printf("ours %.1f %d %zu\n", oursMs, items, found.size());
    // Where ours goes: taking the entries over, List remote (ordering and
    // filling), drawing; and the ordering alone, run once more apart.
    const auto t3 = std::chrono::steady_clock::now();
    const size_t rows = ftp::remoteRows(kept.kept, "/").size();
    std::printf("ours-parts take %.1f fill %.1f draw %.1f (rows alone %.1f for %zu)\n", takeMs, fillMs, drawMs,
                msSince(t3), rows);
    if (mode != L"fill") std::printf("list %.1f %d\n", fetchMs + oursMs, items);
    std::fflush(stdout);
    return 0;
}

// The update window as a real window over the real download component,
// against the package server: a trickled download with its texts, a broken
// one, the menu check with the version page's answers, and cancel / close
// ending the process with exit code 0 and no partial file (in a child
// process, since the program really ends).
#include <windows.h>
#include <commctrl.h>
#include <wincrypt.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "package_server.h"
#include "platform/win32/http_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/update_win32.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "test_update_key.h"
#include "update/updater.h"

using win32::narrow;
using win32::widen;

namespace {

// The shared HTTP GET is another subsystem's; the tests lend the update a
// plain one.
std::string plainGet(std::string_view url) {
    std::string body;
    HINTERNET s = InternetOpenW(L"korvan-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!s) return body;
    HINTERNET r = InternetOpenUrlW(s, widen(url).c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (r) {
        char buf[4096];
        DWORD got = 0;
        while (InternetReadFile(r, buf, sizeof buf, &got) && got) body.append(buf, got);
        InternetCloseHandle(r);
    }
    InternetCloseHandle(s);
    return body;
}

struct FolderDesktop : platform::Desktop {
    std::string dir;
    std::string desktopDirectory() override { return dir; }
};

struct RecordingShell : platform::Shell {
    std::vector<std::string> opened;
    bool open(std::string_view t) override {
        opened.emplace_back(t);
        return true;
    }
};

struct RecordingDialogs : platform::Dialogs {
    std::vector<std::string> texts;
    platform::Answer messageBox(const platform::MessageBoxSpec& s) override {
        texts.emplace_back(s.text);
        return platform::Answer::Ok;
    }
};

struct RecordingProcess : platform::Process {
    std::vector<int> exits;
    void exit(int code) override { exits.push_back(code); }
};

void setBase(const std::string& base) { _putenv(("KORVAN_UPDATE_URL=" + base).c_str()); }

std::string text(HWND h) {
    wchar_t buf[512] = {};
    SendMessageW(h, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf));
    return narrow(buf);
}

struct UpdateWindowTest : ::testing::Test {
    win32::Win32Windows windows;
    RecordingDialogs dialogs;
    RecordingShell shell;
    win32::Win32SignatureCheck signatures{keys::kTestUpdateKey};   // both outlive the downloader's workers
    win32::Win32Clock clock;
    win32::Win32Downloader downloader;
    FolderDesktop desktop;
    win32::Win32FileSizes sizes;
    win32::Win32Files files;
    RecordingProcess process;
    update::UpdateServices services{windows, dialogs, shell, downloader, desktop, clock, sizes, files, process, signatures, clock};
    update::DownloadRecord record;
    int cleanups = 0;
    std::string base = served::base();
    win32::Win32Form* main = nullptr;
    std::unique_ptr<update::Updater> updater;

    void SetUp() override {
        ASSERT_FALSE(base.empty()) << "package server not running";
        desktop.dir = served::scratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        DeleteFileW(widen(desktop.dir + "tarnel.zip").c_str());
        main = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
        main->setText("编辑框4", "1.2");   // as the server announced it: the package server's statements say 1.2
        main->setVisible("", true);
        updater = std::make_unique<update::Updater>(services, record,
                                                    update::UpdateHooks{plainGet, [this] { ++cleanups; }});
        // The menu item reaches the check the way the application binds it.
        main->on(layouts::kMenuUpdate, ui::Event::Click, [this](ui::EventArgs&) { updater->checkFromMenu(*main); });
    }
    void TearDown() override {
        if (auto* w = window()) DestroyWindow(w->hwnd());
        if (main && main->alive()) DestroyWindow(main->hwnd());
        windows.pump();
    }
    win32::Win32Form* window() {
        ui::Form* f = updater ? updater->window().form() : nullptr;
        return static_cast<win32::Win32Form*>(f);
    }
    HWND unit(std::string_view name) { return window()->unitHwnd(name); }
    std::string label(std::string_view name) { return text(unit(name)); }
    std::string savePath() const { return desktop.dir + "tarnel.zip"; }

    // One whole update from `address` (a 300,000-byte package) in a window of
    // its own, with `get` as the shared GET, after the server announced
    // version 1.2: either the package is kept and opened, or "更新失败!"
    // with nothing kept and nothing opened.
    void expectUpdate(const std::string& address, std::function<std::string(std::string_view)> get, bool opens) {
        setBase(address);
        shell.opened.clear();
        cleanups = 0;
        update::UpdateWindow uw(services, record, update::UpdateHooks{std::move(get), [this] { ++cleanups; }});
        ui::Form* announcer = windows.create(layouts::mainWindow());
        // Gone before `uw`: its close reaches the window's hook into `uw`.
        struct Gone {
            ui::Form* f;
            ~Gone() { DestroyWindow(static_cast<win32::Win32Form*>(f)->hwnd()); }
        } gone{announcer};
        announcer->setText("编辑框4", "1.2");
        uw.open(announcer);
        auto* w = static_cast<win32::Win32Form*>(uw.form());
        ASSERT_NE(w, nullptr);
        auto speed = [&] { return text(w->unitHwnd("标签速度")); };
        ASSERT_TRUE(served::pumpUntil([&] { return speed() == "更新失败!" || !shell.opened.empty(); }));
        if (opens) {
            EXPECT_EQ(shell.opened, std::vector<std::string>{savePath()});
            EXPECT_EQ(cleanups, 1);
            const std::string bytes = served::readFile(savePath());
            EXPECT_EQ(bytes.size(), 300000u);
            EXPECT_TRUE(served::matchesPattern(bytes));
        } else {
            EXPECT_EQ(speed(), "更新失败!");
            EXPECT_TRUE(shell.opened.empty());
            EXPECT_EQ(cleanups, 0);
            EXPECT_FALSE(served::exists(savePath()));
        }
        EXPECT_TRUE(served::partFiles(desktop.dir).empty());
        DestroyWindow(w->hwnd());
        windows.pump();
    }
};

}  // namespace

TEST_F(UpdateWindowTest, TrickledDownloadShowsItsProgressThenOffersThePackage) {
    setBase(base + "/trickle/1048576/16384/50");
    updater->window().open(main);
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(text(window()->hwnd()), "自动更新");
    EXPECT_TRUE(IsWindowVisible(window()->hwnd()));
    EXPECT_FALSE(IsWindowEnabled(unit("按钮1")));
    EXPECT_EQ(label("标签大小"), "正在连接下载服务器...");

    // While it runs: the texts of a running download, refreshed each second.
    ASSERT_TRUE(served::pumpUntil([&] { return label("标签进度").rfind("已下载:", 0) == 0; }));
    EXPECT_TRUE(std::regex_match(label("标签进度"), std::regex("已下载:[0-9.]+%")));
    EXPECT_TRUE(std::regex_match(label("标签大小"), std::regex("进度：[0-9.]+M/1M"))) << label("标签大小");
    EXPECT_TRUE(std::regex_match(label("标签速度"), std::regex("速度：[0-9]+KB/秒 "))) << label("标签速度");
    const int pos = static_cast<int>(SendMessageW(unit("进度条1"), PBM_GETPOS, 0, 0));
    EXPECT_GT(pos, 0);
    EXPECT_LT(pos, 1000);

    // The end: final texts, timers stopped, the package offered and opened.
    ASSERT_TRUE(served::pumpUntil([&] { return label("标签进度") == "已完成:100%"; }));
    EXPECT_EQ(label("标签大小"), "文件大小:1M");
    EXPECT_TRUE(std::regex_match(label("标签时间"), std::regex("总耗时:[0-9]+(\\.[0-9]{1,2})?秒"))) << label("标签时间");
    EXPECT_EQ(label("标签速度"), "更新已完成!");
    EXPECT_EQ(SendMessageW(unit("进度条1"), PBM_GETPOS, 0, 0), 1000);
    EXPECT_EQ(window()->timerPeriod("时钟"), 0);
    EXPECT_EQ(window()->timerPeriod("时钟1"), 0);
    ASSERT_TRUE(served::pumpUntil([&] { return !shell.opened.empty(); }));
    EXPECT_EQ(label("按钮1"), "安装");
    EXPECT_TRUE(IsWindowEnabled(unit("按钮1")));
    EXPECT_EQ(shell.opened, std::vector<std::string>{savePath()});
    EXPECT_EQ(cleanups, 1);
    const std::string bytes = served::readFile(savePath());
    EXPECT_EQ(bytes.size(), 1048576u);
    EXPECT_TRUE(served::matchesPattern(bytes));

    // "安装" again.
    SendMessageW(unit("按钮1"), BM_CLICK, 0, 0);
    EXPECT_EQ(shell.opened.size(), 2u);
    EXPECT_EQ(cleanups, 2);
}

TEST_F(UpdateWindowTest, ResetMidBodyFailsAndLeavesNoFile) {
    setBase(base + "/reset/2097152/300000");
    updater->window().open(main);
    ASSERT_TRUE(served::pumpUntil([&] { return label("标签速度") == "更新失败!"; }));
    EXPECT_FALSE(served::exists(savePath()));
    EXPECT_TRUE(served::partFiles(desktop.dir).empty());
    EXPECT_FALSE(IsWindowEnabled(unit("按钮1")));
    EXPECT_EQ(label("按钮1"), "下载更新");
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(cleanups, 0);
}

TEST_F(UpdateWindowTest, OnlyAPackageTheMakerVouchesForAsTheAnnouncedVersionOpens) {
    // Each spoiled statement or package: "更新失败!", nothing on the desktop,
    // nothing opened; every one but "otherkey" is signed with the maker's
    // key over its own lines, so its one fault refuses it: an older
    // release's version, an expired date, another package's hash, CR LF
    // line ends, two lines swapped, a line after the signature. Then the
    // package with its statement as it is made, by the server and by
    // scripts/sign: kept and opened; and a statement the server gives only
    // to the package's own route (its agent): it travels that route.
    for (const char* spoil : {"sig-none", "sig-other", "sig-truncated", "sig-otherkey", "sig-altered",
                              "sig-otherversion", "sig-expired", "sig-cr", "sig-reordered", "sig-trailing", "",
                              "sig-script", "sig-sameagent"}) {
        SCOPED_TRACE(spoil);
        const bool good = !*spoil || std::string(spoil) == "sig-script" || std::string(spoil) == "sig-sameagent";
        expectUpdate(base + (*spoil ? std::string("/") + spoil : std::string()) + "/whole/300000", plainGet, good);
    }
}

// The system's proxy (this prefix's Internet Settings) set to `server` for
// as long as the object lives; the values before are put back after.
class SystemProxy {
public:
    explicit SystemProxy(const std::string& server) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr))
            return;
        for (auto& v : saved_) {
            DWORD size = 0;
            v.present = RegQueryValueExW(key_, v.name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS;
            v.data.resize(size);
            if (v.present && size) RegQueryValueExW(key_, v.name, nullptr, &v.type, v.data.data(), &size);
        }
        const DWORD on = 1;
        const std::wstring name = widen(server);
        RegSetValueExW(key_, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
        RegSetValueExW(key_, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
        refresh();
        set_ = true;
    }
    ~SystemProxy() {
        if (!key_) return;
        for (auto& v : saved_) {
            if (v.present) RegSetValueExW(key_, v.name, 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
            else RegDeleteValueW(key_, v.name);
        }
        RegCloseKey(key_);
        refresh();
    }
    bool set() const { return set_; }

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    static void refresh() {
        InternetSetOptionW(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
        InternetSetOptionW(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
    }
    struct Saved {
        const wchar_t* name;
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    HKEY key_ = nullptr;
    bool set_ = false;
    Saved saved_[2] = {{L"ProxyEnable"}, {L"ProxyServer"}};
};

TEST_F(UpdateWindowTest, PackageAndSignatureBothComeThroughTheSystemProxy) {
    // The update server's name does not resolve: only the proxy (the
    // package server standing in for it) can carry a request for it, so
    // the package is kept only when the signature came that way too, with
    // the package's agent (sig-sameagent).
    SystemProxy proxy("127.0.0.1:" + base.substr(base.rfind(':') + 1));
    ASSERT_TRUE(proxy.set());
    expectUpdate("http://korvan-update.test/sig-sameagent/whole/300000", plainGet, true);
}

// A certificate in the machine's trusted roots (the Wine prefix's) for as
// long as the object lives.
class TrustedRoot {
public:
    explicit TrustedRoot(const std::string& pemPath) {
        const std::string pem = served::readFile(pemPath);
        DWORD size = 0;
        if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) return;
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) return;
        store_ = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
        if (store_)
            CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, der.data(), size,
                                             CERT_STORE_ADD_REPLACE_EXISTING, &cert_);
    }
    ~TrustedRoot() {
        if (cert_) CertDeleteCertificateFromStore(cert_);   // frees the context too
        if (store_) CertCloseStore(store_, 0);
    }
    bool added() const { return cert_ != nullptr; }
    // Does the system's chain engine now trust it? Wine 8's does not: its
    // trusted roots are the host's CA files, read into a store of its own;
    // what is added to the prefix's Root stores never counts.
    bool trusted() const {
        if (!cert_) return false;
        CERT_CHAIN_PARA para{};
        para.cbSize = sizeof para;
        PCCERT_CHAIN_CONTEXT chain = nullptr;
        if (!CertGetCertificateChain(nullptr, cert_, nullptr, nullptr, &para, 0, nullptr, &chain)) return false;
        const bool ok = chain->TrustStatus.dwErrorStatus == CERT_TRUST_NO_ERROR;
        CertFreeCertificateChain(chain);
        return ok;
    }

private:
    HCERTSTORE store_ = nullptr;
    PCCERT_CONTEXT cert_ = nullptr;
};

// One HTTPS GET with plain WinINet: the body, and the error of the send
// when it fails. `relaxed` accepts any certificate.
std::string httpsGet(const std::string& url, bool relaxed, DWORD& error) {
    error = 0;
    URL_COMPONENTSW parts{};
    wchar_t host[256] = {}, path[1024] = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 1024;
    const std::wstring wide = widen(url);
    if (!InternetCrackUrlW(wide.c_str(), 0, 0, &parts)) return "crack failed";
    std::string body;
    HINTERNET s = InternetOpenW(L"korvan-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET c = InternetConnectW(s, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET r = HttpOpenRequestW(c, L"GET", path, nullptr, nullptr, nullptr,
                                   INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (relaxed) {
        DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                      SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_REVOCATION;
        InternetSetOptionW(r, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    }
    if (HttpSendRequestW(r, nullptr, 0, nullptr, 0)) {
        char buf[4096];
        DWORD got = 0;
        while (InternetReadFile(r, buf, sizeof buf, &got) && got) body.append(buf, got);
    } else {
        error = GetLastError();
    }
    InternetCloseHandle(r);
    InternetCloseHandle(c);
    InternetCloseHandle(s);
    return body;
}

TEST_F(UpdateWindowTest, HttpsUpdateRefusesACertificateNobodyVouchesFor) {
    const std::string untrusted = served::untrustedBase();
    ASSERT_FALSE(untrusted.empty());
    // The controls: the server answers over TLS once its certificate is
    // let through, and without that the refusal is exactly the unknown
    // issuer, not some other failure of the connection.
    DWORD error = 0;
    EXPECT_EQ(httpsGet(untrusted + "/v/1.2/e/md5.htm", true, error), "1.2") << "error " << error;
    EXPECT_EQ(httpsGet(untrusted + "/v/1.2/e/md5.htm", false, error), "");
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INTERNET_INVALID_CA));
    // The tool's own shared GET and its update refuse it.
    win32::Win32HttpGet get;
    EXPECT_EQ(get.get(untrusted + "/v/1.2/e/md5.htm"), "");
    expectUpdate(untrusted + "/whole/300000", [&get](std::string_view url) { return get.get(url); }, false);
}

TEST_F(UpdateWindowTest, HttpsUpdateAgainstATrustedCertificateSkipsUnderWine8) {
    const std::string tls = served::tlsBase();
    ASSERT_FALSE(tls.empty());
    TrustedRoot root(served::folder() + "/tls.crt");
    ASSERT_TRUE(root.added());
    if (!root.trusted())
        GTEST_SKIP() << "under Wine 8 a root added to the prefix's store is never trusted (its chain engine reads the "
                        "host's CA files only), so the HTTPS update against a trusted certificate cannot run here";
    win32::Win32HttpGet get;
    EXPECT_EQ(get.get(tls + "/v/1.2/e/md5.htm"), "1.2");
    expectUpdate(tls + "/whole/300000", [&get](std::string_view url) { return get.get(url); }, true);
}

TEST_F(UpdateWindowTest, MenuCheckAgainstTheVersionPage) {
    // Same version: told so, nothing opens.
    setBase(base + "/v/1.1");
    SendMessageW(main->hwnd(), WM_COMMAND, main->menuId(layouts::kMenuUpdate), 0);
    EXPECT_EQ(text(main->unitHwnd("编辑框4")), "1.1");
    EXPECT_EQ(dialogs.texts, std::vector<std::string>{"当前没有新的版本，无需更新!"});
    EXPECT_TRUE(IsWindowVisible(main->hwnd()));
    EXPECT_EQ(window(), nullptr);

    // Unreachable server: told so, nothing opens.
    setBase("http://127.0.0.1:9");
    dialogs.texts.clear();
    updater->checkFromMenu(*main);
    EXPECT_EQ(text(main->unitHwnd("编辑框4")), "");
    EXPECT_EQ(dialogs.texts, std::vector<std::string>{"无法连接更新服务器，请稍后再试！"});
    EXPECT_TRUE(IsWindowVisible(main->hwnd()));
    EXPECT_EQ(window(), nullptr);

    // Another version: the update window takes over and downloads.
    setBase(base + "/v/1.2");
    dialogs.texts.clear();
    updater->checkFromMenu(*main);
    EXPECT_EQ(dialogs.texts, std::vector<std::string>{"发现新的版本，单击确定进入自动更新！"});
    ASSERT_NE(window(), nullptr);
    EXPECT_TRUE(IsWindowVisible(window()->hwnd()));
    EXPECT_FALSE(IsWindowVisible(main->hwnd()));
    ASSERT_TRUE(served::pumpUntil([&] { return label("标签进度") == "已完成:100%"; }));
    EXPECT_EQ(served::readFile(savePath()).size(), 256u * 1024);

    // Closing it ends the program: the main window goes too.
    SendMessageW(window()->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(process.exits, std::vector<int>{0});
    EXPECT_FALSE(main->alive());
}

// --- cancel and close end the process -------------------------------------------

// Run as a child process (KORVAN_UPDATE_CHILD = "cancel" or "close"): opens
// the update window on a slow download into $KORVAN_UPDATE_DIR, waits until
// the partial file exists, then presses 取消 or closes the window. The
// program must end inside that; returning from it exits with code 3.
TEST(UpdateChild, EndsTheProgram) {
    const char* mode = std::getenv("KORVAN_UPDATE_CHILD");
    if (!mode) GTEST_SKIP() << "runs as a child of the cancel test";
    win32::Win32Windows windows;
    RecordingDialogs dialogs;
    RecordingShell shell;
    win32::Win32Downloader downloader;
    FolderDesktop desktop;
    desktop.dir = std::getenv("KORVAN_UPDATE_DIR");
    win32::Win32Clock clock;
    win32::Win32FileSizes sizes;
    win32::Win32Files files;
    win32::Win32Process process;
    win32::Win32SignatureCheck signatures{keys::kTestUpdateKey};
    update::UpdateServices services{windows, dialogs, shell, downloader, desktop, clock, sizes, files, process, signatures, clock};
    update::DownloadRecord record;
    update::UpdateWindow window(services, record, {});
    ui::Form* main = windows.create(layouts::mainWindow());
    window.open(main);
    auto* w = static_cast<win32::Win32Form*>(window.form());
    if (!served::pumpUntil([&] { return downloader.downloadedBytes() > 0 && !served::partFiles(desktop.dir).empty(); },
                           30000))
        ExitProcess(4);
    if (std::string(mode) == "cancel") SendMessageW(w->unitHwnd("按钮2"), BM_CLICK, 0, 0);
    else SendMessageW(w->hwnd(), WM_CLOSE, 0, 0);
    ExitProcess(3);
}

TEST_F(UpdateWindowTest, CancelAndCloseEndTheProgramWithZeroAndNoPartialFile) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (const char* mode : {"cancel", "close"}) {
        SCOPED_TRACE(mode);
        _putenv((std::string("KORVAN_UPDATE_CHILD=") + mode).c_str());
        _putenv(("KORVAN_UPDATE_DIR=" + desktop.dir).c_str());
        _putenv(("KORVAN_UPDATE_URL=" + base + "/trickle/4194304/4096/50").c_str());
        std::wstring cmd = L"\"" + std::wstring(self) + L"\" --gtest_filter=UpdateChild.*";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        win32::UniqueHandle proc(pi.hProcess), thread(pi.hThread);
        ASSERT_EQ(WaitForSingleObject(proc.get(), 60000), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeProcess(proc.get(), &code);
        EXPECT_EQ(code, 0u);
        EXPECT_TRUE(served::partFiles(desktop.dir).empty());
        EXPECT_FALSE(served::exists(savePath()));
    }
    _putenv("KORVAN_UPDATE_CHILD=");
}

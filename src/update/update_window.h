// The update window ("自动更新"): downloads the package to the desktop as
// soon as it opens, shows progress, size, speed and remaining time, and
// hands the whole package to the shell once the maker's signed statement
// vouches for it (see update/statement.h). Closing it ends the program.
//
// Everything here runs on the user-interface thread; the downloader
// delivers its notifications there too.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/downloader.h"
#include "platform/files.h"
#include "platform/filesize.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/signature.h"
#include "platform/taskbar.h"
#include "ui/form.h"
#include "ui/windows.h"
#include "update/record.h"

namespace update {

// The services the update uses; owned by the caller.
struct UpdateServices {
    ui::Windows& windows;
    platform::Dialogs& dialogs;
    platform::Shell& shell;
    platform::Downloader& downloader;
    platform::Desktop& desktop;
    platform::Clock& clock;
    platform::FileSizes& sizes;
    platform::Files& files;
    platform::Process& process;
    // Holds the maker's public key; checks the package's statement before
    // the package is kept.
    const platform::SignatureCheck& signatures;
    // Today's date, against the statement's expiry; asked on the download's
    // worker, so it outlives the downloader.
    platform::Calendar& calendar;
    // The window's taskbar button shows the bar; none: not shown.
    platform::Taskbar* taskbar = nullptr;
};

// What other subsystems lend the update.
struct UpdateHooks {
    // The shared HTTP GET (for the version page): the body's bytes, "" on
    // any failure. The statement does not come this way but the package's.
    std::function<std::string(std::string_view url)> httpGet;
    // The console runner's scratch clean-up (its own files in C:\).
    std::function<void()> scratchCleanup;
    // Runs its argument once nothing that must not be cut short (an adapter
    // apply) is running: at once, or later. Empty: at once.
    std::function<void(std::function<void()>)> whenSettled;
};

// Captions and texts the window shows.
inline constexpr std::string_view kInstall = "安装";
inline constexpr std::string_view kConnecting = "正在连接下载服务器...";
inline constexpr std::string_view kFinished = "更新已完成!";
inline constexpr std::string_view kFailed = "更新失败!";
inline constexpr std::string_view kDone = "已完成:100%";
inline constexpr std::string_view kPackagePath = "/e/down/tarnel.zip";
// Of the main window: the version the server announced, which the
// package's statement must name.
inline constexpr std::string_view kVersionStore = "编辑框4";

// Download task parameters as filled before each start.
inline constexpr std::int64_t kRateLimit = 999999999;
inline constexpr std::uint32_t kConnectTimeoutMs = 5000;
inline constexpr std::uint32_t kSendTimeoutMs = 5001;
inline constexpr std::uint32_t kReceiveTimeoutMs = 10000;
inline constexpr std::uint32_t kStopWaitMs = 1000;
inline constexpr std::uint32_t kBlockSize = 20480;

class UpdateWindow {
public:
    UpdateWindow(UpdateServices& services, DownloadRecord& record, UpdateHooks hooks);

    // Creates the window (modeless, no owner), prepares the save path and
    // starts the download, then shows it. `main` is the main window: the
    // version in its 编辑框4 when the download starts is the one the
    // package must be; it is closed when the program ends from here.
    // Does nothing when already open.
    void open(ui::Form* main);

    ui::Form* form() const { return form_; }

private:
    void prepare();
    void button1();
    void onStatus(const platform::DownloadNotice& n);
    void barTick();
    void textTick();
    void fail();
    void endProgram();

    UpdateServices& s_;
    DownloadRecord& r_;
    UpdateHooks hooks_;
    ui::Form* form_ = nullptr;
    ui::Form* main_ = nullptr;
    bool ending_ = false;
};

}  // namespace update

// The FTP client: the login panel of the main window with its remembered
// login in Config.ini, and the FTP window with the local and the server
// lists and the file operations. Everything runs on the user-interface
// thread; every FTP call blocks it, so each status text is repainted before
// the call that follows it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/ftp.h"
#include "platform/localdisk.h"
#include "platform/pause.h"
#include "platform/system.h"
#include "platform/taskbar.h"
#include "ui/form.h"
#include "ui/windows.h"

namespace ftp {

// The services the client works with; owned by the program's entry point
// (or a test), which outlives the client.
struct FtpServices {
    ui::Windows& windows;
    platform::Dialogs& dialogs;
    platform::System& system;
    platform::Files& files;
    platform::Ftp& ftp;
    platform::LocalDisk& disk;
    platform::Pause& pause;
    // The FTP window's taskbar button shows transfers of more than 1 MiB;
    // none: not shown.
    platform::Taskbar* taskbar = nullptr;
};

// Config.ini's section and keys.
inline constexpr std::string_view kSection = "登陆信息";
inline constexpr std::string_view kKeyAddress = "地址";
inline constexpr std::string_view kKeyAccount = "帐号";
inline constexpr std::string_view kKeyPassword = "密码";
// How long a click on 保存选择框 waits before it saves.
inline constexpr int kSaveDelayMs = 1500;

class FtpClient {
public:
    explicit FtpClient(FtpServices& services);
    ~FtpClient();
    FtpClient(const FtpClient&) = delete;
    FtpClient& operator=(const FtpClient&) = delete;

    // Binds 登录按钮 and 保存选择框 of the main window, and follows the
    // window's end so that a save due after it does nothing.
    void bindLoginPanel(ui::Form& main);
    // Start-up: fills the address, account and password boxes from
    // Config.ini and keeps the file open until the login is forgotten.
    void loadSavedLogin(ui::Form& main);

    // The handlers, callable directly.
    void login(ui::Form& main);
    // Ticked: after kSaveDelayMs (the windows working meanwhile) the boxes
    // are saved, but only when this was the user's last click on the box,
    // the box is still ticked and the window still exists. Cleared: the
    // file is released and deleted at once.
    void saveOrForget(ui::Form& main);

    // The FTP window, nullptr while none is open.
    ui::Form* window() const { return *window_; }

    std::string configPath() const;

private:
    void openWindow();

    FtpServices& s_;
    std::unique_ptr<platform::HeldFile> config_;
    // Clicks on 保存选择框 so far; a save waits for the newest one only.
    unsigned saveClicks_ = 0;
    // False once the bound main window is gone.
    std::shared_ptr<bool> mainAlive_ = std::make_shared<bool>(true);
    // Shared with the window's Destroyed handler, which may run after the
    // client has gone.
    std::shared_ptr<ui::Form*> window_ = std::make_shared<ui::Form*>(nullptr);
    // False once the client has gone (the services may go with it).
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The FTP window's handlers over an already created window. bindFtpWindow
// binds every event; startFtpWindow runs the window's start (drive, local
// list, server root, server list, focus).
void bindFtpWindow(ui::Form& w, FtpServices& s);
void startFtpWindow(ui::Form& w, FtpServices& s);

// The lists and the operations, also called from the events.
void listRemote(ui::Form& w, platform::Ftp& ftp);
void listLocal(ui::Form& w, platform::LocalDisk& disk);
void changeDrive(ui::Form& w, platform::LocalDisk& disk);
void openLocal(ui::Form& w, platform::LocalDisk& disk);
void openRemote(ui::Form& w, platform::Ftp& ftp);
void download(ui::Form& w, FtpServices& s);
void upload(ui::Form& w, FtpServices& s);
void deleteFile(ui::Form& w, FtpServices& s);
void deleteDirectory(ui::Form& w, FtpServices& s);
void newDirectory(ui::Form& w, FtpServices& s);
// End of an in-place edit of a server item: true keeps the new title.
bool renameEntry(ui::Form& w, FtpServices& s, int index, std::string_view newTitle);
void disconnect(ui::Form& w, platform::Ftp& ftp);

}  // namespace ftp

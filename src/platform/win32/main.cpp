// Program entry: the platform services, the application and the message
// loop. The exit routine is the end of this function: the application and
// its program-wide state are released once the last window has closed.
#include <windows.h>

#include <memory>

#include "ftp/client.h"
#include "platform/win32/ftp_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_form.h"
#include "shell/app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    win32::Win32Windows windows;
    win32::Win32Runner runner;
    win32::Win32Dialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    shell::Services services{windows, runner, dialogs, system, files, shellOpen};
    // The FTP client lives as long as the program: its connection closes
    // after the last window.
    win32::Win32Ftp ftpConnection;
    win32::Win32LocalDisk disk;
    win32::Win32Pause pause(windows);
    ftp::FtpServices ftpServices{windows, dialogs, system, files, ftpConnection, disk, pause};
    ftp::FtpClient ftpClient(ftpServices);

    int code = 0;
    {
        auto app = std::make_unique<shell::App>(services);
        app->steps().bindLoginPanel = [&ftpClient](ui::Form& main) { ftpClient.bindLoginPanel(main); };
        app->steps().loadSavedLogin = [&ftpClient](ui::Form& main) { ftpClient.loadSavedLogin(main); };
        app->openMainWindow();
        code = windows.run();
    }
    return code;
}

// Opens the FTP window the way a login from the main window does, against
// the FTP fixture, shows a local folder in it, and writes a picture of the
// window as the screen shows it (a 24-bit BMP) once both lists are filled.
//
//   ftp_show <port> <user> <password> <local folder> <bmp file>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "ftp/client.h"
#include "platform/win32/ftp_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "window_bmp.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);

    win32::Win32Windows windows;
    win32::Win32Dialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Ftp ftp;
    win32::Win32LocalDisk disk;
    win32::Win32Pause pause(windows);
    ftp::FtpServices services{windows, dialogs, system, files, ftp, disk, pause};
    ftp::FtpClient client(services);

    ui::Form* main = windows.create(layouts::mainWindow());
    main->setText("地址编辑框", "127.0.0.1");
    main->setText("端口编辑框", win32::narrow(argv[1]));
    main->setText("用户编辑框", win32::narrow(argv[2]));
    main->setText("密码编辑框", win32::narrow(argv[3]));
    client.login(*main);
    auto* w = static_cast<win32::Win32Form*>(client.window());
    if (!w) {
        std::printf("login failed\n");
        return 1;
    }
    disk.setCurrentDirectory(win32::narrow(argv[4]));
    ftp::listLocal(*w, disk);
    w->setSelection("远程文件框", 1);
    SetWindowPos(w->hwnd(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
    windows.pump();
    // Let it draw, then copy the window as the screen shows it.
    for (int i = 0; i < 75; ++i) {
        windows.pump();
        Sleep(20);
    }
    return writeWindowBmp(w->hwnd(), argv[5]) ? 0 : 1;
}

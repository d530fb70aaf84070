// Program entry: the platform services, the application and the message
// loop. The exit routine is the end of this function: the application and
// its program-wide state are released once the last window has closed.
#include <windows.h>
#include <ole2.h>

#include <memory>

#include "adapter/confirm_window.h"
#include "app/apply_verb_main.h"
#include "platform/win32/adapter_win32.h"
#include "platform/win32/browser_win32.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/confirm_win32.h"
#include "platform/win32/dns_win32.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/http_win32.h"
#include "ftp/client.h"
#include "platform/win32/ftp_win32.h"
#include "platform/win32/taskbar_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/skin_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/update_win32.h"
#include "update_key.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "shell/app.h"
#include "shell/skin.h"
#include "shell/web_startup.h"
#include "update/updater.h"

namespace {

int run(HANDLE self) {
    win32::Win32Windows windows;
    win32::Win32Runner runner;
    win32::Win32Dialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    win32::Win32Registry registry;
    win32::Win32HttpGet httpGet;
    win32::Win32HttpTransport httpTransport([&windows] { windows.pump(); });
    shell::Services services{windows, runner, dialogs, system, files, shellOpen, registry, httpGet, httpTransport};
    win32::Win32Clipboard clipboard;
    win32::Win32Browsers browsers;
    services.clipboard = &clipboard;
    services.browsers = &browsers;
    // Elevation starts the very file this process holds, or is not offered.
    win32::Win32Elevation elevation(self);
    win32::Win32Devices devices;
    services.elevation = &elevation;
    services.devices = &devices;
    win32::Win32Udp udp;
    services.udp = &udp;
    win32::Win32ApplyLock applyLock;
    services.applyLock = &applyLock;
    // Before the application: its workers are waited for, and what they
    // posted is dropped, only after the application has gone.
    win32::Win32Tasks tasks;
    services.tasks = &tasks;
    win32::Win32Skin skinLibrary;
    shell::SkinFiles skin{skinLibrary, files, system};
    // The maker's public key, built in (see cmake/embed_key.py), and the
    // clock whose date the statement's expiry is checked against. Declared
    // before the downloader: a worker it leaves behind may still check.
    win32::Win32SignatureCheck signatures(keys::kUpdateKey);
    win32::Win32Clock clock;
    win32::Win32Downloader downloader;
    win32::Win32Desktop desktop;
    // The remote-safe adapter apply's session, clock and question's place.
    win32::Win32Session session;
    services.session = &session;
    services.clock = &clock;
    services.placeQuestion = win32::placeOverForm;
    // The DNS test's window's place (its datagrams are declared before the
    // workers, so a worker still winding down never outlives them).
    services.placeDns = win32::placeOverForm;
    win32::Win32FileSizes fileSizes;
    win32::Win32Process process;
    // Progress on the taskbar buttons of the update and the FTP window.
    win32::Win32Taskbar taskbar;
    update::UpdateServices updateServices{windows, dialogs,   shellOpen, downloader, desktop,
                                          clock,   fileSizes, files,     process,    signatures, clock, &taskbar};
    // The FTP client lives as long as the program: its connection closes
    // after the last window.
    win32::Win32Ftp ftpConnection(&windows);
    win32::Win32LocalDisk disk;
    win32::Win32Pause pause(windows);
    ftp::FtpServices ftpServices{windows, dialogs, system, files, ftpConnection, disk, pause, &taskbar};
    ftp::FtpClient ftpClient(ftpServices);

    int code = 0;
    {
        auto app = std::make_unique<shell::App>(services);
        auto& steps = app->steps();
        steps.attachSkin = [&](ui::Form&) { skin.attach(); };
        steps.effectMenu = [&](ui::Form& main) { skin.switchEffect(main, layouts::kMenuEffect); };
        steps.destroyed = [&](ui::Form&) { skin.remove(); };
        shell::WebStartup web(httpGet, app->state().http, dialogs);
        web.bind(app->steps());
        update::UpdateHooks updateHooks{
            [&httpGet](std::string_view url) { return httpGet.get(url); },
            [&app, &files] { tools::cleanUpScratch(files, app->state().scratch); },
            [&app](std::function<void()> then) { app->state().apply.whenDone(std::move(then)); }};
        update::Updater updater(updateServices, app->state().download, updateHooks);
        steps.updateMenu = [&](ui::Form& main) { updater.checkFromMenu(main); };
        app->steps().bindLoginPanel = [&ftpClient](ui::Form& main) { ftpClient.bindLoginPanel(main); };
        app->steps().loadSavedLogin = [&ftpClient](ui::Form& main) { ftpClient.loadSavedLogin(main); };
        app->openMainWindow();
        code = windows.run();
    }
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything is loaded by name: system libraries come from the
    // system folder only.
    win32::restrictDllSearchToSystemFolder();
    // The program that asks for elevation is the one running: its file can
    // be neither renamed nor replaced until the process ends. Without the
    // hold no elevation is offered.
    const win32::UniqueHandle self = win32::holdOwnExecutable();
    // The elevated instance of the adapter apply: no window, no skin files;
    // it ends when the apply ends.
    if (const auto code = app::runApplyVerb(GetCommandLineW())) return *code;
    // The user-interface thread is a single-threaded apartment: the shell
    // and the embedded browser expect it.
    OleInitialize(nullptr);
    int code = run(self.get());
    OleUninitialize();
    return code;
}

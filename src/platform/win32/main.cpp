// Program entry: the platform services, the application and the message
// loop. The exit routine is the end of this function: the application and
// its program-wide state are released once the last window has closed.
#include <windows.h>

#include <memory>

#include "platform/win32/platform_win32.h"
#include "platform/win32/skin_win32.h"
#include "platform/win32/update_win32.h"
#include "platform/win32/win32_form.h"
#include "resources/layouts.h"
#include "shell/app.h"
#include "shell/skin.h"
#include "update/updater.h"

namespace {

// Hooks of the update that other subsystems fill; the merge connects them.
// The shared HTTP GET of the web services (body bytes, "" on failure):
// until it is connected the version page cannot be fetched, and the menu
// check says the update server cannot be reached.
std::string updateHttpGetHook(std::string_view /*url*/) { return {}; }
// The console runner's scratch clean-up (C:\dos.txt, C:\dos.bat, only
// when the tool wrote them).
void scratchCleanupHook() {}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    win32::Win32Windows windows;
    win32::Win32Runner runner;
    win32::Win32Dialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    shell::Services services{windows, runner, dialogs, system, files, shellOpen};
    win32::Win32Skin skinLibrary;
    shell::SkinFiles skin{skinLibrary, files, system};
    win32::Win32Downloader downloader;
    win32::Win32Desktop desktop;
    win32::Win32Clock clock;
    win32::Win32FileSizes fileSizes;
    win32::Win32Process process;
    update::UpdateServices updateServices{windows, dialogs,   shellOpen, downloader, desktop,
                                          clock,   fileSizes, files,     process};

    int code = 0;
    {
        auto app = std::make_unique<shell::App>(services);
        auto& steps = app->steps();
        steps.attachSkin = [&](ui::Form&) { skin.attach(); };
        steps.effectMenu = [&](ui::Form& main) { skin.switchEffect(main, layouts::kMenuEffect); };
        steps.destroyed = [&](ui::Form&) { skin.remove(); };
        update::Updater updater(updateServices, app->state().download, {updateHttpGetHook, scratchCleanupHook});
        steps.updateMenu = [&](ui::Form& main) { updater.checkFromMenu(main); };
        app->openMainWindow();
        code = windows.run();
    }
    return code;
}

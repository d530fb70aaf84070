// Program entry: the platform services, the application and the message
// loop. The exit routine is the end of this function: the application and
// its program-wide state are released once the last window has closed.
#include <windows.h>

#include <memory>

#include "platform/win32/http_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_form.h"
#include "shell/app.h"
#include "shell/web_startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    win32::Win32Windows windows;
    win32::Win32Runner runner;
    win32::Win32Dialogs dialogs;
    win32::Win32System system;
    win32::Win32Files files;
    win32::Win32Shell shellOpen;
    win32::Win32HttpGet httpGet;
    win32::Win32HttpTransport httpTransport([&windows] { windows.pump(); });
    shell::Services services{windows, runner, dialogs, system, files, shellOpen, httpGet, httpTransport};

    int code = 0;
    {
        auto app = std::make_unique<shell::App>(services);
        shell::WebStartup web(httpGet, app->state().http, dialogs);
        web.bind(app->steps());
        app->openMainWindow();
        code = windows.run();
    }
    return code;
}

// The platform services handed to the handlers. Owned by the program's entry
// point (real ones) or by a test (doubles); handlers only hold references.
#pragma once

#include <functional>

#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/clipboard.h"
#include "platform/apply_lock.h"
#include "platform/devices.h"
#include "platform/dialogs.h"
#include "platform/elevation.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/http.h"
#include "platform/runner.h"
#include "platform/session.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/tasks.h"
#include "platform/udp.h"
#include "ui/windows.h"

namespace shell {

struct Services {
    ui::Windows& windows;
    platform::Runner& runner;
    platform::Dialogs& dialogs;
    platform::System& system;
    platform::Files& files;
    platform::Shell& shell;
    platform::Registry& registry;
    platform::HttpGet& httpGet;              // the shared GET of the service pages
    platform::HttpTransport& httpTransport;  // under HTTP类
    // Set after construction; a feature whose service is absent stays inert
    // (the runner's copy button, the whois browser).
    platform::Clipboard* clipboard = nullptr;
    platform::Browsers* browsers = nullptr;
    // The adapter apply: without them it runs in-process and restarts only
    // through devcon.
    platform::Elevation* elevation = nullptr;
    platform::Devices* devices = nullptr;
    platform::ApplyLock* applyLock = nullptr;   // the adapter apply's machine-wide lock
    // Workers and timers of the UI thread; without it the adapter apply runs
    // on the UI thread.
    platform::Tasks* tasks = nullptr;
    // The remote-safe adapter apply: without a session and a clock it never
    // asks. placeQuestion puts the question over the main window.
    platform::Session* session = nullptr;
    platform::Clock* clock = nullptr;
    std::function<void(ui::Form& question, ui::Form& owner)> placeQuestion = {};
    // The DNS test's datagrams; without them the test reports no network.
    // placeDns puts its window over the main window.
    platform::Udp* udp = nullptr;
    std::function<void(ui::Form& window, ui::Form& owner)> placeDns = {};
};

}  // namespace shell

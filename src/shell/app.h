// The application: program-wide state, the main window, its start-up and
// close sequences and its menu. The subsystems plug their steps into the
// start-up sequence through StartupSteps; a step left empty is skipped.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "adapter/panel.h"
#include "adapter/settings.h"
#include "dns/window.h"
#include "http/http_class.h"
#include "shell/about.h"
#include "shell/services.h"
#include "tools/console_runner.h"
#include "ui/form.h"
#include "update/record.h"

namespace shell {

// Program-wide state: created once before the main window opens and
// released by the exit routine (App's destructor) after the last window
// has closed. The subsystems add their records here.
struct ProgramState {
    explicit ProgramState(Services& services) : http(services.httpTransport) {}
    http::HTTP类 http;   // the one request object of the run
    tools::ScratchRecord scratch;   // scratch files the console runner wrote
    adapter::AdapterLists adapters;   // 网卡描述表, 网卡实例表, driver keys
    adapter::ApplyState apply;        // a running adapter apply and what waits for it
    update::DownloadRecord download;   // the update's download settings
};

using FormStep = std::function<void(ui::Form&)>;

// The steps of the main window's start-up sequence, in the order they run,
// and the handlers of its close sequence and menu. Empty ones are skipped.
struct StartupSteps {
    FormStep fetchServerTexts;                         // 3: version, switch, announcement
    FormStep attachSkin;                               // 4
    FormStep setUpTicker;                              // 5
    std::function<std::string()> publicIpLookup;       // 6: caption of 标签1
    FormStep locationLookup;                           // 7
    FormStep refreshAdapters;                          // 9
    FormStep loadSavedLogin;                           // 10, only when Config.ini exists
    FormStep bindLoginPanel;  // binds the FTP login panel's handlers when the main window is built
    FormStep startupNotices;                           // 11, the last step

    FormStep canClose;        // close: before the window may close (never refuses)
    FormStep destroyed;       // close: window being destroyed
    FormStep effectMenu;      // menu "开启特效" / "关闭特效"
    FormStep updateMenu;      // menu "检测更新"
};

class App {
public:
    explicit App(Services& services);
    ~App();   // the exit routine: releases the program-wide state

    StartupSteps& steps() { return steps_; }
    ProgramState& state() { return *state_; }

    // Creates the main window, binds its handlers, runs the start-up sequence
    // and shows the window. Returns the main window (valid until destroyed).
    ui::Form* openMainWindow();

    // The start-up sequence over an already created main window; the window
    // is made visible when it returns.
    void runStartup(ui::Form& main);

    // The modal splash: returns once it has been clicked or has lost the focus.
    void showSplash();

    ui::Form* mainWindow() const { return main_; }
    AboutWindow& about() { return about_; }
    dns::DnsTest& dnsTest() { return *dns_; }

    // The DNS test's rows: the selected adapter's own servers, the presets'
    // and the public table (KORVAN_DNS_SERVERS replaces it).
    std::vector<dns::Server> dnsServers(const ui::Form& main);

private:
    void bindMainHandlers(ui::Form& main);

    Services& services_;
    std::unique_ptr<ProgramState> state_;
    StartupSteps steps_;
    AboutWindow about_;
    ui::Form* main_ = nullptr;
    std::unique_ptr<dns::DnsTest> dns_;
};

// The longest computer name the tool shows.
inline constexpr size_t kMaxHostNameChars = 255;

// Cuts a UTF-8 text to at most `maxChars` characters.
std::string truncateChars(std::string_view utf8, size_t maxChars);

}  // namespace shell

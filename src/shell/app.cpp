#include "shell/app.h"

#include "common/config.h"
#include "adapter/panel.h"
#include "adapter/settings.h"
#include "dns/servers.h"
#include "resources/layouts.h"
#include "tools/console_runner.h"
#include "tools/launchers.h"
#include "tools/whois.h"

#include <cstdlib>

namespace shell {

namespace {
constexpr int kStartWidth = 563;
constexpr int kStartHeight = 543;
}  // namespace

std::string truncateChars(std::string_view utf8, size_t maxChars) {
    size_t chars = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) != 0x80) {   // a character starts here
            if (chars == maxChars) return std::string(utf8.substr(0, i));
            ++chars;
        }
    }
    return std::string(utf8);
}

App::App(Services& services)
    : services_(services), state_(std::make_unique<ProgramState>(services)), about_(services) {
    // Closing the main window removes the console runner's scratch files.
    steps_.canClose = [this](ui::Form&) { tools::cleanUpScratch(services_.files, state_->scratch); };
    steps_.refreshAdapters = [this](ui::Form& main) {
        adapter::刷新网卡列表(main, state_->adapters, services_.registry);
    };
    dns::DnsServices dnsServices;
    dnsServices.udp = services_.udp;
    dnsServices.tasks = services_.tasks;
    dnsServices.clipboard = services_.clipboard;
    dnsServices.applyRunning = [this] { return state_ && state_->apply.running; };
    dnsServices.fill = [this](bool alternate, std::string_view address) {
        if (main_) adapter::fillDnsField(*main_, alternate, address);
    };
    dnsServices.ownerShown = [this] { return main_ && main_->visible(""); };
    dns_ = std::make_unique<dns::DnsTest>(services_.windows, std::move(dnsServices), services_.placeDns);
}

std::vector<dns::Server> App::dnsServers(const ui::Form& main) {
    const char* given = std::getenv("KORVAN_DNS_SERVERS");
    std::vector<dns::Server> own;
    const int k = adapter::selectedAdapter(main, state_->adapters);
    if (k > 0 && !(given && *given)) {
        const auto texts = adapter::nameServerTexts(services_.registry, state_->adapters.网卡实例表[k - 1]);
        own = dns::adapterServers(texts.nameServer, texts.dhcpNameServer);
    }
    return dns::testRows(own, given);
}

App::~App() {
    dns_.reset();
    state_.reset();
}

ui::Form* App::openMainWindow() {
    main_ = services_.windows.create(layouts::mainWindow());
    bindMainHandlers(*main_);
    runStartup(*main_);
    return main_;
}

void App::bindMainHandlers(ui::Form& main) {
    using ui::Event;
    using ui::EventArgs;
    tools::bindLaunchers(main, services_.runner);
    tools::bindConsoleRunner(main, services_.runner, services_.files, services_.clipboard, state_->scratch);
    std::shared_ptr<platform::Browser> browser;
    if (services_.browsers) browser = services_.browsers->attach(main, "超文本浏览框1");
    tools::bindWhois(main, services_.dialogs, std::move(browser), config::whoisBase());
    adapter::PanelServices panel{services_.registry, services_.runner,  services_.dialogs,
                                 services_.elevation, services_.devices, services_.tasks};
    panel.lock = services_.applyLock;
    panel.session = services_.session;
    panel.windows = &services_.windows;
    panel.clock = services_.clock;
    panel.placeQuestion = services_.placeQuestion;
    adapter::bindAdapterPanel(main, state_->adapters, panel, &state_->apply);
    if (steps_.bindLoginPanel) steps_.bindLoginPanel(main);

    main.on(layouts::kMenuAbout, Event::Click, [this](EventArgs&) { about_.open(); });
    main.on(layouts::kMenuEffect, Event::Click, [this](EventArgs&) {
        if (steps_.effectMenu && main_) steps_.effectMenu(*main_);
    });
    main.on(layouts::kMenuDns, Event::Click, [this](EventArgs&) {
        if (!main_) return;
        // The rows are made only when the window opens; an open one comes to the front.
        if (ui::Form* open = dns_->form()) open->bringToFront();
        else dns_->open(*main_, dnsServers(*main_));
    });
    main.on(layouts::kMenuUpdate, Event::Click, [this](EventArgs&) {
        if (steps_.updateMenu && main_) steps_.updateMenu(*main_);
    });

    // Close sequence: the can-close step never refuses; a close held by
    // the adapter apply (bound before) comes back once the apply is done.
    main.on("", Event::CanClose, [this](EventArgs& e) {
        if (!e.accept) return;
        if (steps_.canClose && main_) steps_.canClose(*main_);
    });
    main.on("", Event::Destroyed, [this](EventArgs&) {
        if (steps_.destroyed && main_) steps_.destroyed(*main_);
        main_ = nullptr;
    });
}

void App::showSplash() {
    ui::Form* splash = services_.windows.create(layouts::splash());
    // Closes on the first left click inside it and as soon as it loses the
    // focus; each closes it once.
    auto close = [splash](ui::EventArgs&) { splash->close(); };
    splash->on("", ui::Event::MouseDown, close);
    splash->on("图片框1", ui::Event::MouseDown, close);
    splash->on("", ui::Event::Deactivated, close);
    services_.windows.runModal(*splash);
}

void App::runStartup(ui::Form& main) {
    // 1. The splash, modal.
    showSplash();

    // 2. Hidden, at the start-up size (the whois panel lies beyond the edge).
    main.setVisible("", false);
    ui::Rect r = main.rect("");
    main.setRect("", {r.left, r.top, kStartWidth, kStartHeight});

    // 3.-5. Server texts, skin, ticker.
    if (steps_.fetchServerTexts) steps_.fetchServerTexts(main);
    if (steps_.attachSkin) steps_.attachSkin(main);
    if (steps_.setUpTicker) steps_.setUpTicker(main);

    // 6.-7. Public address and its location.
    if (steps_.publicIpLookup) main.setText("标签1", steps_.publicIpLookup());
    if (steps_.locationLookup) steps_.locationLookup(main);

    // 8. Computer name.
    main.setText("计算机名_编辑框", truncateChars(services_.system.hostName(), kMaxHostNameChars));

    // 9. Adapters.
    if (steps_.refreshAdapters) steps_.refreshAdapters(main);

    // 10. The remembered FTP login.
    if (services_.files.exists(services_.system.programDirectory() + "\\Config.ini")) {
        if (steps_.loadSavedLogin) steps_.loadSavedLogin(main);
        main.setChecked("保存选择框", true);
    }

    // 11. Version or start-up notice; then the window shows.
    if (steps_.startupNotices) steps_.startupNotices(main);
    main.setVisible("", true);
}

}  // namespace shell

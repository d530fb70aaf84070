// The web part of the main window's start-up: the server texts, the
// ticker, the public address and its location, the start-up notice.
//
// What the user sees, and in which order, is that of fetching one page
// after another; but the independent pages are all asked for at once when
// the server texts are fetched, and the notice page (only when the notice
// is due) goes out as soon as the version and switch pages have settled
// that, before the ticker is set up. Each fetch ends within its deadline.
// The location request is always sent, also when the address page failed:
// the service then answers for the empty address.
#pragma once

#include <memory>
#include <string>

#include "http/http_class.h"
#include "platform/dialogs.h"
#include "platform/http.h"
#include "shell/app.h"

namespace shell {

class WebStartup {
public:
    WebStartup(platform::HttpGet& get, http::HTTP类& client, platform::Dialogs& dialogs);
    ~WebStartup();

    // Fills the web steps of the start-up sequence. The object must outlive
    // the start-up sequence.
    void bind(StartupSteps& steps);

    // The steps themselves.
    void fetchServerTexts(ui::Form& main);
    void setUpTicker(ui::Form& main);
    std::string publicIpLookup();
    void locationLookup(ui::Form& main);
    void startupNotices(ui::Form& main);

private:
    std::string take(std::unique_ptr<platform::PendingGet>& pending);

    platform::HttpGet& get_;
    http::HTTP类& client_;
    platform::Dialogs& dialogs_;
    std::unique_ptr<platform::PendingGet> version_, switch_, announcement_, announcementAgain_, address_, notice_;
};

}  // namespace shell

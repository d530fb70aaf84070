#include "shell/web_startup.h"

#include "common/config.h"
#include "lookup/public_ip.h"
#include "platform/codec.h"
#include "common/gbktext.h"
#include "shell/announcements.h"

namespace shell {

WebStartup::WebStartup(platform::HttpGet& get, http::HTTP类& client, platform::Dialogs& dialogs)
    : get_(get), client_(client), dialogs_(dialogs) {}

WebStartup::~WebStartup() = default;

void WebStartup::bind(StartupSteps& steps) {
    steps.fetchServerTexts = [this](ui::Form& f) { fetchServerTexts(f); };
    steps.setUpTicker = [this](ui::Form& f) { setUpTicker(f); };
    steps.publicIpLookup = [this] { return publicIpLookup(); };
    steps.locationLookup = [this](ui::Form& f) { locationLookup(f); };
    steps.startupNotices = [this](ui::Form& f) { startupNotices(f); };
}

std::string WebStartup::take(std::unique_ptr<platform::PendingGet>& pending) {
    if (!pending) return {};
    platform::Fetched f = pending->take();
    pending.reset();
    return f.end == platform::FetchEnd::Complete ? std::move(f.body) : std::string();
}

void WebStartup::fetchServerTexts(ui::Form& main) {
    const std::string update = config::updateBase();
    version_ = get_.start(update + std::string(kVersionPage));
    switch_ = get_.start(update + std::string(kSwitchPage));
    announcement_ = get_.start(update + std::string(kAnnouncementPage));
    // The ticker asks for the announcement a second time when the first
    // brought one; that request goes out now too.
    announcementAgain_ = get_.start(update + std::string(kAnnouncementPage));
    address_ = get_.start(config::ipLookupBase() + std::string(lookup::kAddressPage));

    const std::string version = pageText(take(version_));
    const std::string noticeSwitch = pageText(take(switch_));
    const std::string announcement = pageText(take(announcement_));
    storeServerTexts(main, version, noticeSwitch, announcement);
    if (noticeFor(version, noticeSwitch) == Notice::StartupText)
        notice_ = get_.start(update + std::string(kNoticePage));
}

void WebStartup::setUpTicker(ui::Form& main) {
    shell::setUpTicker(main, [this] { return pageText(take(announcementAgain_)); });
    announcementAgain_.reset();
}

std::string WebStartup::publicIpLookup() {
    if (!address_) address_ = get_.start(config::ipLookupBase() + std::string(lookup::kAddressPage));
    platform::Fetched f = address_->take();
    address_.reset();
    const std::string page = f.end == platform::FetchEnd::Complete ? f.body : std::string();
    return codec::gbkToUtf8(lookup::scrapeAddress(gbk::bytesToText(page)));
}

void WebStartup::locationLookup(ui::Form& main) {
    std::string headers;
    const std::string body = lookup::locationBody(codec::utf8ToGbk(main.text("标签1")));
    const std::string page =
        client_.访问网页(config::ipLookupBase() + std::string(lookup::kLocationPage), "POST", "", headers, body);
    lookup::showLocation(main, gbk::bytesToText(page));
}

void WebStartup::startupNotices(ui::Form& main) {
    showStartupNotice(main, dialogs_, [this] {
        if (!notice_) notice_ = get_.start(config::updateBase() + std::string(kNoticePage));
        return pageText(take(notice_));
    });
    notice_.reset();
}

}  // namespace shell

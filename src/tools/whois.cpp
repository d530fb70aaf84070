#include "tools/whois.h"

namespace tools {

namespace {

constexpr std::string_view kToggle = "按钮4";
constexpr std::string_view kDomainBox = "编辑框6";

// Exactly the narrow size opens the panel; any other size (the wide one, or
// one the window got some other way) is taken as open and brought back to
// the narrow size. The left edge stays where it is.
void toggle(ui::Form& f) {
    const ui::Rect r = f.rect("");
    if (r.width == kPanelHidden.width && r.height == kPanelHidden.height) {
        f.setRect("", {r.left, r.top, kPanelShown.width, kPanelShown.height});
        f.setText(kToggle, kCloseCaption);
    } else {
        f.setRect("", {r.left, r.top, kPanelHidden.width, kPanelHidden.height});
        f.setText(kToggle, kOpenCaption);
    }
}

void lookup(ui::Form& f, platform::Dialogs& dialogs, platform::Browser* browser, const std::string& base) {
    const std::string domain = f.text(kDomainBox);
    if (domain.empty()) {
        dialogs.messageBox({.text = kNeedDomain, .title = "提示", .icon = platform::Icon::Information,
                            .buttons = platform::Buttons::Ok});
        f.focus(kDomainBox);
        return;
    }
    if (!browser) return;
    browser->navigate(whoisAddress(base, domain));
    browser->setTop(kResultTop);
}

}  // namespace

std::string whoisAddress(std::string_view base, std::string_view domain) {
    std::string out(base);
    out += domain;
    return out;
}

void bindWhois(ui::Form& f, platform::Dialogs& dialogs, std::shared_ptr<platform::Browser> browser, std::string base) {
    using ui::EventArgs;
    f.on(kToggle, ui::Event::Click, [&f](EventArgs&) { toggle(f); });
    f.on("按钮5", ui::Event::Click, [&f, &dialogs, browser, base](EventArgs&) { lookup(f, dialogs, browser.get(), base); });
}

}  // namespace tools

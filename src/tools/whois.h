// The whois panel: 按钮4 widens the main window to reveal the panel at its
// right and narrows it again; 按钮5 sends the domain typed into 编辑框6 to
// the web whois service and shows the result page in the embedded browser,
// placed so that only the part of the page with the record shows through
// its frame 分组框9.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/browser.h"
#include "platform/dialogs.h"
#include "ui/form.h"

namespace tools {

// Outer sizes of the main window. The narrow one is the size the window
// opens with, so the first press after start-up opens the panel.
inline constexpr ui::Size kPanelHidden{563, 543};
inline constexpr ui::Size kPanelShown{916, 555};

inline constexpr std::string_view kOpenCaption = "域名whois查询";
inline constexpr std::string_view kCloseCaption = "关闭查询";
inline constexpr std::string_view kNeedDomain = "请输入正确的域名后再查询!";

// The browser's top within its frame once a page has been asked for.
inline constexpr int kResultTop = -280;

// The lookup address: the service's base (it ends with "/") followed by the
// domain exactly as typed.
std::string whoisAddress(std::string_view base, std::string_view domain);

// Binds 按钮4 and 按钮5. `browser` may be null (no browser service): the
// lookup then only checks its input. `base` is the whois service's base
// address.
void bindWhois(ui::Form& main, platform::Dialogs& dialogs, std::shared_ptr<platform::Browser> browser,
               std::string base);

}  // namespace tools

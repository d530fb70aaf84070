// The maker's server texts, the announcement ticker and the start-up
// notices of the main window.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "ui/form.h"

namespace shell {

// Pages of the update server.
inline constexpr std::string_view kVersionPage = "/e/md5.htm";
inline constexpr std::string_view kSwitchPage = "/e/cc.htm";
inline constexpr std::string_view kAnnouncementPage = "/e/gg.htm";
inline constexpr std::string_view kNoticePage = "/e/tt.htm";

inline constexpr std::string_view kNewVersionText = "已经有新的版本发布，请点击【检测更新】下载新的版本使用！";
inline constexpr std::string_view kNoticeTitle = "系统提示";
inline constexpr int kTickerPeriodMs = 20;
inline constexpr ui::Colour kTickerColour = 0xFF0000;   // blue

// Shown when the server has no announcement.
std::string fallbackAnnouncement();

// A page body as the text the tool keeps: bytes up to the first zero,
// GBK decoded, nothing trimmed.
std::string pageText(std::string_view bodyGbk);

// Ticker arithmetic. One byte of the announcement (GBK) counts `unit`
// pixels, half the height of a measured "A"; the label's width is the
// truncated product.
float tickerUnit(int measuredHeightOfA);
int tickerWidth(float unit, std::string_view captionUtf8);
// The label's left edge after one tick: back to the strip's width once the
// text has wholly left the strip, then one pixel to the left.
int nextTickerLeft(int left, int width, int stripWidth);
// The left edge after `ticks` ticks, the same as that many nextTickerLeft
// steps but without walking them: after a long rest (the clock stops while
// nobody can see the strip) the text is where it would have been.
int advanceTickerLeft(int left, int width, int stripWidth, long long ticks);

enum class Notice { None, NewVersion, StartupText };
// What start-up shows for the version text and the notice switch. A version
// text other than "1.1" is a new version, except an empty one: that is a
// failed fetch, and the switch decides as if the version were current.
Notice noticeFor(std::string_view version, std::string_view noticeSwitch);

// Writes the three server texts into 编辑框4, 编辑框5 and 标签11, in that order.
void storeServerTexts(ui::Form& main, std::string_view version, std::string_view noticeSwitch,
                      std::string_view announcement);

// Settles the announcement (the fallback when empty, else what
// `fetchAgain` brings), sizes and places 标签11, starts 时钟1 and binds
// its tick. Called once.
void setUpTicker(ui::Form& main, const std::function<std::string()>& fetchAgain);

// The version or start-up notice, task-modal. `fetchNotice` is called only
// when the start-up notice is due.
void showStartupNotice(ui::Form& main, platform::Dialogs& dialogs, const std::function<std::string()>& fetchNotice);

}  // namespace shell

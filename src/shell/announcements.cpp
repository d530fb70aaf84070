#include "shell/announcements.h"

#include <algorithm>
#include <climits>

#include "common/config.h"
#include "common/gbktext.h"
#include "platform/codec.h"

namespace shell {

std::string fallbackAnnouncement() {
    return "暂无最新公告，更多资讯请登录我司官方网站——" + std::string(config::kMakerAddress) + "！";
}

std::string pageText(std::string_view body) { return codec::gbkToUtf8(gbk::bytesToText(body)); }

float tickerUnit(int measuredHeightOfA) { return static_cast<float>(measuredHeightOfA) / 2.0f; }

int tickerWidth(float unit, std::string_view caption) {
    const size_t bytes = codec::utf8ToGbk(caption).size();
    return static_cast<int>(unit * static_cast<float>(bytes));
}

int nextTickerLeft(int left, int width, int stripWidth) {
    if (left + width == 0) left = stripWidth;
    return left - 1;
}

int advanceTickerLeft(int left, int width, int stripWidth, long long ticks) {
    // Once the text has gone round, the left edge runs from stripWidth - 1
    // down to -width and starts again: a cycle of stripWidth + width ticks.
    const auto onCycle = [&] { return left <= stripWidth - 1 && left >= -width; };
    while (ticks > 0 && !onCycle()) {
        if (left < -width) return static_cast<int>(std::max<long long>(left - ticks, INT_MIN));   // never wraps
        left = nextTickerLeft(left, width, stripWidth);
        --ticks;
    }
    if (ticks <= 0) return left;
    const long long cycle = static_cast<long long>(stripWidth) + width;
    const long long step = (static_cast<long long>(stripWidth) - 1 - left + ticks) % cycle;
    return static_cast<int>(stripWidth - 1 - step);
}

Notice noticeFor(std::string_view version, std::string_view noticeSwitch) {
    if (!version.empty() && version != config::kVersion) return Notice::NewVersion;
    return noticeSwitch == "1" ? Notice::StartupText : Notice::None;
}

void storeServerTexts(ui::Form& main, std::string_view version, std::string_view noticeSwitch,
                      std::string_view announcement) {
    main.setText("编辑框4", version);
    main.setText("编辑框5", noticeSwitch);
    main.setText("标签11", announcement);
}

void setUpTicker(ui::Form& main, const std::function<std::string()>& fetchAgain) {
    if (main.text("标签11").empty()) main.setText("标签11", fallbackAnnouncement());
    else main.setText("标签11", fetchAgain());

    main.setFont("画板1", main.font("标签1"));
    const float unit = tickerUnit(main.measureText("画板1", "A").height);
    const int strip = main.rect("画板1").width;
    ui::Rect r = main.rect("标签11");
    r.width = tickerWidth(unit, main.text("标签11"));
    r.left = strip;
    main.setRect("标签11", r);
    main.setTextColour("标签11", kTickerColour);

    // One pixel a tick; a tick after the clock rested counts every period
    // that went by.
    main.on("时钟1", ui::Event::Tick, [&main](ui::EventArgs& e) {
        ui::Rect now = main.rect("标签11");
        now.left = advanceTickerLeft(now.left, now.width, main.rect("画板1").width, std::max(e.code, 1));
        main.setRect("标签11", now);
    });
    main.setTimerPeriod("时钟1", kTickerPeriodMs);
}

void showStartupNotice(ui::Form& main, platform::Dialogs& dialogs, const std::function<std::string()>& fetchNotice) {
    switch (noticeFor(main.text("编辑框4"), main.text("编辑框5"))) {
    case Notice::NewVersion:
        dialogs.messageBox({kNewVersionText, kNoticeTitle, platform::Icon::Information, platform::Buttons::Ok});
        break;
    case Notice::StartupText: {
        const std::string text = fetchNotice();
        dialogs.messageBox({text, kNoticeTitle, platform::Icon::Information, platform::Buttons::Ok});
        break;
    }
    case Notice::None:
        break;
    }
}

}  // namespace shell

// The version check of the menu item "检测更新", and the update window it
// opens when the server has another version.
#pragma once

#include <string_view>

#include "ui/form.h"
#include "update/update_window.h"

namespace update {

inline constexpr std::string_view kVersionPath = "/e/md5.htm";
inline constexpr std::string_view kNoUpdate = "当前没有新的版本，无需更新!";
inline constexpr std::string_view kNewVersion = "发现新的版本，单击确定进入自动更新！";
inline constexpr std::string_view kUnreachable = "无法连接更新服务器，请稍后再试！";
inline constexpr std::string_view kNoticeTitle = "提示";

class Updater {
public:
    Updater(UpdateServices& services, DownloadRecord& record, UpdateHooks hooks)
        : services_(services), hooks_(hooks), window_(services, record, std::move(hooks)) {}

    // The menu item's handler. Fetches the version page into 编辑框4 and
    // compares it with our own version: equal, nothing to do; empty (the
    // page could not be fetched), the user is told and nothing else
    // happens; anything else, the update window opens and the main window
    // hides for good.
    void checkFromMenu(ui::Form& main);

    UpdateWindow& window() { return window_; }

private:
    UpdateServices& services_;
    UpdateHooks hooks_;
    UpdateWindow window_;
};

}  // namespace update

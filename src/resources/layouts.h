// The layout tables of the tool's windows.
#pragma once

#include <string_view>
#include <vector>

#include "ui/layout.h"

namespace layouts {

const ui::Layout& mainWindow();
const ui::Layout& splash();
const ui::Layout& about();
const ui::Layout& updateWindow();
const ui::Layout& ftpWindow();
// The question after an address change over a remote session.
const ui::Layout& confirmWindow();
// The DNS test.
const ui::Layout& dnsWindow();
// Every window's layout, for the checks that go over them all (names,
// keyboard order, keys): a new window is added here.
std::vector<const ui::Layout*> all();

// Bitmap resource with the four 16x15 list images: up entry, directory,
// file, and a spare.
inline constexpr std::string_view kListImages = "LISTIMAGES";

// Design-time content of the console runner's box: six lines joined by CR LF.
extern const std::string_view kRunnerHelp;
// The host box's design-time hint.
inline constexpr std::string_view kHostHint = "请不要输入http://";

// Menu item names of the main window.
inline constexpr std::string_view kMenuEffect = "特效菜单项";
inline constexpr std::string_view kMenuUpdate = "检测更新菜单项";
inline constexpr std::string_view kMenuAbout = "关于软件菜单项";
inline constexpr std::string_view kMenuDns = "DNS测速菜单项";

}  // namespace layouts

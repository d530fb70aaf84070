// The command launchers: ping, route trace, remote desktop and DNS flush,
// started for the host typed into the host box, and the host box's input
// rules.
#pragma once

#include <string>
#include <string_view>

#include "platform/runner.h"
#include "ui/form.h"

namespace tools {

// Status texts of 状态标签.
inline constexpr std::string_view kNeedHost = "提示：请输入正确的域名或IP地址！";
inline constexpr std::string_view kNeedHostRemote = "提示：请输入正确的域名或IP地址";
inline constexpr std::string_view kDnsFlushed = "提示：DNS缓存已经清除！";

// Whether a character typed into the host box is kept: ASCII letters,
// digits, "." and Backspace.
bool hostCharAllowed(int code);

// Text pasted into the host box keeps only the characters that typing
// would let through (Backspace aside), so no shell metacharacter reaches a
// command line.
std::string filterPastedHost(std::string_view text);

// Binds the four launch buttons and the host box's events.
void bindLaunchers(ui::Form& main, platform::Runner& runner);

}  // namespace tools

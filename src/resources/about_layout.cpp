// The about window and the splash window.
#include "common/config.h"
#include "resources/layouts.h"

namespace layouts {

using namespace ui;

namespace {

// The credits block leaves room on its feedback and closing lines for the two
// hyperlinks laid over them.
constexpr std::string_view kAboutText =
    "    欢迎使用Korvan网络辅助小工具V1.1，本工具融合了ping、tracert（路由跟踪）、清理DNS缓存、"
    "FTP登录、远程桌面连接、便捷IP/DNS设置、本地公网IP查询、域名whois查询等，意在方便对各种操作不熟悉的"
    "人们提供一个便捷的工具，希望大家能够喜欢，在以后的版本中会增加更多的功能，请大家继续关注！"
    "\r\n\r\n\r\n"
    "\r\n"
    "感谢每一位提出意见和建议的朋友！\r\n"
    "作者：Korvan工作室 网络工具组\r\n"
    "意见反馈：\r\n"
    "\r\n"
    "\r\n"
    "\r\n"
    "【Korvan工作室出品】     官方网站：";

// The links are literals so the table stays constant data; they are the
// maker's feedback and web addresses.
static_assert(config::kMakerEmail == "kf@korvan.example");
static_assert(config::kMakerAddress == "http://www.korvan.example");

constexpr Unit kAboutUnits[] = {
    {"分组框1", Kind::GroupBox, "", 8, 8, 368, 256},
    {"标签1", Kind::Label, "分组框1", 56, 8, 248, 32, "Korvan网络小工具 V1.1", kCentre, kDefaultColour, kDefaultColour,
     {"黑体", 20}},
    {"标签2", Kind::Label, "分组框1", 21, 55, 328, 192, kAboutText},
    {"超级链接框2", Kind::Hyperlink, "分组框1", 80, 187, 120, 12, "kf@korvan.example", 0, kDefaultColour,
     kDefaultColour, {}, "mailto:kf@korvan.example"},
    {"超级链接框1", Kind::Hyperlink, "分组框1", 203, 232, 96, 16, "korvan.example", 0, kDefaultColour,
     kDefaultColour, {}, "http://www.korvan.example"},
};

constexpr Layout kAbout{
    .name = "about", .title = "关于软件", .width = 387, .height = 299, .units = kAboutUnits, .keys = {.escapeCloses = true}};

constexpr Unit kSplashUnits[] = {
    {"图片框1", Kind::Picture, "", 0, 0, 800, 600, "", 0, kDefaultColour, kDefaultColour, {}, "SPLASH"},
};

constexpr Layout kSplash{"splash", "", 800, 600, kSplashUnits, /*popup=*/true};

}  // namespace

const Layout& about() { return kAbout; }
const Layout& splash() { return kSplash; }

}  // namespace layouts

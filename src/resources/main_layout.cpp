// The main window: every unit with its container, position, size, caption
// and start state. Positions are 96-DPI pixels relative to the container.
#include <array>

#include "common/config.h"
#include "resources/layouts.h"

namespace layouts {

using namespace ui;

// Declared in layouts.h; constexpr so that the unit table below can use it.
constexpr std::string_view kRunnerHelp =
    "请直接输入命令，然后点执行命令即可，希望能给您带来便利。\r\n"
    "如输入：\r\n"
    "md wwwroot..\\         //新建一个带点的文件夹，一般无法直接删除。\r\n"
    "rd wwwroot..\\ /s /q   //可以强制删除带点文件夹或者文件。\r\n"
    "\r\n"
    "【注意，该cmd直接执行命令的路径为软件所在分区！】";

namespace {

constexpr Colour kRed = rgb(255, 0, 0);
constexpr Colour kGreen = rgb(0, 255, 0);
constexpr Colour kBlack = rgb(0, 0, 0);
constexpr Colour kWhite = rgb(255, 255, 255);
constexpr FontSpec kSongti{"宋体", 12};

// The title is product, version and the maker's address; kept as one literal
// so the table stays constant data.
constexpr std::string_view kTitle = "Korvan网络小工具 V1.1 [http://www.korvan.example]";
static_assert(config::kMakerAddress == "http://www.korvan.example");

constexpr Unit kUnits[] = {
    // Menu bar.
    {"设置菜单", Kind::Menu, "", 0, 0, 0, 0, "[设置]"},
    {kMenuEffect, Kind::MenuItem, "设置菜单", 0, 0, 0, 0, "开启特效", 0, kDefaultColour, kDefaultColour, {}, "Ctrl+A"},
    {kMenuUpdate, Kind::MenuItem, "设置菜单", 0, 0, 0, 0, "检测更新", 0, kDefaultColour, kDefaultColour, {}, "Ctrl+S"},
    {kMenuAbout, Kind::MenuItem, "设置菜单", 0, 0, 0, 0, "关于软件", 0, kDefaultColour, kDefaultColour, {}, "Ctrl+H"},
    {kMenuDns, Kind::MenuItem, "设置菜单", 0, 0, 0, 0, "DNS测速", kSeparatorBefore, kDefaultColour, kDefaultColour, {}, "Ctrl+D"},

    // Command tools and the FTP login.
    {"分组框1", Kind::GroupBox, "", 8, 5, 304, 172},
    {"标签5", Kind::Label, "分组框1", 32, 8, 119, 24, "请输入您的域名或IP："},
    {"编辑框1", Kind::Edit, "分组框1", 152, 11, 120, 20, kHostHint, kLineBorder, kRed, kDefaultColour, kSongti},
    {"按钮1", Kind::Button, "分组框1", 8, 35, 65, 24, "执行Ping"},
    {"按钮2", Kind::Button, "分组框1", 79, 35, 65, 24, "路由跟踪"},
    {"按钮6", Kind::Button, "分组框1", 151, 35, 65, 24, "远程连接"},
    {"按钮3", Kind::Button, "分组框1", 222, 35, 75, 24, "清空DNS缓存"},
    {"分组框5", Kind::GroupBox, "分组框1", 9, 59, 287, 95},
    {"标签7", Kind::Label, "分组框5", 6, 14, 56, 16, "FTP地址："},
    {"地址编辑框", Kind::Edit, "分组框5", 62, 11, 80, 20},
    {"标签8", Kind::Label, "分组框5", 146, 14, 54, 16, "FTP端口："},
    {"端口编辑框", Kind::Edit, "分组框5", 200, 11, 28, 20, "21"},
    {"标签9", Kind::Label, "分组框5", 6, 43, 56, 16, "FTP帐号："},
    {"用户编辑框", Kind::Edit, "分组框5", 62, 40, 80, 20},
    {"标签10", Kind::Label, "分组框5", 146, 43, 54, 16, "FTP密码："},
    {"密码编辑框", Kind::Edit, "分组框5", 200, 40, 80, 20, "", kPassword},
    {"登录按钮", Kind::Button, "分组框5", 6, 66, 65, 23, "登陆"},
    {"保存选择框", Kind::CheckBox, "分组框5", 81, 68, 94, 19, "保存登陆信息"},
    {"匿名登录选择框", Kind::CheckBox, "分组框1", -16, -8, 16, 19, "匿名登录", kHidden},
    {"状态标签", Kind::Label, "分组框1", 19, 155, 264, 13},

    // Public address panel: the edit box is the frame the labels sit on.
    {"编辑框3", Kind::Edit, "", 8, 183, 304, 52, "", kMultiLine | kBehind},
    {"标签3", Kind::Label, "", 14, 187, 292, 20, "获取地理位置中...", 0, kDefaultColour, kWhite},
    {"标签2", Kind::Label, "", 75, 207, 95, 20, "本机外网IP地址：", 0, kDefaultColour, kWhite},
    {"标签1", Kind::Label, "", 171, 207, 92, 20, "获取中...", 0, kDefaultColour, kWhite},

    // Whois switch.
    {"分组框2", Kind::GroupBox, "", 8, 237, 304, 33},
    {"按钮4", Kind::Button, "分组框2", 8, 11, 288, 18, "域名whois查询"},

    // Adapter panel.
    {"分组框4", Kind::GroupBox, "", 319, 5, 230, 267},
    {"标签17", Kind::Label, "分组框4", 8, 12, 56, 20, "计算机名："},
    {"计算机名_编辑框", Kind::Edit, "分组框4", 68, 12, 150, 20},
    {"标签16", Kind::Label, "分组框4", 8, 38, 56, 20, "本机　IP："},
    {"IP编辑框1", Kind::IpAddress, "分组框4", 68, 38, 150, 20},
    {"标签15", Kind::Label, "分组框4", 8, 64, 56, 20, "子网掩码："},
    {"IP编辑框2", Kind::IpAddress, "分组框4", 68, 65, 150, 20},
    {"标签13", Kind::Label, "分组框4", 8, 91, 56, 20, "默认网关："},
    {"IP编辑框3", Kind::IpAddress, "分组框4", 68, 92, 150, 20},
    {"标签14", Kind::Label, "分组框4", 8, 119, 56, 20, "首选 DNS："},
    {"IP编辑框4", Kind::IpAddress, "分组框4", 68, 119, 150, 20},
    {"标签12", Kind::Label, "分组框4", 8, 147, 56, 20, "备用 DNS："},
    {"IP编辑框5", Kind::IpAddress, "分组框4", 68, 147, 150, 20},
    {"单选框1", Kind::Radio, "分组框4", 8, 174, 144, 16, "自动配置DNS(Google)"},
    {"单选框2", Kind::Radio, "分组框4", 8, 192, 146, 16, "自动配置DNS(四川电信)"},
    {"单选框3", Kind::Radio, "分组框4", 8, 206, 153, 24, "自动配置DNS(四川联通)"},
    {"单选框4", Kind::Radio, "分组框4", 8, 224, 153, 24, "自动配置DNS(中国铁通)"},
    {"修改_按钮", Kind::Button, "分组框4", 161, 181, 57, 22, "修改"},
    {"刷新_按钮", Kind::Button, "分组框4", 162, 213, 56, 24, "刷新"},
    {"状态_标签", Kind::Label, "分组框4", 7, 246, 215, 17},
    {"标签6", Kind::Label, "分组框4", 118, 270, 56, 20, "网卡信息：", kHidden},
    {"网卡信息_组合框", Kind::DropList, "分组框4", 248, 278, 151, 20, "", kHidden},

    // Console command runner.
    {"分组框3", Kind::GroupBox, "", 8, 272, 541, 192},
    {"标签4", Kind::Label, "分组框3", 8, -3, 128, 16, "[迷你DOS命令执行工具]"},
    {"超级按钮1", Kind::FlatButton, "分组框3", 362, 0, 55, 16, "执行命令"},
    {"超级按钮2", Kind::FlatButton, "分组框3", 422, 0, 55, 16, "复制结果"},
    {"超级按钮3", Kind::FlatButton, "分组框3", 481, 0, 55, 16, "清空内容"},
    {"编辑框2", Kind::Edit, "分组框3", 6, 21, 528, 163, kRunnerHelp, kMultiLine | kSunken | kNoBorder, kGreen, kBlack},

    // Announcement ticker.
    {"标签19", Kind::Label, "", 8, 470, 72, 22, "【最新公告】"},
    {"画板1", Kind::Canvas, "", 77, 470, 471, 22},
    {"标签11", Kind::Label, "画板1", 0, 3, 0, 16},
    // The ticker's clock: nobody sees the strip while the window is minimised
    // or hidden, so it rests then and catches up when the window is back.
    {"时钟1", Kind::Timer, "", 0, 0, 0, 0, "", kRestsUnseen},

    // Domain whois panel, right of the start-up width.
    {"分组框6", Kind::GroupBox, "", 556, 5, 342, 488},
    {"分组框7", Kind::GroupBox, "分组框6", 10, 8, 326, 50},
    {"标签21", Kind::Label, "分组框7", 10, 19, 120, 16, "请输入要查询的域名："},
    {"标签20", Kind::Label, "分组框7", 132, 19, 30, 16, "www."},
    {"编辑框6", Kind::Edit, "分组框7", 162, 18, 96, 20, "", 0, kRed},
    {"按钮5", Kind::Button, "分组框7", 264, 17, 49, 20, "查询"},
    {"分组框8", Kind::GroupBox, "分组框6", 10, 62, 326, 373, "查询结果"},
    {"分组框9", Kind::GroupBox, "分组框8", 8, 16, 305, 349, "", kClip},
    {"超文本浏览框1", Kind::Browser, "分组框9", -65, -400, 400, 749},
    {"标签23", Kind::Label, "分组框6", 15, 438, 306, 32, "提示：部分域名可能因开启了域名注册信息保护无法查询到真实结果！"},

    // Stores of the two server texts, below the bottom edge.
    {"编辑框4", Kind::Edit, "", 24, 664, 80, 20},
    {"编辑框5", Kind::Edit, "", 112, 664, 80, 20},
};

// Names of the units no label stands right before.
constexpr UnitName kNames[] = {
    {"编辑框3", "本机外网IP地址"},
    {"编辑框2", "DOS命令及执行结果"},
    {"编辑框6", "要查询的域名"},
    {"编辑框4", "最新版本号"},
    {"编辑框5", "公告开关"},
};

constexpr Layout kMain{.name = "main", .title = kTitle, .width = 910, .height = 543, .units = kUnits, .names = kNames};

}  // namespace

const Layout& mainWindow() { return kMain; }

}  // namespace layouts

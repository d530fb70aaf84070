// The DNS test window. Units in reading order: the tab order follows it.
#include "resources/layouts.h"

namespace layouts {

using namespace ui;

namespace {

constexpr Unit kDnsUnits[] = {
    {"结果_列表", Kind::ListView, "", 8, 8, 504, 280},
    {"进度_进度条", Kind::Progress, "", 8, 294, 504, 14, "0,1000"},
    {"状态_标签", Kind::Label, "", 8, 314, 504, 16, ""},
    {"添加_标签", Kind::Label, "", 8, 342, 60, 16, "添加DNS："},
    {"添加_IP框", Kind::IpAddress, "", 70, 339, 130, 22},
    {"添加_按钮", Kind::Button, "", 206, 338, 50, 24, "添加"},
    {"测速_按钮", Kind::Button, "", 8, 370, 90, 26, "开始测速"},
    {"首选_按钮", Kind::Button, "", 104, 370, 100, 26, "设为首选DNS", kDisabled},
    {"备用_按钮", Kind::Button, "", 210, 370, 100, 26, "设为备用DNS", kDisabled},
    {"复制_按钮", Kind::Button, "", 316, 370, 80, 26, "复制结果"},
    {"状态_时钟", Kind::Timer, ""},
};

// Enter starts (or stops) the test, in the address field it adds; Esc
// closes the window, which stops the test.
constexpr EnterKey kDnsEnter[] = {{"添加_IP框", "添加_按钮"}};
// The address field is named by its label.
constexpr UnitName kDnsNames[] = {
    {"结果_列表", "DNS测速结果"},
    {"进度_进度条", "测速进度"},
};

// Client area 520 x 404; the outer size adds the frame and caption.
constexpr Layout kDns{.name = "dns",
                      .title = "DNS测速",
                      .width = 526,
                      .height = 430,
                      .units = kDnsUnits,
                      .keys = {.defaultButton = "测速_按钮", .escapeCloses = true, .enterKeys = kDnsEnter},
                      .names = kDnsNames};

}  // namespace

const Layout& dnsWindow() { return kDns; }

}  // namespace layouts

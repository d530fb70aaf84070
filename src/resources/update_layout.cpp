// The update window.
#include "resources/layouts.h"

namespace layouts {

using namespace ui;

namespace {

// The group box and everything in it keep their places; the two buttons sit
// under the group box, right-aligned with it, and the window is tall enough
// to show them whole.
constexpr Unit kUpdateUnits[] = {
    {"分组框1", Kind::GroupBox, "", 8, 4, 264, 101},
    {"进度条1", Kind::Progress, "分组框1", 16, 17, 232, 20, "0,1000"},
    {"标签进度", Kind::Label, "分组框1", 15, 45, 89, 18, "等待下载..."},
    {"标签大小", Kind::Label, "分组框1", 114, 47, 128, 20, "下载进度"},
    {"标签时间", Kind::Label, "分组框1", 16, 72, 96, 20, ""},
    {"标签速度", Kind::Label, "分组框1", 131, 72, 112, 20, ""},
    {"按钮1", Kind::Button, "", 120, 111, 72, 24, "下载更新"},
    {"按钮2", Kind::Button, "", 200, 111, 72, 24, "取消"},
    {"时钟1", Kind::Timer, ""},
    {"时钟", Kind::Timer, ""},
};

constexpr UnitName kUpdateNames[] = {{"进度条1", "下载进度"}};

constexpr Layout kUpdate{
    .name = "update", .title = "自动更新", .width = 285, .height = 176, .units = kUpdateUnits, .names = kUpdateNames};

}  // namespace

const Layout& updateWindow() { return kUpdate; }

}  // namespace layouts

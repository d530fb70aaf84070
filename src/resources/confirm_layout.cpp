// The question after an address change over a remote session.
#include "resources/layouts.h"

namespace layouts {

using namespace ui;

namespace {

constexpr Unit kConfirmUnits[] = {
    {"分组框1", Kind::GroupBox, "", 8, 4, 400, 92},
    {"结果_标签", Kind::Label, "分组框1", 12, 16, 376, 18, "", 0, kDefaultColour, kDefaultColour, {"", 12, true}},
    {"提示_标签", Kind::Label, "分组框1", 12, 42, 376, 18, ""},
    {"倒计时_标签", Kind::Label, "分组框1", 12, 64, 376, 18, ""},
    {"保留_按钮", Kind::Button, "", 232, 104, 84, 26, "保留设置"},
    {"还原_按钮", Kind::Button, "", 324, 104, 84, 26, "立即还原"},
    {"倒计时_时钟", Kind::Timer, ""},
};

// Enter keeps, Esc undoes at once (as the system's own question after a
// display change reverts on Esc).
constexpr Layout kConfirm{.name = "confirm",
                          .title = "确认网络设置",
                          .width = 424,
                          .height = 176,
                          .units = kConfirmUnits,
                          .keys = {.defaultButton = "保留_按钮", .cancelButton = "还原_按钮"}};

}  // namespace

const Layout& confirmWindow() { return kConfirm; }

}  // namespace layouts

// The FTP window: the local disk above, the server below, the status line
// between them. Positions are 96-DPI pixels relative to the container.
#include "resources/layouts.h"

namespace layouts {

using namespace ui;

namespace {

constexpr Unit kFtpUnits[] = {
    // Local side.
    {"分组框1", Kind::GroupBox, "", 5, 0, 442, 228},
    {"标签2", Kind::Label, "分组框1", 11, 16, 55, 20, "本地目录："},
    {"驱动器框1", Kind::DriveBox, "分组框1", 70, 16, 94, 20},
    {"本地目录编辑框", Kind::Edit, "分组框1", 168, 16, 210, 20},
    {"上传按钮", Kind::Button, "分组框1", 382, 15, 48, 22, "上传"},
    {"本地文件框", Kind::ListView, "分组框1", 10, 43, 420, 152, "", 0, kDefaultColour, kDefaultColour, {},
     kListImages},
    {"状态标签", Kind::Label, "分组框1", 10, 201, 420, 20},

    {"远程目录编辑框", Kind::Edit, "", 5, 231, 442, 20},

    // Server side.
    {"分组框3", Kind::GroupBox, "", 5, 251, 442, 202},
    {"下载按钮", Kind::Button, "分组框3", 10, 13, 75, 22, "下载到本地"},
    {"删除文件按钮", Kind::Button, "分组框3", 96, 13, 75, 22, "删除文件"},
    {"新建目录按钮", Kind::Button, "分组框3", 183, 13, 75, 22, "新建目录"},
    {"删除目录按钮", Kind::Button, "分组框3", 268, 13, 75, 22, "删除目录"},
    {"断开按钮", Kind::Button, "分组框3", 355, 13, 75, 22, "断开FTP"},
    {"远程文件框", Kind::ListView, "分组框3", 10, 40, 420, 152, "", kEditLabels, kDefaultColour, kDefaultColour, {},
     kListImages},
};

constexpr UnitName kFtpNames[] = {
    {"驱动器框1", "本地驱动器"},
    {"本地目录编辑框", "本地目录"},
    {"本地文件框", "本地文件列表"},
    {"远程目录编辑框", "服务器目录"},
    {"远程文件框", "服务器文件列表"},
};

constexpr Layout kFtp{.name = "ftp", .title = "迷你FTP工具", .width = 457, .height = 485, .units = kFtpUnits, .names = kFtpNames};

}  // namespace

const Layout& ftpWindow() { return kFtp; }

}  // namespace layouts

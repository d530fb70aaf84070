// The skin at start-up, the glass-effect switch of the menu, and the removal
// of the skin files when the main window goes.
#pragma once

#include "platform/files.h"
#include "platform/skin.h"
#include "platform/system.h"
#include "ui/form.h"

namespace shell {

inline constexpr std::string_view kSkinLibraryName = "SkinH_EL.dll";
inline constexpr std::string_view kSkinDataName = "skinh.she";

struct SkinFiles {
    platform::Skin& skin;
    platform::Files& files;
    platform::System& system;

    // Writes both files beside the program, hides them, loads the library
    // by its full path when the file holds exactly our image, then attaches
    // the skin and turns its hue. A file that is not ours (the write could
    // not replace it) is never loaded: the tool then runs unskinned.
    void attach();
    // Menu "开启特效" / "关闭特效": the caption names what the next choice does.
    void switchEffect(ui::Form& main, std::string_view menuItem);
    // Deletes both files. The loaded library's file cannot be deleted while
    // it is mapped, so it stays, hidden, and is checked again at the next
    // start; the failure is ignored.
    void remove();
};

}  // namespace shell

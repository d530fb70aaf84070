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

    // Writes both files beside the program, hides them, attaches the skin
    // and turns its hue. No result is checked: a leftover hidden copy that
    // cannot be replaced stays and is used.
    void attach();
    // Menu "开启特效" / "关闭特效": the caption names what the next choice does.
    void switchEffect(ui::Form& main, std::string_view menuItem);
    // Deletes both files (the library may still be in use; ignored).
    void remove();
};

}  // namespace shell

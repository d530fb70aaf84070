#include "shell/skin.h"

namespace shell {

void SkinFiles::attach() {
    const std::string dir = system.programDirectory();
    const std::string library = dir + "\\" + std::string(kSkinLibraryName);
    const std::string data = dir + "\\" + std::string(kSkinDataName);
    const std::string image = skin.libraryImage();
    files.write(library, image);
    files.write(data, skin.dataImage());
    files.setAttributes(data, platform::kAttrHidden);
    files.setAttributes(library, platform::kAttrHidden);
    // Whatever the writes managed, only our own bytes are loaded: a file
    // someone else left under that name (read-only, so it was not replaced)
    // leaves the tool unskinned.
    if (!skin.load(library, image)) return;
    skin.attach();
    skin.adjustHsv(130, 0, 0);
}

void SkinFiles::switchEffect(ui::Form& main, std::string_view menuItem) {
    if (main.checked(menuItem)) {
        main.setChecked(menuItem, false);
        skin.setAero(0);
        main.setText(menuItem, "开启特效");
    } else {
        skin.setAero(1);
        main.setText(menuItem, "关闭特效");
        main.setChecked(menuItem, true);
    }
}

void SkinFiles::remove() {
    const std::string dir = system.programDirectory();
    files.remove(dir + "\\" + std::string(kSkinDataName));
    files.remove(dir + "\\" + std::string(kSkinLibraryName));
}

}  // namespace shell

#include "shell/skin.h"

namespace shell {

void SkinFiles::attach() {
    const std::string dir = system.programDirectory();
    const std::string library = dir + "\\" + std::string(kSkinLibraryName);
    const std::string data = dir + "\\" + std::string(kSkinDataName);
    files.write(library, skin.libraryImage());
    files.write(data, skin.dataImage());
    files.setAttributes(data, platform::kAttrHidden);
    files.setAttributes(library, platform::kAttrHidden);
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

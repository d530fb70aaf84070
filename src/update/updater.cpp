#include "update/updater.h"

#include <string>

#include "common/config.h"
#include "update/texts.h"

namespace update {

void Updater::checkFromMenu(ui::Form& main) {
    const std::string body = hooks_.httpGet ? hooks_.httpGet(config::updateBase() + std::string(kVersionPath)) : "";
    main.setText(kVersionStore, versionText(body));
    const std::string version = main.text(kVersionStore);

    auto tell = [this](std::string_view text) {
        services_.dialogs.messageBox({text, kNoticeTitle, platform::Icon::Information, platform::Buttons::Ok});
    };
    if (version.empty()) {
        tell(kUnreachable);
        return;
    }
    if (version == config::kVersion) {
        tell(kNoUpdate);
        return;
    }
    tell(kNewVersion);
    window_.open(&main);
    main.setVisible("", false);
}

}  // namespace update

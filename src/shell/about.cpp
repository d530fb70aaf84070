#include "shell/about.h"

#include "resources/layouts.h"
#include "ui/layout.h"

namespace shell {

void AboutWindow::open() {
    if (form_) {
        form_->bringToFront();
        return;
    }
    const ui::Layout& layout = layouts::about();
    form_ = services_.windows.create(layout);
    for (const ui::Unit& u : layout.units) {
        if (u.kind != ui::Kind::Hyperlink) continue;
        std::string target(u.extra);
        form_->on(u.name, ui::Event::Click, [this, target](ui::EventArgs&) { services_.shell.open(target); });
    }
    form_->on("", ui::Event::Destroyed, [this](ui::EventArgs&) { form_ = nullptr; });
    form_->setVisible("", true);
}

}  // namespace shell

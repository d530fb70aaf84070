// The about window: modeless, without owner. A second choice of the menu
// item brings the open window forward instead of opening another.
#pragma once

#include "shell/services.h"
#include "ui/form.h"

namespace shell {

class AboutWindow {
public:
    explicit AboutWindow(Services& services) : services_(services) {}
    void open();
    ui::Form* form() const { return form_; }

private:
    Services& services_;
    ui::Form* form_ = nullptr;
};

}  // namespace shell

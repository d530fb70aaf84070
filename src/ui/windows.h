// Creating and running windows. The backend owns every window it creates;
// a Form stays valid until its Destroyed handlers have run.
#pragma once

#include "ui/form.h"
#include "ui/layout.h"

namespace ui {

class Windows {
public:
    virtual ~Windows() = default;

    // Builds the window of a layout, hidden and without owner. Bind handlers,
    // then show it with form.setVisible("", true) or run it modally.
    virtual Form* create(const Layout& layout) = 0;

    // Shows the window and returns once it has been destroyed; other windows
    // of the tool keep running meanwhile.
    virtual void runModal(Form& form) = 0;
};

}  // namespace ui

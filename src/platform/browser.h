// An embedded web browser shown in a Browser unit of a window.
#pragma once

#include <memory>
#include <string_view>

namespace ui {
class Form;
}

namespace platform {

class Browser {
public:
    virtual ~Browser() = default;
    // Starts loading the address and returns at once; the browser shows the
    // page by itself. Returns false when there is no browser control to load
    // it (it could not be created on this machine): the unit stays blank.
    virtual bool navigate(std::string_view address) = 0;
    // Moves the browser vertically inside its container: its top edge in
    // 96-DPI pixels relative to the container (negative values scroll the
    // page's upper part out of the container's view).
    virtual void setTop(int top) = 0;
};

class Browsers {
public:
    virtual ~Browsers() = default;
    // A browser for a Browser unit of the form. Never null: where the control
    // cannot be created the returned browser only moves its unit. It must not
    // outlive the form.
    virtual std::unique_ptr<Browser> attach(ui::Form& form, std::string_view unit) = 0;
};

}  // namespace platform

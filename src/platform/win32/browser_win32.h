// The platform's WebBrowser control (IWebBrowser2) hosted in a Browser unit
// of a Win32Form.
#pragma once

#include <memory>
#include <string_view>

#include "platform/browser.h"

namespace win32 {

// Each browser is created inside the unit's container window the first time
// it is asked to navigate, in a small OLE container of our own (client site,
// in-place site and frame). Where the control cannot be created (no browser
// engine installed, COM refused) the container stays blank, navigate returns
// false and the unit still moves. The control is closed when its container
// window is destroyed or when the browser goes, whichever comes first.
// User-interface thread only.
class Win32Browsers final : public platform::Browsers {
public:
    std::unique_ptr<platform::Browser> attach(ui::Form& form, std::string_view unit) override;
};

}  // namespace win32

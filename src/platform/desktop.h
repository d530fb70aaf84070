// The user's desktop folder.
#pragma once

#include <string>

namespace platform {

class Desktop {
public:
    virtual ~Desktop() = default;
    // The desktop directory with a trailing backslash; "" when it cannot be
    // determined.
    virtual std::string desktopDirectory() = 0;
};

}  // namespace platform

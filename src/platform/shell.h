// The Windows shell: open a file or address with its associated program.
#pragma once

#include <string_view>

namespace platform {

class Shell {
public:
    virtual ~Shell() = default;
    // Default action, no parameters, normal window. Returns whether the
    // shell accepted it; callers may ignore the result.
    virtual bool open(std::string_view target) = 0;
};

}  // namespace platform

// Facts about the machine and the running program.
#pragma once

#include <string>

namespace platform {

class System {
public:
    virtual ~System() = default;
    // The computer's host name, "" when it cannot be read.
    virtual std::string hostName() = 0;
    // Directory of the tool's executable, without a trailing separator.
    virtual std::string programDirectory() = 0;
};

}  // namespace platform

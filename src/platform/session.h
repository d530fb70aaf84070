// The session the tool runs in.
#pragma once

namespace platform {

class Session {
public:
    virtual ~Session() = default;
    // True when the tool's desktop is shown over a remote connection (a
    // Remote Desktop session), where a change of the machine's address can
    // cut the user off.
    virtual bool remote() = 0;
};

}  // namespace platform

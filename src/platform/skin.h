// The skin library: its two embedded file images and its three entry
// points. The library is loaded by file name at the first call, so a copy
// in the program directory is found first.
#pragma once

#include <string>

namespace platform {

class Skin {
public:
    virtual ~Skin() = default;
    // The embedded images of SkinH_EL.dll and skinh.she ("" when absent).
    virtual std::string libraryImage() = 0;
    virtual std::string dataImage() = 0;
    // Results are ignored by the callers; a library that cannot be loaded
    // makes these do nothing.
    virtual void attach() = 0;
    virtual void adjustHsv(int hue, int saturation, int brightness) = 0;
    virtual void setAero(int on) = 0;
};

}  // namespace platform

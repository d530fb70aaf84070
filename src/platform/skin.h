// The skin library: its two embedded file images and its three entry
// points. The library is loaded only from a full path, and only when the
// file there holds exactly the bytes the tool carries.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class Skin {
public:
    virtual ~Skin() = default;
    // The embedded images of SkinH_EL.dll and skinh.she ("" when absent).
    virtual std::string libraryImage() = 0;
    virtual std::string dataImage() = 0;
    // Loads the library from `path`, a full path, when the file there holds
    // exactly `image` (not empty); the file cannot change between the check
    // and the load. False, and nothing loaded, otherwise. Once a library is
    // loaded it stays for the process, and further calls return true.
    virtual bool load(std::string_view path, std::string_view image) = 0;
    // Results are ignored by the callers; without a loaded library these do
    // nothing.
    virtual void attach() = 0;
    virtual void adjustHsv(int hue, int saturation, int brightness) = 0;
    virtual void setAero(int on) = 0;
};

}  // namespace platform

// The skin library, loaded by full path after its bytes are checked, and
// its images from the resources of korvan.exe.
#pragma once

#include <windows.h>

#include "platform/skin.h"

namespace win32 {

class Win32Skin final : public platform::Skin {
public:
    ~Win32Skin() override = default;   // the library stays loaded for the process
    std::string libraryImage() override;
    std::string dataImage() override;
    // The file is opened sharing reading only, so nobody can write, replace
    // or delete it while its bytes are compared and until the loader has
    // mapped it. A relative path is refused.
    bool load(std::string_view path, std::string_view image) override;
    void attach() override;
    void adjustHsv(int hue, int saturation, int brightness) override;
    void setAero(int on) override;

private:
    FARPROC entry(const char* name);
    HMODULE module_ = nullptr;
};

// The bytes of an RCDATA resource of the running program; "" when absent.
std::string rcdata(const wchar_t* name);

}  // namespace win32

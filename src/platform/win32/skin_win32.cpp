#include "platform/win32/skin_win32.h"

namespace win32 {

std::string rcdata(const wchar_t* name) {
    HMODULE mod = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(mod, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!res) return {};
    HGLOBAL data = LoadResource(mod, res);
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) return {};
    return std::string(static_cast<const char*>(bytes), SizeofResource(mod, res));
}

std::string Win32Skin::libraryImage() { return rcdata(L"SKINDLL"); }
std::string Win32Skin::dataImage() { return rcdata(L"SKINDATA"); }

FARPROC Win32Skin::entry(const char* name) {
    if (!module_) module_ = LoadLibraryW(L"SkinH_EL.dll");
    return module_ ? GetProcAddress(module_, name) : nullptr;
}

void Win32Skin::attach() {
    using Fn = int(WINAPI*)();
    if (auto f = reinterpret_cast<Fn>(reinterpret_cast<void*>(entry("SkinH_Attach")))) f();
}

void Win32Skin::adjustHsv(int hue, int saturation, int brightness) {
    using Fn = int(WINAPI*)(int, int, int);
    if (auto f = reinterpret_cast<Fn>(reinterpret_cast<void*>(entry("SkinH_AdjustHSV")))) f(hue, saturation, brightness);
}

void Win32Skin::setAero(int on) {
    using Fn = int(WINAPI*)(int);
    if (auto f = reinterpret_cast<Fn>(reinterpret_cast<void*>(entry("SkinH_SetAero")))) f(on);
}

}  // namespace win32

#include "platform/win32/skin_win32.h"

#include <cwctype>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

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

namespace {

// "X:\..." or "\\server\share\...": a path the loader takes as it is,
// never searching for it.
bool fullPath(const std::wstring& p) {
    const bool drive = p.size() > 2 && iswalpha(p[0]) && p[1] == L':' && (p[2] == L'\\' || p[2] == L'/');
    const bool unc = p.size() > 2 && p[0] == L'\\' && p[1] == L'\\';
    return drive || unc;
}

// Whether the open file holds exactly `image`.
bool holds(HANDLE file, std::string_view image) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart != static_cast<LONGLONG>(image.size())) return false;
    std::string buf(64 * 1024, '\0');
    size_t done = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) return false;
        if (got == 0) break;
        if (got > image.size() - done || image.compare(done, got, buf.data(), got) != 0) return false;
        done += got;
    }
    return done == image.size();
}

}  // namespace

bool Win32Skin::load(std::string_view path, std::string_view image) {
    if (module_) return true;
    const std::wstring p = widen(path);
    if (image.empty() || !fullPath(p)) return false;
    // Held open, sharing reading only, until the library is mapped: the
    // bytes loaded are the bytes compared.
    UniqueHandle file(CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !holds(file.get(), image)) return false;
    module_ = LoadLibraryW(p.c_str());
    return module_ != nullptr;
}

FARPROC Win32Skin::entry(const char* name) { return module_ ? GetProcAddress(module_, name) : nullptr; }

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

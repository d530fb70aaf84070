// Host name, program directory, and the hold on the program's own file.
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

constexpr size_t kMaxHostName = 255;

std::wstring computerDnsName() {
    DWORD size = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);  // asks for the size
    if (size == 0) return {};
    std::wstring name(size, L'\0');
    if (!GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size)) return {};
    name.resize(size);  // on success, size excludes the terminating zero
    return name;
}

std::wstring winsockHostName() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return {};
    char buf[256] = {};
    std::wstring name;
    if (gethostname(buf, sizeof buf) == 0) {
        buf[sizeof buf - 1] = '\0';
        // Winsock answers in the ANSI code page.
        const int n = MultiByteToWideChar(CP_ACP, 0, buf, -1, nullptr, 0);
        if (n > 1) {
            name.resize(static_cast<size_t>(n));
            MultiByteToWideChar(CP_ACP, 0, buf, -1, name.data(), n);
            name.resize(static_cast<size_t>(n - 1));
        }
    }
    WSACleanup();
    return name;
}

}  // namespace

std::string Win32System::hostName() {
    std::wstring name = computerDnsName();
    if (name.empty()) name = winsockHostName();
    if (name.size() > kMaxHostName) {
        name.resize(kMaxHostName);
        // Do not cut a surrogate pair in half.
        if (name.back() >= 0xD800 && name.back() <= 0xDBFF) name.pop_back();
    }
    return narrow(name);
}

std::string Win32System::programDirectory() {
    // The buffer grows until the whole path fits (paths may exceed MAX_PATH).
    std::vector<wchar_t> buf(MAX_PATH);
    DWORD n = 0;
    for (;;) {
        n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) break;
        if (buf.size() >= 32768 * 2) return {};
        buf.resize(buf.size() * 2);
    }
    std::wstring path(buf.data(), n);
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    path.resize(slash);
    return narrow(path);
}

UniqueHandle holdOwnExecutable() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size()) return {};
    path.resize(n);
    // Read sharing only: the loader and anyone reading may go on; a write,
    // a rename or a delete is refused while this handle is open.
    return UniqueHandle(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace win32

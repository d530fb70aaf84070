// The local disk: current directory, listings, shared opens; the pause.
#include <windows.h>

#include <string>

#include "platform/win32/ftp_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"

namespace win32 {
namespace {

platform::DateTime localTimeOf(const FILETIME& ft) {
    FILETIME local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st)) return {};
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

class Win32HeldFile final : public platform::HeldFile {
public:
    explicit Win32HeldFile(UniqueHandle h) : handle_(std::move(h)) {}

private:
    UniqueHandle handle_;
};

bool readOnly(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

std::string Win32LocalDisk::currentDirectory() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return {};
    std::wstring buf(n, L'\0');
    n = GetCurrentDirectoryW(n, buf.data());
    buf.resize(n);
    return narrow(buf);
}

bool Win32LocalDisk::setCurrentDirectory(std::string_view path) {
    const std::wstring p = widen(path);
    return !p.empty() && SetCurrentDirectoryW(p.c_str());
}

bool Win32LocalDisk::setCurrentDrive(char letter) {
    // "X:" alone is that drive's own current directory.
    const wchar_t drive[] = {static_cast<wchar_t>(static_cast<unsigned char>(letter)), L':', 0};
    return SetCurrentDirectoryW(drive) != FALSE;
}

std::vector<platform::DirEntry> Win32LocalDisk::list() {
    std::vector<platform::DirEntry> out;
    WIN32_FIND_DATAW fd{};
    HANDLE h = FindFirstFileW(L"*.*", &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        platform::DirEntry e;
        e.name = narrow(fd.cFileName);
        e.attributes = fd.dwFileAttributes;
        e.size = (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        e.time = localTimeOf(fd.ftLastWriteTime);
        out.push_back(std::move(e));
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return out;
}

std::unique_ptr<platform::HeldFile> Win32LocalDisk::holdOpen(std::string_view path) {
    const std::wstring p = widen(path);
    if (p.empty() || readOnly(p)) return nullptr;
    UniqueHandle h(CreateFileW(p.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return nullptr;
    return std::make_unique<Win32HeldFile>(std::move(h));
}

bool Win32LocalDisk::writeShared(std::string_view path, std::string_view bytes) {
    const std::wstring p = widen(path);
    if (p.empty() || readOnly(p)) return false;
    // Opened in place (not re-created), so a hidden file stays hidden and a
    // held handle stays valid.
    UniqueHandle h(CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    if (!WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        return false;
    return SetEndOfFile(h.get()) != FALSE;
}

void Win32Pause::pause(int ms) {
    if (ms <= 0) return;
    UniqueHandle timer(CreateWaitableTimerW(nullptr, TRUE, nullptr));
    LARGE_INTEGER due{};
    due.QuadPart = -10000LL * ms;   // relative, in 100 ns units
    if (!timer || !SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) {
        Sleep(static_cast<DWORD>(ms));
        return;
    }
    HANDLE h = timer.get();
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;   // the timer, or a failure
        windows_.pump();
        MSG m;
        if (PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) break;
    }
}

}  // namespace win32

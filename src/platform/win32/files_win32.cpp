// File operations with the W functions on UTF-8 paths.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

constexpr DWORD kChunk = 1u << 20;

// Writes all bytes into a freshly opened file and closes it; on a failed
// write the partial file is removed. False when the open had failed.
bool fill(HANDLE opened, const std::wstring& path, std::string_view bytes) {
    UniqueHandle file(opened);
    if (!file) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kChunk));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            file.reset();
            DeleteFileW(path.c_str());
            return false;
        }
        done += written;
    }
    return CloseHandle(file.release()) != FALSE;
}

}  // namespace

bool Win32Files::exists(std::string_view path) {
    const std::wstring p = widen(path);
    return !p.empty() && GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Files::write(std::string_view path, std::string_view bytes) {
    const std::wstring p = widen(path);
    if (p.empty()) return false;
    // CREATE_ALWAYS refuses to replace a hidden or system file unless those
    // attributes are asked for again, so carry them over.
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    const DWORD old = GetFileAttributesW(p.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_DIRECTORY)) {
        // Windows refuses to replace a read-only file; say so ourselves, so
        // that holds everywhere (Wine run by root would replace it).
        if (old & FILE_ATTRIBUTE_READONLY) return false;
        const DWORD keep = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (keep) attributes = keep;
    }
    // The old content is gone once the file is opened; a partial file would
    // only mislead whoever reads it next.
    return fill(CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr), p, bytes);
}

bool Win32Files::createNew(std::string_view path, std::string_view bytes) {
    const std::wstring p = widen(path);
    if (p.empty()) return false;
    // The file is new, so a partial one is ours to remove.
    return fill(CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr), p, bytes);
}

std::optional<std::string> Win32Files::read(std::string_view path) {
    const std::wstring p = widen(path);
    if (p.empty()) return std::nullopt;
    UniqueHandle file(CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string out;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) out.reserve(static_cast<size_t>(size.QuadPart));
    // The size is only a hint: read until the file says it has no more.
    std::string buf(64 * 1024, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        out.append(buf.data(), got);
    }
    return out;
}

bool Win32Files::setAttributes(std::string_view path, std::uint32_t attributes) {
    const std::wstring p = widen(path);
    if (p.empty()) return false;
    return SetFileAttributesW(p.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes) != FALSE;
}

bool Win32Files::remove(std::string_view path) {
    const std::wstring p = widen(path);
    return !p.empty() && DeleteFileW(p.c_str()) != FALSE;
}

}  // namespace win32

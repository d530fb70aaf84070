// The registry through the W functions of advapi32.
#include "platform/win32/registry_win32.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/wide.h"

namespace win32 {
namespace {

HKEY rootKey(platform::RegistryRoot root) {
    switch (root) {
    case platform::RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    }
    return HKEY_LOCAL_MACHINE;
}

HKEY toHkey(platform::Registry::Key key) { return reinterpret_cast<HKEY>(key); }

// Stored UTF-16 bytes as UTF-8, zero characters kept. An odd last byte is
// not part of any character and is dropped.
std::string utf8FromStored(const std::vector<BYTE>& bytes) {
    std::wstring w(bytes.size() / 2, L'\0');
    if (!w.empty()) memcpy(w.data(), bytes.data(), w.size() * sizeof(wchar_t));
    return narrow(w);
}

// The text up to its first zero with %NAME% references expanded, plus its
// terminating zero.
std::string expanded(const std::vector<BYTE>& bytes) {
    std::wstring w(bytes.size() / 2, L'\0');
    if (!w.empty()) memcpy(w.data(), bytes.data(), w.size() * sizeof(wchar_t));
    w.resize(wcsnlen(w.c_str(), w.size()));
    std::wstring out(w.size() + 1, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD n = ExpandEnvironmentStringsW(w.c_str(), out.data(), static_cast<DWORD>(out.size()));
        if (n == 0) return narrow(w) + std::string(1, '\0');   // cannot expand: keep it as stored
        if (n <= out.size()) {
            out.resize(n - 1);
            return narrow(out) + std::string(1, '\0');
        }
        out.assign(n, L'\0');
    }
    return narrow(w) + std::string(1, '\0');
}

}  // namespace

std::optional<platform::Registry::Key> Win32Registry::open(platform::RegistryRoot root, std::string_view path,
                                                           platform::RegistryAccess access) {
    const std::wstring wpath = widen(path);
    if (wpath.find(L'\0') != std::wstring::npos) return std::nullopt;
    REGSAM sam = KEY_READ;
    if (access == platform::RegistryAccess::ReadWrite) sam |= KEY_SET_VALUE;
    HKEY h = nullptr;
    if (RegOpenKeyExW(rootKey(root), wpath.c_str(), 0, sam, &h) != ERROR_SUCCESS || !h) return std::nullopt;
    return reinterpret_cast<Key>(h);
}

std::optional<platform::RegistryValue> Win32Registry::query(Key key, std::string_view name) {
    const std::wstring wname = widen(name);
    if (wname.find(L'\0') != std::wstring::npos) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(toHkey(key), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    // The value may grow between the two calls: ask again with what it needs.
    std::vector<BYTE> bytes;
    LONG rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && rc == ERROR_MORE_DATA; ++attempt) {
        bytes.assign(size, 0);
        rc = RegQueryValueExW(toHkey(key), wname.c_str(), nullptr, &type, bytes.empty() ? nullptr : bytes.data(),
                              &size);
    }
    if (rc != ERROR_SUCCESS) return std::nullopt;
    bytes.resize(size);

    platform::RegistryValue value;
    value.type = static_cast<platform::RegistryType>(type);
    if (type == REG_EXPAND_SZ) value.data = expanded(bytes);
    else if (type == REG_SZ || type == REG_MULTI_SZ) value.data = utf8FromStored(bytes);
    else value.data.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return value;
}

bool Win32Registry::set(Key key, std::string_view name, platform::RegistryType type, std::string_view data) {
    const std::wstring wname = widen(name);
    if (wname.find(L'\0') != std::wstring::npos) return false;
    const DWORD t = static_cast<DWORD>(type);
    LONG rc;
    if (platform::isStringType(type)) {
        const std::wstring text = widen(data);   // zero bytes become zero characters
        rc = RegSetValueExW(toHkey(key), wname.c_str(), 0, t, reinterpret_cast<const BYTE*>(text.data()),
                            static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    } else {
        rc = RegSetValueExW(toHkey(key), wname.c_str(), 0, t, reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size()));
    }
    return rc == ERROR_SUCCESS;
}

void Win32Registry::close(Key key) { RegCloseKey(toHkey(key)); }

platform::RawRead Win32Registry::queryRaw(Key key, std::string_view name) {
    using Outcome = platform::RawRead::Outcome;
    const std::wstring wname = widen(name);
    if (wname.find(L'\0') != std::wstring::npos) return {Outcome::Failed, {}};
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(toHkey(key), wname.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return {Outcome::Absent, {}};
    if (rc != ERROR_SUCCESS) return {Outcome::Failed, {}};
    std::vector<BYTE> bytes;
    rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && rc == ERROR_MORE_DATA; ++attempt) {
        bytes.assign(size, 0);
        rc = RegQueryValueExW(toHkey(key), wname.c_str(), nullptr, &type, bytes.empty() ? nullptr : bytes.data(),
                              &size);
    }
    // Deleted between the two calls: absent now.
    if (rc == ERROR_FILE_NOT_FOUND) return {Outcome::Absent, {}};
    if (rc != ERROR_SUCCESS) return {Outcome::Failed, {}};
    bytes.resize(size);
    return {Outcome::Found, {type, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size())}};
}

bool Win32Registry::setRaw(Key key, std::string_view name, const platform::RawValue& value) {
    const std::wstring wname = widen(name);
    if (wname.find(L'\0') != std::wstring::npos) return false;
    // For string types the registry counts one more character when the
    // data does not end in a zero character but the memory right after it
    // holds one. Non-zero bytes after the data keep the length exactly as
    // given.
    std::string buffer = value.bytes;
    buffer.append(4, '\xFF');
    return RegSetValueExW(toHkey(key), wname.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(buffer.data()),
                          static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

bool Win32Registry::remove(Key key, std::string_view name) {
    const std::wstring wname = widen(name);
    if (wname.find(L'\0') != std::wstring::npos) return false;
    const LONG rc = RegDeleteValueW(toHkey(key), wname.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

}  // namespace win32

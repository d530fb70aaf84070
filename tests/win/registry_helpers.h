// Registry set-up for the Windows tests of the adapter panel, through the
// plain API and independent of the tool's own registry code: keys under
// HKLM that a test makes and removes, values of any type and bytes.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "adapter/settings.h"
#include "platform/win32/wide.h"

namespace regtest {

inline std::string classKey() {
    std::string k(adapter::kClassKey);
    k.pop_back();   // the trailing backslash
    return k;
}
inline std::string entryKey(int i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    return classKey() + "\\" + name;
}
inline std::string interfaceKey(const std::string& id) { return std::string(adapter::kInterfacesKey) + id; }

inline bool keyExists(const std::string& path) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}
inline void createKey(const std::string& path) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &h, nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(h);
}
// Any type, any bytes, as stored.
inline void putRaw(const std::string& path, const std::string& name, DWORD type, const void* data, size_t size) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &h, nullptr),
              ERROR_SUCCESS)
        << path;
    ASSERT_EQ(RegSetValueExW(h, win32::widen(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                             static_cast<DWORD>(size)),
              ERROR_SUCCESS);
    RegCloseKey(h);
}
// UTF-16 characters as stored, with `extra` stray bytes after them.
inline void putWide(const std::string& path, const std::string& name, DWORD type, const std::wstring& w,
                    size_t extra = 0) {
    std::string bytes(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
    bytes.append(extra, 'x');
    putRaw(path, name, type, bytes.data(), bytes.size());
}
// A string type with the characters of `utf8` (zeros included) as stored.
inline void putText(const std::string& path, const std::string& name, DWORD type, const std::string& utf8) {
    putWide(path, name, type, win32::widen(utf8));
}
inline void putDword(const std::string& path, const std::string& name, DWORD v) {
    putRaw(path, name, REG_DWORD, &v, 4);
}
inline void deleteTree(const std::string& path) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, win32::widen(path).c_str());
}

// The address a SysIPAddress32 shows, "" when all four parts are blank.
inline std::string ipText(HWND h) {
    DWORD a = 0;
    if (SendMessageW(h, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&a)) == 0) return {};
    return std::to_string(FIRST_IPADDRESS(a)) + "." + std::to_string(SECOND_IPADDRESS(a)) + "." +
           std::to_string(THIRD_IPADDRESS(a)) + "." + std::to_string(FOURTH_IPADDRESS(a));
}

}  // namespace regtest

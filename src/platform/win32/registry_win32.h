// The registry on advapi32's W functions. Only src/platform/win32 and the
// Windows tests include this header.
#pragma once

#include "platform/registry.h"

namespace win32 {

// RegOpenKeyExW / RegQueryValueExW / RegSetValueExW / RegCloseKey, with
// UTF-8 <-> UTF-16 at the call. Read access is KEY_READ; read-write adds
// KEY_SET_VALUE, so without the right to change the key the open fails.
// Expandable strings are expanded with ExpandEnvironmentStringsW. The raw
// calls pass type and bytes through untouched (strings as their stored
// UTF-16 bytes, odd lengths and missing terminators included); remove is
// RegDeleteValueW.
class Win32Registry final : public platform::Registry {
public:
    std::optional<Key> open(platform::RegistryRoot root, std::string_view path,
                            platform::RegistryAccess access) override;
    std::optional<platform::RegistryValue> query(Key key, std::string_view name) override;
    bool set(Key key, std::string_view name, platform::RegistryType type, std::string_view data) override;
    void close(Key key) override;
    platform::RawRead queryRaw(Key key, std::string_view name) override;
    bool setRaw(Key key, std::string_view name, const platform::RawValue& value) override;
    bool remove(Key key, std::string_view name) override;
};

}  // namespace win32

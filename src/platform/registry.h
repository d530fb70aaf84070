// The registry: open a key, query a value with its type, set a value, close
// the key. Key paths and value names are UTF-8.
//
// String data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) travels as UTF-8 with
// its zero bytes where the stored UTF-16 text has zero characters: a stored
// "abc" with its terminator arrives as the four bytes "abc\0", a multi-string
// "a", "b" as "a\0b\0\0". Other types travel as their raw bytes. An
// expandable string arrives with its environment references expanded.
//
// The raw calls (queryRaw, setRaw, remove) see a value exactly as the
// registry stores it: its type and its bytes, with no conversion at all, so
// what queryRaw read setRaw puts back byte for byte.
//
// Calls are short and synchronous. They are made on the user-interface
// thread, except for the adapter apply in this process, whose worker writes
// the interface key while the window may read (a refresh): the Windows
// implementation holds no state of its own, and each opened key is used by
// the thread that opened it only. Nothing here throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

enum class RegistryRoot { LocalMachine };

// Value types, numbered as the registry numbers them.
enum class RegistryType : std::uint32_t {
    None = 0,
    String = 1,         // REG_SZ
    ExpandString = 2,   // REG_EXPAND_SZ
    Binary = 3,         // REG_BINARY
    Dword = 4,          // REG_DWORD, little-endian
    MultiString = 7,    // REG_MULTI_SZ
    Qword = 11,         // REG_QWORD
};

bool isStringType(RegistryType type);

struct RegistryValue {
    RegistryType type = RegistryType::None;
    std::string data;   // see the top of this file
    bool operator==(const RegistryValue&) const = default;
};

enum class RegistryAccess { Read, ReadWrite };

// A value as stored: its type number (any, not only the named ones) and its
// bytes, unconverted.
struct RawValue {
    std::uint32_t type = 0;
    std::string bytes;
    bool operator==(const RawValue&) const = default;
};

// What a raw read found. Absent is only "the value does not exist"; a value
// that exists but cannot be read is Failed, never Absent.
struct RawRead {
    enum class Outcome { Found, Absent, Failed };
    Outcome outcome = Outcome::Failed;
    RawValue value;   // when Found
};

class Registry {
public:
    // An opened key; 0 is never a key.
    using Key = std::uintptr_t;

    virtual ~Registry() = default;
    // The existing key at `path` below `root`; nullopt when it cannot be
    // opened with that access (missing, or not allowed). Close it once.
    virtual std::optional<Key> open(RegistryRoot root, std::string_view path, RegistryAccess access) = 0;
    // The whole value; nullopt when it is missing or cannot be read.
    virtual std::optional<RegistryValue> query(Key key, std::string_view name) = 0;
    // Creates or replaces a value. For string types `data` is UTF-8 with its
    // zero bytes (the stored text gets the same zeros); otherwise raw bytes.
    virtual bool set(Key key, std::string_view name, RegistryType type, std::string_view data) = 0;
    virtual void close(Key key) = 0;

    // The value exactly as stored (see RawRead).
    virtual RawRead queryRaw(Key key, std::string_view name) = 0;
    // Creates or replaces a value with exactly these type and bytes; the key
    // must be open for ReadWrite.
    virtual bool setRaw(Key key, std::string_view name, const RawValue& value) = 0;
    // Deletes a value; true when it is gone afterwards (a value that did not
    // exist counts as deleted). The key must be open for ReadWrite.
    virtual bool remove(Key key, std::string_view name) = 0;
};

// Owns one opened key and closes it once. Move-only.
class RegistryKey {
public:
    RegistryKey(Registry& registry, RegistryRoot root, std::string_view path, RegistryAccess access)
        : m_registry(&registry), m_key(registry.open(root, path, access)) {}
    RegistryKey(RegistryKey&& other) noexcept
        : m_registry(other.m_registry), m_key(std::exchange(other.m_key, std::nullopt)) {}
    RegistryKey& operator=(RegistryKey&&) = delete;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (m_key) m_registry->close(*m_key);
    }

    explicit operator bool() const { return m_key.has_value(); }
    std::optional<RegistryValue> query(std::string_view name) const {
        return m_key ? m_registry->query(*m_key, name) : std::nullopt;
    }
    bool set(std::string_view name, RegistryType type, std::string_view data) const {
        return m_key && m_registry->set(*m_key, name, type, data);
    }
    RawRead queryRaw(std::string_view name) const {
        return m_key ? m_registry->queryRaw(*m_key, name) : RawRead{};
    }
    bool setRaw(std::string_view name, const RawValue& value) const {
        return m_key && m_registry->setRaw(*m_key, name, value);
    }
    bool remove(std::string_view name) const { return m_key && m_registry->remove(*m_key, name); }

private:
    Registry* m_registry;
    std::optional<Registry::Key> m_key;
};

// A value named by one text, the key path and the value name joined by a
// backslash ("...\\Linkage\\UpperBind"); split at the last backslash. A
// text without backslash is a value name of the root itself.
std::pair<std::string_view, std::string_view> splitValuePath(std::string_view valuePath);

// Whether the key opens for reading and the value (of any type, any size)
// can be queried. The key is closed again.
bool valueExists(Registry& registry, RegistryRoot root, std::string_view valuePath);

// A string value up to its first zero; an expandable one expanded. Any
// other type, a missing value or a key that cannot be opened gives "".
std::string readTextValue(Registry& registry, RegistryRoot root, std::string_view valuePath);

}  // namespace platform

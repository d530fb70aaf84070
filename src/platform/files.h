// Plain file operations. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::uint32_t kAttrReadOnly = 1;
inline constexpr std::uint32_t kAttrHidden = 2;
inline constexpr std::uint32_t kAttrSystem = 4;
inline constexpr std::uint32_t kAttrNormal = 128;

class Files {
public:
    virtual ~Files() = default;
    virtual bool exists(std::string_view path) = 0;
    // Creates or replaces the file with exactly these bytes.
    virtual bool write(std::string_view path, std::string_view bytes) = 0;
    // Creates the file with these bytes only when no file of that name
    // exists; never replaces one. The default checks first; a real file
    // system does both in one step.
    virtual bool createNew(std::string_view path, std::string_view bytes) {
        return !exists(path) && write(path, bytes);
    }
    // The whole file; nullopt when it cannot be read.
    virtual std::optional<std::string> read(std::string_view path) = 0;
    // Replaces the file's attributes (kAttrHidden alone hides it).
    virtual bool setAttributes(std::string_view path, std::uint32_t attributes) = 0;
    virtual bool remove(std::string_view path) = 0;
};

}  // namespace platform

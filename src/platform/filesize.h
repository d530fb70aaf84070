// Size of a file on disk.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

class FileSizes {
public:
    virtual ~FileSizes() = default;
    // Size in bytes (64-bit); -1 when there is no such file.
    virtual std::int64_t fileSize(std::string_view path) = 0;
};

}  // namespace platform

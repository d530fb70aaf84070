// Pacing of a transfer under a rate limit: how much to read at a time and
// how long to pause. Plain arithmetic, shared by the download component.
#pragma once

#include <algorithm>
#include <cstdint>

namespace platform {

// Bytes to ask for per read: the block size, or a tenth of the rate limit
// when that is smaller (so a limited transfer moves in small, even steps).
// Never less than 1.
inline std::uint32_t readSize(std::uint32_t blockSize, std::int64_t rateLimit) {
    std::int64_t n = blockSize == 0 ? 1 : blockSize;
    if (rateLimit > 0) n = std::min<std::int64_t>(n, std::max<std::int64_t>(rateLimit / 10, 1));
    return static_cast<std::uint32_t>(n);
}

// Milliseconds to pause after `bytesInWindow` bytes arrived `msIntoWindow`
// ms into the current one-second window: until the window ends when the
// limit is used up, else 0. No limit (0 or less) never pauses.
inline std::int64_t pauseMs(std::int64_t rateLimit, std::int64_t bytesInWindow, std::int64_t msIntoWindow) {
    if (rateLimit <= 0 || bytesInWindow < rateLimit) return 0;
    return std::max<std::int64_t>(1000 - msIntoWindow, 0);
}

}  // namespace platform

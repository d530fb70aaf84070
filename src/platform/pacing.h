// Pacing of a transfer under a rate limit: how much to read at a time and
// how long to pause. Plain arithmetic, shared by the download component.
#pragma once

#include <algorithm>
#include <cstdint>

namespace platform {

// The most the download component asks for in one read: a fast transfer
// then costs a few hundred reads and writes, not tens of thousands.
inline constexpr std::uint32_t kLargestRead = 1u << 20;

// Bytes to ask for per read at first: the block size, or a tenth of the
// rate limit when that is smaller (so a limited transfer moves in small,
// even steps). Never less than 1.
inline std::uint32_t readSize(std::uint32_t blockSize, std::int64_t rateLimit) {
    std::int64_t n = blockSize == 0 ? 1 : blockSize;
    if (rateLimit > 0) n = std::min<std::int64_t>(n, std::max<std::int64_t>(rateLimit / 10, 1));
    return static_cast<std::uint32_t>(n);
}

// The most a read may grow to. Without a rate limit every read is the block
// size; with one, the size is ours: up to a tenth of the limit, at most
// kLargestRead, never below readSize().
inline std::uint32_t largestReadSize(std::uint32_t blockSize, std::int64_t rateLimit) {
    const std::uint32_t least = readSize(blockSize, rateLimit);
    if (rateLimit <= 0) return least;
    const std::int64_t tenth = std::min<std::int64_t>(rateLimit / 10, kLargestRead);
    return static_cast<std::uint32_t>(std::max<std::int64_t>(tenth, least));
}

// The size of the next read after one of `size` bytes that returned `got`
// in `ms` milliseconds: doubled (up to `most`) when it came back full within
// 20 ms, halved (down to `least`) when it took over 100 ms. A blocking read
// waits for its whole size, so a slow server still shows progress several
// times a second while a fast one is read in large pieces.
inline std::uint32_t nextReadSize(std::uint32_t size, std::uint32_t got, std::int64_t ms, std::uint32_t least,
                                  std::uint32_t most) {
    std::int64_t n = size;
    if (got >= size && ms < 20) n *= 2;
    else if (ms > 100) n /= 2;
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(n, least, std::max(least, most)));
}

// Milliseconds to pause after `bytesInWindow` bytes arrived `msIntoWindow`
// ms into the current one-second window: until the window ends when the
// limit is used up, else 0. No limit (0 or less) never pauses.
inline std::int64_t pauseMs(std::int64_t rateLimit, std::int64_t bytesInWindow, std::int64_t msIntoWindow) {
    if (rateLimit <= 0 || bytesInWindow < rateLimit) return 0;
    return std::max<std::int64_t>(1000 - msIntoWindow, 0);
}

}  // namespace platform

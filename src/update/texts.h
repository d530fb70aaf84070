// The update's number and text rules: how sizes, shares and times are
// written in the update window, the remaining-time arithmetic, where the
// package is saved, and what the version page says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace update {

inline constexpr double kMegabyte = 1048576.0;

// A real number in its shortest form with at most 13 significant digits,
// never in exponent form: 45.6, 100, 0.12.
std::string formatReal(double value);

// Rounds to `places` decimals, half away from zero, after adding 1e-12 (so
// 2.675 becomes 2.68 although its binary value lies just below).
double roundTo(double value, int places);

// Bytes as megabytes rounded to 2 places, in the shortest form: "1.23", "2.7".
std::string megabytes(std::int64_t bytes);

// Progress-bar position in tenths of a percent: downloaded × 1000 ÷ total,
// truncated. total must not be 0.
int barPosition(std::int64_t downloaded, std::int64_t total);

// Whole seconds left at `perSecond` bytes a second, rounded down (a value
// within 1e-12 below the next whole number counts as that number); 0 when
// nothing arrived in the last second.
std::int64_t remainingSeconds(std::int64_t total, std::int64_t downloaded, std::int64_t perSecond);

// The texts of the update window's labels.
std::string shareText(int barPosition);                                    // 已下载:45.6%
std::string progressText(std::int64_t downloaded, std::int64_t total);     // 进度：1.23M/2.7M
std::string speedText(std::int64_t bytesLastSecond);                       // 速度：150KB/秒 
std::string remainingText(std::int64_t seconds);                           // 剩余时间:12秒
std::string fileSizeText(std::int64_t total);                              // 文件大小:2.7M
std::string elapsedText(std::int64_t milliseconds);                        // 总耗时:3.5秒

// The package's file name on the desktop.
inline constexpr std::string_view kPackageName = "tarnel.zip";

// Where the package is saved: the desktop folder followed by "tarnel.zip",
// whatever the folder is called (a folder named "Desktop.old" is still a
// folder). A "\" is put between them when `desktop` does not end with one.
std::string savePathFor(std::string_view desktop);

// The version page's body as text: the bytes up to the first zero byte,
// GBK decoded, not trimmed.
std::string versionText(std::string_view body);

}  // namespace update

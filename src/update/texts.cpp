#include "update/texts.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/codec.h"

namespace update {

std::string formatReal(double value) {
    if (!std::isfinite(value) || value == 0) return "0";   // also for -0
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.13g", value);
    if (!std::strchr(buf, 'e')) return buf;
    // Very small or very large: the same 13 significant digits, written out.
    const double rounded = std::strtod(buf, nullptr);
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(rounded))));
    std::snprintf(buf, sizeof buf, "%.*f", exponent < 0 ? std::min(12 - exponent, 340) : 0, rounded);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

double roundTo(double value, int places) {
    const double scale = std::pow(10.0, places);
    const double v = (value + 1e-12) * scale;
    const double r = v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5);
    return r / scale;
}

std::string megabytes(std::int64_t bytes) { return formatReal(roundTo(static_cast<double>(bytes) / kMegabyte, 2)); }

int barPosition(std::int64_t downloaded, std::int64_t total) {
    return static_cast<int>(std::trunc(static_cast<double>(downloaded) * 1000.0 / static_cast<double>(total)));
}

std::int64_t remainingSeconds(std::int64_t total, std::int64_t downloaded, std::int64_t perSecond) {
    if (perSecond == 0) return 0;
    const double q = static_cast<double>(total - downloaded) / static_cast<double>(perSecond);
    const double whole = std::floor(q + 1e-12);
    // The server announces the size: one near the top of the 64-bit range
    // at a byte a second would not fit the count.
    if (whole >= std::ldexp(1.0, 63)) return INT64_MAX;
    return static_cast<std::int64_t>(whole);
}

std::string shareText(int position) { return "已下载:" + formatReal(position / 10.0) + "%"; }

std::string progressText(std::int64_t downloaded, std::int64_t total) {
    return "进度：" + megabytes(downloaded) + "M/" + megabytes(total) + "M";
}

std::string speedText(std::int64_t bytesLastSecond) {
    return "速度：" + std::to_string(bytesLastSecond / 1024) + "KB/秒 ";
}

std::string remainingText(std::int64_t seconds) { return "剩余时间:" + std::to_string(seconds) + "秒"; }

std::string fileSizeText(std::int64_t total) { return "文件大小:" + megabytes(total) + "M"; }

std::string elapsedText(std::int64_t milliseconds) {
    return "总耗时:" + formatReal(roundTo(static_cast<double>(milliseconds) / 1000.0, 2)) + "秒";
}

std::string savePathFor(std::string_view desktop) {
    std::string path(desktop);
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path + std::string(kPackageName);
}

std::string versionText(std::string_view body) {
    const size_t zero = body.find('\0');
    if (zero != std::string_view::npos) body = body.substr(0, zero);
    return codec::gbkToUtf8(body);
}

}  // namespace update

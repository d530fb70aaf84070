// GBK <-> UTF-8 through UTF-16 with code page 936.
#include "platform/codec.h"

#include <windows.h>

#include <climits>
#include <string>

#include "platform/win32/wide.h"

namespace codec {
namespace {

constexpr UINT kGbk = 936;
constexpr wchar_t kReplacement = 0xFFFD;

// Decodes one GBK character (one or two bytes) strictly; false when the
// bytes do not form a character of the code page.
bool decodeOne(const char* p, int len, std::wstring& out) {
    wchar_t buf[2];
    const int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, p, len, buf, 2);
    if (n <= 0) return false;
    out.append(buf, static_cast<size_t>(n));
    return true;
}

// Slow path for text with bytes that do not decode: character by
// character, each bad byte replaced by U+FFFD and skipped alone, so a stray
// lead byte does not swallow the ASCII character after it.
std::wstring decodeLenient(std::string_view gbk) {
    std::wstring out;
    out.reserve(gbk.size());
    size_t i = 0;
    while (i < gbk.size()) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x80) {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }
        if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size() && decodeOne(gbk.data() + i, 2, out)) {
            i += 2;
            continue;
        }
        if (!decodeOne(gbk.data() + i, 1, out)) out.push_back(kReplacement);
        ++i;
    }
    return out;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    if (gbk.empty() || gbk.size() > INT_MAX) return {};
    const int inLen = static_cast<int>(gbk.size());
    // Whole text at once when it is valid (the usual case).
    const int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), inLen, nullptr, 0);
    if (n > 0) {
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data(), inLen, wide.data(), n);
        return win32::narrow(wide);
    }
    return win32::narrow(decodeLenient(gbk));
}

std::string utf8ToGbk(std::string_view utf8) {
    std::wstring wide = win32::widen(utf8);
    if (wide.empty()) return {};
    // Code page 936 holds nothing outside the BMP: a surrogate pair is one
    // character GBK cannot hold, so it becomes one "?", not two.
    std::wstring bmp;
    bmp.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        const wchar_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            bmp.push_back(L'?');
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            bmp.push_back(L'?');
        } else {
            bmp.push_back(c);
        }
    }
    if (bmp.size() > INT_MAX) return {};
    const int inLen = static_cast<int>(bmp.size());
    // No best-fit: a character GBK lacks becomes "?", never a look-alike.
    const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, bmp.data(), inLen, nullptr, 0, "?", nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, bmp.data(), inLen, out.data(), n, "?", nullptr);
    return out;
}

}  // namespace codec

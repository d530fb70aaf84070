#include "common/gbktext.h"

namespace gbk {
namespace {

inline unsigned char fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool matchesAt(std::string_view text, size_t at, std::string_view marker, bool ignoreCase) {
    if (text.size() - at < marker.size()) return false;
    // Case folding applies to single-byte characters only: both bytes of a
    // two-byte character compare exactly.
    bool trail = false;
    for (size_t k = 0; k < marker.size(); ++k) {
        unsigned char a = static_cast<unsigned char>(text[at + k]);
        unsigned char b = static_cast<unsigned char>(marker[k]);
        bool folds = ignoreCase && !trail && a < 0x80;
        if (folds ? fold(a) != fold(b) : a != b) return false;
        trail = !trail && a >= 0x80;
    }
    return true;
}

}  // namespace

int find(std::string_view text, std::string_view marker, int start, bool ignoreCase) {
    if (marker.empty() || start < 1) {
        if (marker.empty()) return -1;
        start = 1;
    }
    // Walk character starts from the beginning so that the stepping stays in
    // phase with the text's two-byte characters even for a later start.
    size_t i = 0;
    const size_t from = static_cast<size_t>(start - 1);
    while (i < text.size()) {
        if (i >= from && matchesAt(text, i, marker, ignoreCase)) return static_cast<int>(i + 1);
        i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
    }
    return -1;
}

std::string left(std::string_view text, int count) {
    if (count <= 0) return {};
    return std::string(text.substr(0, static_cast<size_t>(count)));
}

std::string right(std::string_view text, int count) {
    if (count <= 0) return {};
    size_t n = static_cast<size_t>(count);
    if (n >= text.size()) return std::string(text);
    return std::string(text.substr(text.size() - n));
}

std::string mid(std::string_view text, int start, int count) {
    if (start < 1 || count <= 0 || static_cast<size_t>(start) > text.size()) return {};
    return std::string(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

std::vector<std::string> split(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    int from = 1;
    for (;;) {
        int at = find(text, separator, from);
        if (at < 0) {
            if (static_cast<size_t>(from - 1) < text.size())
                pieces.emplace_back(text.substr(static_cast<size_t>(from - 1)));
            break;
        }
        pieces.emplace_back(text.substr(static_cast<size_t>(from - 1), static_cast<size_t>(at - from)));
        from = at + static_cast<int>(separator.size());
    }
    return pieces;
}

std::string_view bytesToText(std::string_view bytes) {
    size_t z = bytes.find('\0');
    return z == std::string_view::npos ? bytes : bytes.substr(0, z);
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 0x80) { ++i; continue; }
        out[i] = static_cast<char>(fold(c));
    }
    return out;
}

}  // namespace gbk

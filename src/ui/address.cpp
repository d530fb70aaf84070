#include "ui/address.h"

namespace ui {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Leading digits as a number; -1 when it exceeds 255.
int leadingNumber(std::string_view s) {
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        v = v * 10 + (c - '0');
        if (v > 255) return -1;
    }
    return v;
}

}  // namespace

std::optional<Address> parseAddressText(std::string_view text) {
    text = trim(text);
    std::string_view parts[4];
    for (int i = 0; i < 3; ++i) {
        size_t dot = text.find('.');
        if (dot == std::string_view::npos) return std::nullopt;
        parts[i] = text.substr(0, dot);
        text.remove_prefix(dot + 1);
    }
    parts[3] = text;
    Address a{};
    for (int i = 0; i < 4; ++i) {
        a[i] = leadingNumber(trim(parts[i]));
        if (a[i] < 0) return std::nullopt;
    }
    return a;
}

std::string formatAddress(const Address& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]);
}

}  // namespace ui

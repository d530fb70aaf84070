#include "skin/palette.h"

#include <algorithm>
#include <cmath>

namespace skin {

namespace {

constexpr char kMagic[4] = {'.', 'S', 'H', 'E'};
constexpr std::uint16_t kVersion = 1;

std::uint16_t u16(std::string_view b, size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}

void put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 255));
    out.push_back(static_cast<char>(v >> 8));
}

}  // namespace

Palette builtInPalette() {
    Palette p;
    p.colour[kWindow] = rgb(0xE8, 0xEF, 0xF6);
    p.colour[kText] = rgb(0x1E, 0x2A, 0x36);
    p.colour[kAccent] = rgb(0x1F, 0x78, 0xC8);
    p.colour[kCaptionText] = rgb(0xFF, 0xFF, 0xFF);
    p.colour[kButtonTop] = rgb(0xFB, 0xFD, 0xFF);
    p.colour[kButtonBottom] = rgb(0xDC, 0xE8, 0xF4);
    p.colour[kButtonHot] = rgb(0xD6, 0xEA, 0xFC);
    p.colour[kButtonPressed] = rgb(0xB9, 0xD6, 0xF2);
    p.colour[kButtonBorder] = rgb(0x7F, 0xA2, 0xC6);
    p.colour[kButtonText] = rgb(0x17, 0x2B, 0x40);
    p.colour[kEdit] = rgb(0xFF, 0xFF, 0xFF);
    p.colour[kEditText] = rgb(0x1E, 0x2A, 0x36);
    p.colour[kFrame] = rgb(0xB4, 0xC7, 0xDA);
    p.colour[kProgress] = rgb(0x2A, 0x8B, 0xD8);
    p.colour[kHeader] = rgb(0xE4, 0xEC, 0xF5);
    return p;
}

std::optional<Palette> parsePalette(std::string_view b) {
    if (b.size() < 8 || b.substr(0, 4) != std::string_view(kMagic, 4)) return std::nullopt;
    if (u16(b, 4) != kVersion) return std::nullopt;
    size_t count = u16(b, 6);
    if (b.size() < 8 + count * 6) return std::nullopt;
    Palette p = builtInPalette();
    for (size_t i = 0; i < count; ++i) {
        size_t at = 8 + i * 6;
        std::uint16_t role = u16(b, at);
        if (role >= kRoleCount) continue;
        p.colour[role] = rgb(static_cast<unsigned char>(b[at + 2]), static_cast<unsigned char>(b[at + 3]),
                             static_cast<unsigned char>(b[at + 4]));
    }
    return p;
}

std::string serializePalette(const Palette& p) {
    std::string out(kMagic, 4);
    put16(out, kVersion);
    put16(out, kRoleCount);
    for (std::uint16_t r = 0; r < kRoleCount; ++r) {
        put16(out, r);
        out.push_back(static_cast<char>(red(p.colour[r])));
        out.push_back(static_cast<char>(green(p.colour[r])));
        out.push_back(static_cast<char>(blue(p.colour[r])));
        out.push_back('\0');
    }
    return out;
}

Colour adjustColour(Colour c, int hue, int saturation, int brightness) {
    double r = red(c) / 255.0, g = green(c) / 255.0, b = blue(c) / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    double v = mx, d = mx - mn;
    double s = mx > 0 ? d / mx : 0;
    double h = 0;
    if (d > 0) {
        if (mx == r) h = 60 * std::fmod((g - b) / d, 6.0);
        else if (mx == g) h = 60 * ((b - r) / d + 2);
        else h = 60 * ((r - g) / d + 4);
    }
    h = std::fmod(h + hue, 360.0);
    if (h < 0) h += 360;
    // In double: the amounts come through the library's exported function
    // and may be any int, where 100 + amount would overflow.
    s = std::clamp(s * (100.0 + saturation) / 100.0, 0.0, 1.0);
    v = std::clamp(v * (100.0 + brightness) / 100.0, 0.0, 1.0);
    double cc = v * s, x = cc * (1 - std::fabs(std::fmod(h / 60, 2.0) - 1)), m = v - cc;
    double rr = 0, gg = 0, bb = 0;
    switch (static_cast<int>(h / 60) % 6) {
    case 0: rr = cc, gg = x; break;
    case 1: rr = x, gg = cc; break;
    case 2: gg = cc, bb = x; break;
    case 3: gg = x, bb = cc; break;
    case 4: rr = x, bb = cc; break;
    default: rr = cc, bb = x; break;
    }
    auto to = [&](double u) { return static_cast<unsigned>(std::lround((u + m) * 255)); };
    return rgb(to(rr), to(gg), to(bb));
}

Palette adjustHsv(const Palette& p, int hue, int saturation, int brightness) {
    Palette out = p;
    for (auto& c : out.colour) c = adjustColour(c, hue, saturation, brightness);
    return out;
}

}  // namespace skin

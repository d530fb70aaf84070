// The skin's palette and its data file format. Portable: the skin library
// uses it on Windows, the native tests check the format and the colour
// arithmetic.
//
// skinh.she: ".SHE", a format version (u16, little endian, 1), the number
// of entries (u16), then per entry the role (u16) and the colour as red,
// green, blue and one reserved byte. Unknown roles are skipped; roles the
// file lacks keep the built-in colours.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace skin {

enum Role : std::uint16_t {
    kWindow = 0,       // window and group backgrounds
    kText,             // text on the window background
    kAccent,           // captions, group captions, focus marks
    kCaptionText,      // text on the accent colour
    kButtonTop,        // button face, gradient top
    kButtonBottom,     // button face, gradient bottom
    kButtonHot,        // button face under the mouse
    kButtonPressed,    // button face while pressed
    kButtonBorder,
    kButtonText,
    kEdit,             // edit, combo and list backgrounds
    kEditText,
    kFrame,            // group frames and edit borders
    kProgress,         // progress bar
    kHeader,           // list header face
    kRoleCount
};

// 0x00BBGGRR, as Windows stores colours.
using Colour = std::uint32_t;
constexpr Colour rgb(unsigned r, unsigned g, unsigned b) { return (r & 255) | ((g & 255) << 8) | ((b & 255) << 16); }
constexpr unsigned red(Colour c) { return c & 255; }
constexpr unsigned green(Colour c) { return (c >> 8) & 255; }
constexpr unsigned blue(Colour c) { return (c >> 16) & 255; }

struct Palette {
    std::array<Colour, kRoleCount> colour{};
    Colour operator[](Role r) const { return colour[r]; }
};

// The colours used when no data file can be read.
Palette builtInPalette();

// Reads a data file image; nullopt when it is not one (wrong magic or
// version, truncated entries).
std::optional<Palette> parsePalette(std::string_view bytes);
std::string serializePalette(const Palette& p);

// Rotates every colour's hue by `hue` degrees and scales saturation and
// brightness by (100 + value) percent, clamped.
Palette adjustHsv(const Palette& p, int hue, int saturation, int brightness);
Colour adjustColour(Colour c, int hue, int saturation, int brightness);

}  // namespace skin

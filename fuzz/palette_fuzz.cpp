// The skin data file reader over any bytes, and the colour turn over any
// amounts: a file is taken or refused as its header and length say, a taken
// palette writes out and reads back the same, and no amount overflows.
#include <cstdint>
#include <string>

#include "check.h"
#include "skin/palette.h"

namespace {

unsigned u16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto p = skin::parsePalette(bytes);
    const bool wellFormed = size >= 8 && bytes.substr(0, 4) == ".SHE" && u16(data + 4) == 1 &&
                            size >= 8 + 6 * static_cast<size_t>(u16(data + 6));
    FUZZ_CHECK(p.has_value() == wellFormed);
    if (p) {
        const std::string written = skin::serializePalette(*p);
        const auto again = skin::parsePalette(written);
        FUZZ_CHECK(again && again->colour == p->colour);
        // Trailing bytes after the entries are ignored.
        FUZZ_CHECK(skin::parsePalette(std::string(bytes) + "tail")->colour == p->colour);
    }

    // The turn: the amounts come from outside the library (its exported
    // function takes any int).
    if (size >= 16) {
        int v[4];
        for (int i = 0; i < 4; ++i)
            v[i] = static_cast<int>(static_cast<std::uint32_t>(u16(data + 4 * i)) | (static_cast<std::uint32_t>(u16(data + 4 * i + 2)) << 16));
        const skin::Colour c = static_cast<skin::Colour>(v[0]) & 0xFFFFFF;
        const skin::Colour turned = skin::adjustColour(c, v[1], v[2], v[3]);
        FUZZ_CHECK(turned <= 0xFFFFFF);
        // No change asked, (almost) no change made.
        const skin::Colour same = skin::adjustColour(c, 0, 0, 0);
        for (int shift : {0, 8, 16})
            FUZZ_CHECK(std::abs(static_cast<int>((same >> shift) & 255) - static_cast<int>((c >> shift) & 255)) <= 1);
    }
    return 0;
}

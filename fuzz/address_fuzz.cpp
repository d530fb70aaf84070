// The address-field text rule over any text: every part is 0..255, blank
// space around the text does not matter, and the dotted form of a result
// reads back as the same address.
#include <cstdint>
#include <string>

#include "check.h"
#include "ui/address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto a = ui::parseAddressText(text);
    FUZZ_CHECK(ui::parseAddressText(" \t\r\n" + text + "\r\n\t ") == a);
    size_t dots = 0;
    for (char c : text) dots += c == '.';
    if (dots < 3) FUZZ_CHECK(!a);
    if (!a) return 0;
    for (int part : *a) FUZZ_CHECK(part >= 0 && part <= 255);
    const std::string dotted = ui::formatAddress(*a);
    FUZZ_CHECK(dotted.size() >= 7 && dotted.size() <= 15);
    FUZZ_CHECK(ui::parseAddressText(dotted) == a);
    // What follows the fourth part's digits after a blank is ignored.
    FUZZ_CHECK(ui::parseAddressText(dotted + " " + text) == a);
    return 0;
}

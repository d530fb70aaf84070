// The text rule of the IPv4 address fields, shared by both backends.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace ui {

using Address = std::array<int, 4>;

// What an address field shows for a text: white space (blank, tab, CR, LF)
// trimmed at both ends, the text cut at its first three dots into four
// parts, each part trimmed and read from its leading decimal digits (none
// reads as 0). Fewer than three dots or a number outside 0..255 gives
// nullopt: the field is cleared. So "8.8.8.8 8.8.4.4" shows 8.8.8.8 and a
// text of several lines shows the address of its first line.
std::optional<Address> parseAddressText(std::string_view text);

// The dotted form of four parts.
std::string formatAddress(const Address& a);

}  // namespace ui

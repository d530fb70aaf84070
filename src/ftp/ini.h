// Reading and writing values of an INI file held as GBK bytes, the way the
// system's private-profile functions see the file: "[section]" lines,
// "key=value" lines, names compared without regard to ASCII case, blanks
// around names and values ignored, a value wrapped in double quotes read
// without them. Writing keeps every other line of the file as it was.
#pragma once

#include <string>
#include <string_view>

namespace ftp {

// The longest value read, in bytes.
inline constexpr size_t kIniValueMax = 10239;

// The value of `key` in `section`; "" when either is missing.
std::string iniRead(std::string_view file, std::string_view section, std::string_view key);

// The file with `key` in `section` set to `value`: the key's line is
// replaced, or added at the end of the section, or the section is added at
// the end of the file. New lines end in CR LF.
std::string iniWrite(std::string_view file, std::string_view section, std::string_view key, std::string_view value);

}  // namespace ftp

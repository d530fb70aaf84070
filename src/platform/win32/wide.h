// UTF-8 <-> UTF-16 at the edge of every Win32 call. The tool keeps its text
// in UTF-8; the W functions want UTF-16. Both directions are lossless for
// valid input; an invalid UTF-8 sequence becomes U+FFFD and an unpaired
// surrogate becomes U+FFFD in the UTF-8 result. Never throws except for
// std::bad_alloc.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace win32

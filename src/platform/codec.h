// GBK (code page 936) <-> UTF-8. Inside the tool every text is UTF-8; GBK is
// kept where the outside world relies on its bytes (service pages, Config.ini,
// the scratch batch file). Windows converts through code page 936, the native
// build through iconv; bytes that do not decode become U+FFFD, characters GBK
// cannot hold become "?".
#pragma once

#include <string>
#include <string_view>

namespace codec {

std::string gbkToUtf8(std::string_view gbk);
std::string utf8ToGbk(std::string_view utf8);

}  // namespace codec

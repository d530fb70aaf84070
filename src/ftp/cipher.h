// The cipher of the remembered login. Each value of Config.ini is stored
// enciphered under a fixed key, as two upper-case hex digits and a comma per
// byte. It works on GBK bytes, so files written by earlier versions keep
// reading back. The counters of its key schedule and generator are kept as
// positions counted from 1 and fed back as such, which makes it differ from
// RC4 from the second step on: RC4 cannot read these values.
#pragma once

#include <string>
#include <string_view>

namespace ftp {

inline constexpr std::string_view kCipherKey = "MD58401735529";

// The byte stream transform; the same call enciphers and deciphers.
std::string cipherBytes(std::string_view bytes);

// GBK bytes -> text form ("0A,FF,00,"); "" for "".
std::string encipher(std::string_view gbk);

// Text form -> GBK bytes, up to the first zero byte. Commas are optional and
// hex digits may be lower case; an odd last digit forms a byte of its own;
// any other character counts as the digit 0.
std::string decipher(std::string_view text);

}  // namespace ftp

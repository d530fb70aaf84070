// Text helpers over GBK byte strings. Lengths and positions count bytes,
// positions are 1-based, a failed search yields -1. A byte of 128 or more
// starts a two-byte character; searches only try a match where a character
// starts, so a marker such as "[" is never found inside the second byte of a
// Chinese character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace gbk {

// First occurrence of `marker` at or after the 1-based byte position
// `start`, -1 when absent. `ignoreCase` folds ASCII letters only. An empty
// marker is never found.
int find(std::string_view text, std::string_view marker, int start = 1, bool ignoreCase = false);

// The first / last `count` bytes; empty for a non-positive count, the whole
// text when the count exceeds its length.
std::string left(std::string_view text, int count);
std::string right(std::string_view text, int count);

// `count` bytes from the 1-based `start`; empty when start lies outside the
// text or count is not positive; shorter when the text ends first.
std::string mid(std::string_view text, int start, int count);

// Pieces between separators, found character-aware. An empty text gives no
// piece and a trailing separator gives no empty last piece; empty pieces
// inside the text are kept. An empty separator yields the whole text.
std::vector<std::string> split(std::string_view text, std::string_view separator);

// A byte block taken as text: the bytes up to the first zero byte.
std::string_view bytesToText(std::string_view bytes);

// ASCII-only lower / upper case; bytes of two-byte characters unchanged.
std::string lowerAscii(std::string_view text);

}  // namespace gbk

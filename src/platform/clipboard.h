// The system clipboard, plain text.
#pragma once

#include <string_view>

namespace platform {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's content with this text (UTF-8; an empty text
    // too). Returns whether the clipboard took it.
    virtual bool setText(std::string_view utf8) = 0;
};

}  // namespace platform

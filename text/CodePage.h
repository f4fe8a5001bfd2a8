// Conversion between the program's code page and UTF-8, used only where text
// crosses into GTK or WebKit.
#pragma once

#include <string>
#include <string_view>

#include "text/Text.h"

namespace qinvara {

// Bytes that are not valid GB18030 come out as U+FFFD, one per byte, so that
// nothing is cut off and nothing crashes.
std::string ToUtf8(const Text& text);

// Invalid UTF-8 is replaced the same way, as GB18030's encoding of U+FFFD.
Text FromUtf8(std::string_view utf8);

}  // namespace qinvara

#pragma once

#include "text/Text.h"

namespace qinvara {

// Drops every ASCII space and every ideographic space (0xA1 0xA1) from a
// query, walking it as double-byte text: a byte of 0x80 or more leads a pair
// with whatever byte follows, and a lead byte at the very end is dropped.
Text RemoveAllSpaces(const Text& text);

}  // namespace qinvara

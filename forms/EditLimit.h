// The byte limit of an edit field, counted in the program's code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qinvara::forms {

// The longest prefix of `insertion` (whole characters, UTF-8) that keeps
// `current` plus the insertion within `maxBytes` code-page bytes.
std::string FittingInsertion(std::string_view currentUtf8, std::string_view insertionUtf8,
                             std::size_t maxBytes);

}  // namespace qinvara::forms

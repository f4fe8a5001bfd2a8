#pragma once

namespace qinvara::forms {

// Where a window of `size` starts on a screen of `screen`, truncated toward
// zero: a window wider than the screen starts left of it.
constexpr int CentredOrigin(int screen, int size) { return (screen - size) / 2; }

}  // namespace qinvara::forms

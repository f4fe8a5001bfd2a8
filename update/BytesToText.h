// Turns a fetched body into the program's text.
#pragma once

#include "text/Bytes.h"
#include "text/Text.h"

namespace qinvara {

// The bytes before the first NUL (all of them when there is none), copied as
// they are: no code-page conversion, no trimming, no byte-order mark removal.
Text BytesToText(const Bytes& body);

}  // namespace qinvara

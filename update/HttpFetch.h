// The one HTTP request the program makes itself: a blocking GET.
#pragma once

#include "text/Bytes.h"
#include "text/Text.h"

namespace qinvara {

// Fetches `address` (http or https) and returns the whole response body,
// whatever the status; the bytes received before a failure; empty when
// nothing could be fetched. Never reports an error in any other way.
Bytes HttpFetch(const Text& address);

}  // namespace qinvara

// The mirror's addresses: where a search goes and where the results end.
#pragma once

#include <array>

#include "text/Text.h"

namespace qinvara {

// The query and what follows it stand after "#": the mirror's page reads
// them, the request names only the page. Joined as they are, unescaped.
Text SearchUrl(const Text& query);

// The addresses at which the result view goes away, in the order they are
// tested; the last is the empty address.
const std::array<Text, 5>& HomePageAddresses();

}  // namespace qinvara

// The program's one permanent window: the painted title strip, the search
// page and the result view laid over it.
#pragma once

#include "forms/FormTable.h"

namespace qinvara {

const forms::Form& MainWindowForm();

}  // namespace qinvara

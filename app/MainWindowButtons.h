// The title strip's own buttons.
#pragma once

#include "forms/FormLayer.h"

namespace qinvara {

forms::Reply CloseButtonClicked(forms::FormLayer& layer, const forms::EventArgs& args);
// The form binds nothing to this button; users expect it to minimise the window.
forms::Reply MinimizeButtonClicked(forms::FormLayer& layer, const forms::EventArgs& args);

}  // namespace qinvara

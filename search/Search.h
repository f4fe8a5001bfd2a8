// The search page of MainWindow and the result view laid over it.
#pragma once

#include "forms/FormLayer.h"

namespace qinvara {

// Cleans the query in SearchBox and sends ResultView to the mirror's results.
void RunSearch(forms::FormLayer& layer);
// Stops the home-page watch and takes the result view away.
void CloseResults(forms::FormLayer& layer);
// Hides the result view when it shows one of the mirror's home pages.
void CheckHomePage(forms::FormLayer& layer);

// Handlers bound in MainWindow's form.
forms::Reply SearchBoxKeyPressed(forms::FormLayer& layer, const forms::EventArgs& args);
forms::Reply SearchButtonClicked(forms::FormLayer& layer, const forms::EventArgs& args);
forms::Reply HomeButtonClicked(forms::FormLayer& layer, const forms::EventArgs& args);
forms::Reply BackButtonClicked(forms::FormLayer& layer, const forms::EventArgs& args);
forms::Reply ForwardButtonClicked(forms::FormLayer& layer, const forms::EventArgs& args);
forms::Reply HomeWatchTimerTick(forms::FormLayer& layer, const forms::EventArgs& args);

}  // namespace qinvara

// The update check made at every start, before MainWindow is first shown.
#pragma once

#include "forms/FormLayer.h"
#include "forms/FormTable.h"

namespace qinvara {

// Asks the update server for its switch and, when it reads exactly "1",
// shows the reminder modally.
void RunUpdateCheck(forms::FormLayer& layer);

// MainWindow's Created.
forms::Reply MainWindowCreated(forms::FormLayer& layer, const forms::EventArgs& args);

// The reminder window's form.
const forms::Form& UpdateWindowForm();

}  // namespace qinvara

#include "app/MainWindowButtons.h"

namespace qinvara {

forms::Reply CloseButtonClicked(forms::FormLayer& layer, const forms::EventArgs&) {
    layer.UnloadWindow("MainWindow");
    return forms::Reply::Nothing;
}

forms::Reply MinimizeButtonClicked(forms::FormLayer& layer, const forms::EventArgs&) {
    layer.Minimize("MainWindow");
    return forms::Reply::Nothing;
}

}  // namespace qinvara

#include "update/UpdateCheck.h"

#include "update/BytesToText.h"
#include "update/HttpFetch.h"
#include "update/UpdateAddresses.h"

namespace qinvara {

void RunUpdateCheck(forms::FormLayer& layer) {
    bool switchedOn = BytesToText(HttpFetch(UpdateSwitchUrl())) == Text("1");
    if (switchedOn) layer.LoadWindow(UpdateWindowForm(), true);
}

forms::Reply MainWindowCreated(forms::FormLayer& layer, const forms::EventArgs&) {
    RunUpdateCheck(layer);
    return forms::Reply::Nothing;
}

}  // namespace qinvara

// The update server's addresses, for version 1.0 of the program.
#pragma once

#include "hosts.h"
#include "text/Text.h"

namespace qinvara {

inline Text UpdateSwitchUrl() {
    return Text("http://") + Text(UpdateHost) + Text("/cp/qvnr/gx/1.0/gxkg.txt");
}
inline Text LatestVersionUrl() {
    return Text("http://") + Text(UpdateHost) + Text("/cp/qvnr/gx/zxbb.txt");
}
inline Text UpdateNotesUrl() {
    return Text("http://") + Text(UpdateHost) + Text("/cp/qvnr/gx/gxxx.txt");
}
inline Text DownloadPageUrl() {
    return Text("http://") + Text(UpdateHost) + Text("/cp/qvnr/gx.html?1.0");
}

}  // namespace qinvara

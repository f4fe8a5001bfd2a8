// The web-browser views of the program's windows, on WebKitGTK.
#pragma once

#include <gtk/gtk.h>

namespace qinvara::forms {

// A new view in the program's one web context. A silent view answers every
// dialog and permission request of its pages without showing anything.
// Pages may open windows of their own; each opens as a plain top-level
// window outside the program's windows.
GtkWidget* NewBrowserView(bool silent);

}  // namespace qinvara::forms

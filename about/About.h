// The About window: the product's name, version and description, the legal
// statement and the link to the maker's site.
#pragma once

#include "forms/FormLayer.h"
#include "forms/FormTable.h"

namespace qinvara {

// Hides MainWindow and shows the About window modally; MainWindow comes
// back when it closes.
void OpenAboutWindow(forms::FormLayer& layer);

// AboutLabel's LeftMousePressed, bound in MainWindow's form.
forms::Reply AboutLabelPressed(forms::FormLayer& layer, const forms::EventArgs& args);

const forms::Form& AboutWindowForm();

}  // namespace qinvara

// The look of the text controls: transparent labels, edit fields and the
// read-only rich-text box.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "forms/FormTable.h"

namespace qinvara::forms {

// One line in the label's colour and font, vertically centred, over
// whatever lies behind it. `text` is read at every paint.
GtkWidget* MakeTransparentLabel(const LabelProps& label, const std::string& text);

GtkWidget* MakeSingleLineEdit(const EditProps& edit);
GtkWidget* MakePushButton(const PushButtonProps& button);

// Return the scrolled frame to place; `*text` gets the text view inside.
GtkWidget* MakeMultiLineEdit(const EditProps& edit, GtkWidget** text);
GtkWidget* MakeReadOnlyRichText(const RichTextProps& rich, GtkWidget** text);

}  // namespace qinvara::forms

#include "forms/gtk/ControlStyle.h"

#include <pango/pangocairo.h>

#include "forms/gtk/GObjectRef.h"

namespace qinvara::forms {
namespace {

struct LabelPaint {
    const LabelProps* props;
    const std::string* text;
};

// A font with a pixel height of its own keeps the desktop's face.
PangoFontDescription* FontFor(GtkWidget* widget, const Font& font) {
    PangoFontDescription* description = pango_font_description_copy(
        pango_context_get_font_description(gtk_widget_get_pango_context(widget)));
    if (!font.family.empty()) pango_font_description_set_family(description, font.family.c_str());
    if (font.pixelHeight > 0)
        pango_font_description_set_absolute_size(description, font.pixelHeight * PANGO_SCALE);
    if (font.points > 0) pango_font_description_set_size(description, font.points * PANGO_SCALE);
    pango_font_description_set_weight(description, static_cast<PangoWeight>(font.weight));
    return description;
}

gboolean PaintLabel(GtkWidget* widget, cairo_t* cr, gpointer data) {
    const auto* paint = static_cast<const LabelPaint*>(data);
    GObjectRef<PangoLayout> layout =
        GObjectRef<PangoLayout>::Adopt(gtk_widget_create_pango_layout(widget, nullptr));
    pango_layout_set_text(layout.get(), paint->text->c_str(), -1);
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);  // one line, whatever it holds
    PangoFontDescription* font = FontFor(widget, paint->props->font);
    pango_layout_set_font_description(layout.get(), font);
    pango_font_description_free(font);
    int textWidth = 0, textHeight = 0;
    pango_layout_get_pixel_size(layout.get(), &textWidth, &textHeight);
    int width = gtk_widget_get_allocated_width(widget);
    int height = gtk_widget_get_allocated_height(widget);
    int x = paint->props->align == Align::Centre ? (width - textWidth) / 2 : 0;
    const Rgb& c = paint->props->colour;
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
    int y = (height - textHeight) / 2;  // whole pixels, as the text is laid out
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout.get());
    return TRUE;
}

void Style(GtkWidget* widget, const std::string& css) {
    GObjectRef<GtkCssProvider> provider = GObjectRef<GtkCssProvider>::Adopt(gtk_css_provider_new());
    gtk_css_provider_load_from_data(provider.get(), css.c_str(), -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                   GTK_STYLE_PROVIDER(provider.get()),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

std::string FontCss(const Font& font) {
    std::string css;
    if (!font.family.empty()) css += "font-family: " + font.family + ";";
    if (font.pixelHeight > 0) css += "font-size: " + std::to_string(font.pixelHeight) + "px;";
    if (font.points > 0) css += "font-size: " + std::to_string(font.points) + "pt;";
    css += "font-weight: " + std::to_string(font.weight) + ";";
    return css;
}

}  // namespace

GtkWidget* MakeTransparentLabel(const LabelProps& label, const std::string& text) {
    GtkWidget* area = gtk_drawing_area_new();
    auto* paint = new LabelPaint{&label, &text};  // freed with the widget
    g_object_set_data_full(G_OBJECT(area), "qinvara-label", paint,
                           [](gpointer p) { delete static_cast<LabelPaint*>(p); });
    g_signal_connect(area, "draw", G_CALLBACK(PaintLabel), paint);
    return area;
}

GtkWidget* MakePushButton(const PushButtonProps& button) {
    GtkWidget* widget = gtk_button_new_with_label(button.text.c_str());
    // The form's size, not the theme's minimum.
    Style(widget, "button { min-height: 0; min-width: 0; padding: 0 2px; }");
    return widget;
}

GtkWidget* MakeSingleLineEdit(const EditProps& edit) {
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), edit.text.c_str());
    gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
    gtk_entry_set_has_frame(GTK_ENTRY(entry), TRUE);
    // A sunken edge, black on white; the selection shows only with the focus.
    Style(entry,
          "entry { " + FontCss(edit.font) +
              " color: black; background: white; background-image: none; border-radius: 0;"
              " border: 2px inset #a0a0a0; padding: 0 2px; min-height: 0; box-shadow: none; }"
              " entry:not(:focus) selection { background-color: transparent; color: black; }");
    return entry;
}

namespace {

// A text view in a frame that scrolls it vertically only, its scroll bar
// shown rather than laid over the text.
GtkWidget* ScrolledTextView(const std::string& content, GtkPolicyType vertical, GtkShadowType edge,
                            const std::string& css, GtkWidget** text) {
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, vertical);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), edge);
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), content.c_str(), -1);
    Style(view, css);
    gtk_container_add(GTK_CONTAINER(scroller), view);
    gtk_widget_show(view);
    *text = view;
    return scroller;
}

}  // namespace

GtkWidget* MakeMultiLineEdit(const EditProps& edit, GtkWidget** text) {
    return ScrolledTextView(edit.text, GTK_POLICY_ALWAYS, GTK_SHADOW_IN,
                            "textview, textview text { " + FontCss(edit.font) +
                                " color: black; background-color: white; }"
                                " textview:not(:focus) text selection"
                                " { background-color: transparent; color: black; }",
                            text);
}

GtkWidget* MakeReadOnlyRichText(const RichTextProps& rich, GtkWidget** text) {
    GtkWidget* scroller =
        ScrolledTextView(rich.text, GTK_POLICY_AUTOMATIC, GTK_SHADOW_NONE,
                         "textview, textview text { " + FontCss(rich.font) +
                             " background-color: white; }"
                             " textview:not(:focus) text selection"
                             " { background-color: transparent; color: inherit; }",
                         text);
    gtk_text_view_set_editable(GTK_TEXT_VIEW(*text), FALSE);
    return scroller;
}

}  // namespace qinvara::forms

#include "forms/gtk/GtkPlatform.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "forms/EditLimit.h"
#include "forms/KeyCodes.h"
#include "forms/gtk/BrowserView.h"
#include "forms/gtk/ControlStyle.h"

namespace qinvara::forms {

struct GtkPlatform::Window {
    GtkPlatform* platform = nullptr;
    NativeWindow id = 0;
    WindowSpec design;
    GtkWidget* window = nullptr;
    GtkWidget* fixed = nullptr;
    std::vector<NativeControl> controls;  // in form order
    bool attached = false;

    ~Window() {
        if (window != nullptr) gtk_widget_destroy(window);
    }
};

struct GtkPlatform::Control {
    GtkPlatform* platform = nullptr;
    NativeControl id = 0;
    Window* owner = nullptr;
    ControlSpec design;
    GObjectRef<GtkWidget> outer;  // what sits in the window; null for timers
    GtkWidget* inner = nullptr;   // what takes the focus and holds the text
    Artwork picture{};
    std::string text;  // labels draw this
    int left = 0, top = 0;
    guint timer = 0;
    bool settingText = false;
    // Web views: the address the program asked for, reported until a load
    // commits or fails (or the history is stepped). While WebKit moves a
    // load to a new web process it reports, for a moment, the page it is
    // leaving or one whose load was cut short, and a home-page watch must
    // not take that for where the view is.
    std::optional<std::string> requested;
    std::string leaving;  // where the view was when it was sent away

    ~Control() {
        if (timer != 0) g_source_remove(timer);
        if (outer) gtk_widget_destroy(outer.get());
    }
};

namespace {

constexpr const char* kControlKey = "qinvara-control";

int ModifierBits(guint state) {
    int bits = 0;
    if ((state & GDK_CONTROL_MASK) != 0) bits |= modifier::Ctrl;
    if ((state & GDK_SHIFT_MASK) != 0) bits |= modifier::Shift;
    if ((state & GDK_MOD1_MASK) != 0) bits |= modifier::Alt;
    return bits;
}

// Windows' frame of a fixed dialog: 3 pixels round, a 19-pixel caption.
constexpr int kFixedFrameWidth = 6;
constexpr int kFixedFrameHeight = 25;

void SetDialogFunctions(GtkWidget* widget, gpointer data) {
    auto* design = static_cast<WindowSpec*>(data);
    GdkWindow* gdk = gtk_widget_get_window(widget);
    int functions = GDK_FUNC_MOVE | GDK_FUNC_CLOSE;
    if (design->minimizeBox) functions |= GDK_FUNC_MINIMIZE;
    if (design->maximizeBox) functions |= GDK_FUNC_MAXIMIZE;
    gdk_window_set_functions(gdk, static_cast<GdkWMFunction>(functions));
    gdk_window_set_decorations(
        gdk, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
}

}  // namespace

std::unique_ptr<GtkPlatform> GtkPlatform::Open(std::string& error) {
    // Windows stand at exact screen positions, which only X11 allows.
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(nullptr, nullptr)) {
        error = "cannot open the X display (DISPLAY is \"" +
                std::string(g_getenv("DISPLAY") != nullptr ? g_getenv("DISPLAY") : "") + "\")";
        return nullptr;
    }
    std::unique_ptr<GtkPlatform> platform(new GtkPlatform());
    platform->owner_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    // A field that gets the focus back keeps its text and caret as they were;
    // GTK would select all of it, and the next key typed would replace it.
    g_object_set(gtk_settings_get_default(), "gtk-entry-select-on-focus", FALSE, nullptr);
    gint interval = 400, distance = 5;
    g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &interval,
                 "gtk-double-click-distance", &distance, nullptr);
    platform->doubleClicks_ =
        std::make_unique<DoubleClickDetector>(static_cast<std::uint32_t>(interval), distance);
    return platform;
}

GtkPlatform::~GtkPlatform() {
    controls_.clear();
    windows_.clear();
    for (auto& [id, loop] : loops_) g_main_loop_unref(loop);
    if (owner_ != nullptr) gtk_widget_destroy(owner_);
}

GtkPlatform::Control* GtkPlatform::ControlOf(NativeControl id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second.get();
}

NativeControl GtkPlatform::ControlOfWidget(GtkWidget* widget) const {
    for (; widget != nullptr; widget = gtk_widget_get_parent(widget)) {
        gpointer id = g_object_get_data(G_OBJECT(widget), kControlKey);
        if (id != nullptr) return static_cast<NativeControl>(GPOINTER_TO_UINT(id));
    }
    return 0;
}

// ---- windows ----------------------------------------------------------------------

NativeWindow GtkPlatform::CreateWindow(const WindowSpec& design, bool owned) {
    auto w = std::make_unique<Window>();
    w->platform = this;
    w->id = nextId_++;
    w->design = design;
    w->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(w->window);
    gtk_window_set_title(window, design.caption.c_str());
    gtk_window_set_resizable(window, FALSE);
    int clientWidth = design.width, clientHeight = design.height;
    if (design.border == Border::None) {
        gtk_window_set_decorated(window, FALSE);
    } else {
        clientWidth -= kFixedFrameWidth;
        clientHeight -= kFixedFrameHeight;
        // Connected after GTK's own handler, which sets functions of its own.
        g_signal_connect_after(w->window, "realize", G_CALLBACK(SetDialogFunctions), &w->design);
    }
    if (owned) {
        gtk_window_set_transient_for(window, GTK_WINDOW(owner_));
        // A dialog is what window managers give the focus to when it opens.
        gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
        gtk_window_set_skip_taskbar_hint(window, TRUE);
        gtk_window_set_skip_pager_hint(window, TRUE);
    }
    if (design.icon == WindowIcon::ProgramIcon) {
        gtk_window_set_icon(window, pictures_.Pixbuf(Artwork::ProgramIcon));
    } else if (design.icon == WindowIcon::BlueG) {
        GList* icons = g_list_append(nullptr, pictures_.Pixbuf(Artwork::BlueG16));
        icons = g_list_append(icons, pictures_.Pixbuf(Artwork::BlueG32));
        gtk_window_set_icon_list(window, icons);
        g_list_free(icons);
    }
    // A layout, not a GtkFixed: a control may stick out of the window (the
    // reminder's clipped separator), and a GtkFixed would grow to hold it.
    w->fixed = gtk_layout_new(nullptr, nullptr);
    gtk_widget_add_events(w->fixed, GDK_BUTTON_PRESS_MASK);
    gtk_widget_set_size_request(w->fixed, clientWidth, clientHeight);
    gtk_container_add(GTK_CONTAINER(w->window), w->fixed);
    gtk_widget_show(w->fixed);
    gtk_widget_add_events(w->window, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(w->fixed, "draw", G_CALLBACK(OnDrawBackground), w.get());
    g_signal_connect(w->window, "delete-event", G_CALLBACK(OnDelete), w.get());
    g_signal_connect(w->window, "key-press-event", G_CALLBACK(OnKeyPress), w.get());
    g_signal_connect(w->window, "button-press-event", G_CALLBACK(OnBodyPress), w.get());
    g_signal_connect(w->window, "notify::is-active", G_CALLBACK(OnActiveChanged), w.get());
    g_signal_connect(w->window, "map-event", G_CALLBACK(OnMapped), w.get());
    NativeWindow id = w->id;
    windows_[id] = std::move(w);
    return id;
}

void GtkPlatform::MoveWindow(NativeWindow window, int x, int y) {
    Window& w = *windows_.at(window);
    // A position the user chose: window managers keep it even when the
    // window sticks out of the screen, where they would pull a position the
    // program chose back onto it.
    GdkGeometry unused{};
    gtk_window_set_geometry_hints(GTK_WINDOW(w.window), nullptr, &unused, GDK_HINT_USER_POS);
    gtk_window_move(GTK_WINDOW(w.window), x, y);
}

gboolean GtkPlatform::OnMapped(GtkWidget*, GdkEvent*, gpointer self) {
    auto* w = static_cast<Window*>(self);
    if (w->design.border == Border::Fixed) FitOuterSize(*w);
    return FALSE;
}

// A framed window's size counts its frame and title bar, whose sizes only
// the window manager knows: once it has framed the window, the client area
// is made what is left of the outer size.
void GtkPlatform::FitOuterSize(Window& w) {
    GdkWindow* gdk = gtk_widget_get_window(w.window);
    GdkRectangle frame;
    gdk_window_get_frame_extents(gdk, &frame);
    int frameWidth = frame.width - gdk_window_get_width(gdk);
    int frameHeight = frame.height - gdk_window_get_height(gdk);
    if (frameWidth <= 0 && frameHeight <= 0) return;  // not framed (yet)
    gtk_widget_set_size_request(w.fixed, w.design.width - frameWidth,
                                w.design.height - frameHeight);
}

void GtkPlatform::AttachPendingControls(Window& w) {
    if (w.attached) return;
    w.attached = true;
    // The layout paints later children over earlier ones; the first control
    // of a form lies on top, so they go in from the last.
    for (auto it = w.controls.rbegin(); it != w.controls.rend(); ++it) {
        Control* c = ControlOf(*it);
        if (c != nullptr && c->outer)
            gtk_layout_put(GTK_LAYOUT(w.fixed), c->outer.get(), c->left, c->top);
    }
}

void GtkPlatform::ShowWindow(NativeWindow window) {
    Window& w = *windows_.at(window);
    AttachPendingControls(w);
    gtk_window_present(GTK_WINDOW(w.window));
}

void GtkPlatform::HideWindow(NativeWindow window) { gtk_widget_hide(windows_.at(window)->window); }

void GtkPlatform::ActivateWindow(NativeWindow window) {
    Window& w = *windows_.at(window);
    if (gtk_widget_get_visible(w.window)) gtk_window_present(GTK_WINDOW(w.window));
}

void GtkPlatform::MinimizeWindow(NativeWindow window) {
    gtk_window_iconify(GTK_WINDOW(windows_.at(window)->window));
}

void GtkPlatform::SetWindowEnabled(NativeWindow window, bool enabled) {
    gtk_widget_set_sensitive(windows_.at(window)->window, enabled);
}

bool GtkPlatform::IsWindowEnabled(NativeWindow window) const {
    return gtk_widget_get_sensitive(windows_.at(window)->window) != FALSE;
}

void GtkPlatform::DestroyWindow(NativeWindow window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    for (NativeControl c : it->second->controls) controls_.erase(c);
    windows_.erase(it);
}

void GtkPlatform::BeginMoveByBody(NativeWindow window) {
    GdkEvent* event = gtk_get_current_event();
    if (event == nullptr) return;
    if (event->type == GDK_BUTTON_PRESS) {
        gtk_window_begin_move_drag(GTK_WINDOW(windows_.at(window)->window),
                                   static_cast<gint>(event->button.button),
                                   static_cast<gint>(event->button.x_root),
                                   static_cast<gint>(event->button.y_root), event->button.time);
    }
    gdk_event_free(event);
}

ScreenSize GtkPlatform::PrimaryScreen() const {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return {};
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    return {area.width, area.height};
}

// ---- window events ------------------------------------------------------------------

gboolean GtkPlatform::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    auto* w = static_cast<Window*>(self);
    w->platform->listener_->CloseRequested(w->id);
    return TRUE;  // the layer destroys the window itself
}

gboolean GtkPlatform::OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self) {
    auto* w = static_cast<Window*>(self);
    // The key's own code, whatever Shift or Caps Lock made of it; Num Lock
    // still decides between the keypad's digits and its arrows.
    guint keyval = event->keyval;
    guint unshifted = 0;
    if (gdk_keymap_translate_keyboard_state(
            gdk_keymap_get_for_display(gtk_widget_get_display(widget)), event->hardware_keycode,
            static_cast<GdkModifierType>(event->state & GDK_MOD2_MASK), event->group, &unshifted,
            nullptr, nullptr, nullptr)) {
        keyval = unshifted;
    }
    KeyInput key;
    key.virtualKey = VirtualKeyFromKeysym(keyval);
    if (key.virtualKey == 0) key.virtualKey = VirtualKeyFromKeysym(event->keyval);
    key.modifiers = ModifierBits(event->state);
    key.focused = w->platform->ControlOfWidget(gtk_window_get_focus(GTK_WINDOW(widget)));
    Control* focused = w->platform->ControlOf(key.focused);
    if (focused != nullptr && focused->design.kind() == ControlKind::WebView) {
        GtkPlatform& p = *w->platform;
        key.leftByBrowser =
            event->time == p.keyAtBrowserTime_ && event->hardware_keycode == p.keyAtBrowserCode_;
        p.keyAtBrowserTime_ = key.leftByBrowser ? 0 : event->time;
        p.keyAtBrowserCode_ = key.leftByBrowser ? 0 : event->hardware_keycode;
    }
    return w->platform->listener_->KeyDown(w->id, key) == KeyRoute::Consumed ? TRUE : FALSE;
}

bool GtkPlatform::Pressed(GtkWidget* widget, GdkEventButton* event, bool& secondPress) {
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) return false;
    secondPress = doubleClicks_->IsSecondPress(widget, event->time, static_cast<int>(event->x_root),
                                               static_cast<int>(event->y_root));
    return true;
}

gboolean GtkPlatform::OnBodyPress(GtkWidget* widget, GdkEventButton* event, gpointer self) {
    auto* w = static_cast<Window*>(self);
    bool second = false;
    if (!w->platform->Pressed(widget, event, second)) return FALSE;
    w->platform->listener_->LeftPressed(w->id, 0, static_cast<int>(event->x),
                                        static_cast<int>(event->y), ModifierBits(event->state),
                                        second);
    return TRUE;
}

void GtkPlatform::OnActiveChanged(GObject* object, GParamSpec*, gpointer self) {
    auto* w = static_cast<Window*>(self);
    GtkWindow* window = GTK_WINDOW(object);
    if (gtk_window_is_active(window)) {
        w->platform->listener_->Activated(w->id);
    } else {
        w->platform->listener_->Deactivated(
            w->id, w->platform->ControlOfWidget(gtk_window_get_focus(window)));
    }
}

gboolean GtkPlatform::OnDrawBackground(GtkWidget*, cairo_t* cr, gpointer self) {
    auto* w = static_cast<Window*>(self);
    if (w->design.hasBackgroundColour) {
        const Rgb& c = w->design.backgroundColour;
        cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
        cairo_paint(cr);
    }
    if (w->design.hasBackgroundPicture) {
        cairo_pattern_t* tile = cairo_pattern_create_for_surface(
            w->platform->pictures_.Surface(w->design.backgroundPicture));
        cairo_pattern_set_extend(tile, CAIRO_EXTEND_REPEAT);
        cairo_set_source(cr, tile);
        cairo_paint(cr);
        cairo_pattern_destroy(tile);
    }
    return FALSE;  // the controls are drawn next
}

// ---- controls -------------------------------------------------------------------------

NativeControl GtkPlatform::CreateControl(NativeWindow window, const ControlSpec& design) {
    auto c = std::make_unique<Control>();
    c->platform = this;
    c->id = nextId_++;
    c->owner = windows_.at(window).get();
    c->design = design;
    c->left = design.left;
    c->top = design.top;
    GtkWidget* outer = MakeWidget(*c);
    if (outer != nullptr) {
        c->outer = GObjectRef<GtkWidget>::Share(outer);
        gtk_widget_set_size_request(outer, design.width, design.height);
        g_object_set_data(G_OBJECT(outer), kControlKey, GUINT_TO_POINTER(c->id));
    }
    NativeControl id = c->id;
    c->owner->controls.push_back(id);
    if (c->owner->attached && outer != nullptr)
        gtk_layout_put(GTK_LAYOUT(c->owner->fixed), outer, c->left, c->top);
    Control& made = *c;
    controls_[id] = std::move(c);
    if (const auto* view = std::get_if<WebViewProps>(&design.props);
        view != nullptr && !view->address.empty()) {
        // Started here, not awaited.
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(made.inner), view->address.c_str());
    }
    return id;
}

GtkWidget* GtkPlatform::MakeWidget(Control& c) {
    const ControlSpec& design = c.design;
    switch (design.kind()) {
        case ControlKind::ImageButton: {
            c.picture = std::get<ImageButtonProps>(design.props).normal;
            GtkWidget* area = gtk_drawing_area_new();
            gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                            GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK |
                                            GDK_POINTER_MOTION_MASK);
            g_signal_connect(area, "draw", G_CALLBACK(OnDrawImageButton), &c);
            for (const char* signal :
                 {"button-press-event", "button-release-event", "enter-notify-event",
                  "leave-notify-event", "motion-notify-event"}) {
                g_signal_connect(area, signal, G_CALLBACK(OnButtonPointer), &c);
            }
            c.inner = area;
            return area;
        }
        case ControlKind::TransparentLabel: {
            const auto& label = std::get<LabelProps>(design.props);
            c.text = label.text;
            GtkWidget* area = MakeTransparentLabel(label, c.text);
            gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK);
            g_signal_connect(area, "button-press-event", G_CALLBACK(OnControlPress), &c);
            c.inner = area;
            return area;
        }
        case ControlKind::EditBox: {
            const auto& edit = std::get<EditProps>(design.props);
            if (edit.multiLine) {
                GtkWidget* scroller = MakeMultiLineEdit(edit, &c.inner);
                g_object_set_data(G_OBJECT(c.inner), kControlKey, GUINT_TO_POINTER(c.id));
                return scroller;
            }
            c.inner = MakeSingleLineEdit(edit);
            if (edit.maxBytes > 0)
                g_signal_connect(c.inner, "insert-text", G_CALLBACK(OnInsertText), &c);
            g_signal_connect(c.inner, "button-press-event", G_CALLBACK(OnControlPress), &c);
            return c.inner;
        }
        case ControlKind::PushButton: {
            c.inner = MakePushButton(std::get<PushButtonProps>(design.props));
            g_signal_connect(c.inner, "clicked", G_CALLBACK(OnPushButtonClicked), &c);
            return c.inner;
        }
        case ControlKind::RichTextBox: {
            GtkWidget* scroller =
                MakeReadOnlyRichText(std::get<RichTextProps>(design.props), &c.inner);
            g_object_set_data(G_OBJECT(c.inner), kControlKey, GUINT_TO_POINTER(c.id));
            return scroller;
        }
        case ControlKind::PictureBox: {
            c.picture = std::get<PictureProps>(design.props).picture;
            GtkWidget* area = gtk_drawing_area_new();
            gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK);
            g_signal_connect(area, "draw", G_CALLBACK(OnDrawPicture), &c);
            g_signal_connect(area, "button-press-event", G_CALLBACK(OnControlPress), &c);
            c.inner = area;
            return area;
        }
        case ControlKind::WebView:
            c.inner = NewBrowserView(std::get<WebViewProps>(design.props).silent);
            g_signal_connect(c.inner, "load-changed", G_CALLBACK(OnLoadChanged), &c);
            g_signal_connect(c.inner, "load-failed", G_CALLBACK(OnLoadFailed), &c);
            g_signal_connect(c.inner, "notify::uri", G_CALLBACK(OnAddressChanged), &c);
            return c.inner;
        case ControlKind::Timer:
            return nullptr;
    }
    return nullptr;
}

void GtkPlatform::SetControlVisible(NativeControl control, bool visible) {
    Control* c = ControlOf(control);
    if (c != nullptr && c->outer) gtk_widget_set_visible(c->outer.get(), visible);
}

void GtkPlatform::MoveControl(NativeControl control, int left, int top) {
    Control* c = ControlOf(control);
    if (c == nullptr || !c->outer) return;
    c->left = left;
    c->top = top;
    if (gtk_widget_get_parent(c->outer.get()) != nullptr)
        gtk_layout_move(GTK_LAYOUT(c->owner->fixed), c->outer.get(), left, top);
}

void GtkPlatform::ResizeControl(NativeControl control, int width, int height) {
    Control* c = ControlOf(control);
    if (c != nullptr && c->outer) gtk_widget_set_size_request(c->outer.get(), width, height);
}

void GtkPlatform::FocusControl(NativeControl control) {
    Control* c = ControlOf(control);
    if (c != nullptr && c->inner != nullptr) gtk_widget_grab_focus(c->inner);
}

std::string GtkPlatform::ControlText(NativeControl control) const {
    Control* c = ControlOf(control);
    if (c == nullptr) return {};
    if (GTK_IS_ENTRY(c->inner)) return gtk_entry_get_text(GTK_ENTRY(c->inner));
    if (GTK_IS_TEXT_VIEW(c->inner)) {
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(c->inner));
        GtkTextIter start, end;
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, TRUE);
        std::string result(text);
        g_free(text);
        return result;
    }
    if (GTK_IS_BUTTON(c->inner)) return gtk_button_get_label(GTK_BUTTON(c->inner));
    return c->text;
}

void GtkPlatform::SetControlText(NativeControl control, const std::string& utf8) {
    Control* c = ControlOf(control);
    if (c == nullptr) return;
    if (GTK_IS_ENTRY(c->inner)) {
        // The byte limit is for what the user types and pastes, not for the program.
        c->settingText = true;
        gtk_entry_set_text(GTK_ENTRY(c->inner), utf8.c_str());
        c->settingText = false;
    } else if (GTK_IS_TEXT_VIEW(c->inner)) {
        gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(c->inner)), utf8.c_str(),
                                 -1);
    } else if (GTK_IS_BUTTON(c->inner)) {
        gtk_button_set_label(GTK_BUTTON(c->inner), utf8.c_str());
    } else {
        c->text = utf8;
        if (c->inner != nullptr) gtk_widget_queue_draw(c->inner);
    }
}

void GtkPlatform::ShowPicture(NativeControl imageButton, Artwork picture) {
    Control* c = ControlOf(imageButton);
    if (c == nullptr) return;
    c->picture = picture;
    gtk_widget_queue_draw(c->inner);
}

// ---- control events ------------------------------------------------------------------------

gboolean GtkPlatform::OnControlPress(GtkWidget* widget, GdkEventButton* event, gpointer self) {
    auto* c = static_cast<Control*>(self);
    bool second = false;
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) {
        // A label ignores the toolkit's own double-press reports.
        return c->design.kind() == ControlKind::TransparentLabel ? TRUE : FALSE;
    }
    c->platform->Pressed(widget, event, second);
    bool passOn = c->platform->listener_->LeftPressed(
        c->owner->id, c->id, static_cast<int>(event->x), static_cast<int>(event->y),
        ModifierBits(event->state), second);
    // Labels and pictures end the press here: it must never move the window.
    if (c->design.kind() == ControlKind::TransparentLabel ||
        c->design.kind() == ControlKind::PictureBox)
        return TRUE;
    return passOn ? FALSE : TRUE;
}

gboolean GtkPlatform::OnButtonPointer(GtkWidget* widget, GdkEvent* event, gpointer self) {
    auto* c = static_cast<Control*>(self);
    GtkAllocation area;
    gtk_widget_get_allocation(widget, &area);
    auto over = [&](double x, double y) {
        return x >= 0 && y >= 0 && x < area.width && y < area.height;
    };
    PlatformListener* listener = c->platform->listener_;
    switch (event->type) {
        case GDK_ENTER_NOTIFY:
            listener->ImageButtonPointer(
                c->id, {PointerAction::Enter, over(event->crossing.x, event->crossing.y)});
            break;
        case GDK_LEAVE_NOTIFY:
            listener->ImageButtonPointer(
                c->id, {PointerAction::Leave, over(event->crossing.x, event->crossing.y)});
            break;
        case GDK_MOTION_NOTIFY:
            listener->ImageButtonPointer(
                c->id, {PointerAction::Motion, over(event->motion.x, event->motion.y)});
            break;
        case GDK_BUTTON_PRESS: {
            if (event->button.button != GDK_BUTTON_PRIMARY) break;
            bool second = false;
            c->platform->Pressed(widget, &event->button, second);
            NativeControl id = c->id;
            if (!listener->LeftPressed(c->owner->id, id, static_cast<int>(event->button.x),
                                       static_cast<int>(event->button.y),
                                       ModifierBits(event->button.state), second)) {
                break;
            }
            if (c->platform->ControlOf(id) == nullptr) break;
            listener->ImageButtonPointer(
                id, {second ? PointerAction::DoublePress : PointerAction::Press, true});
            break;
        }
        case GDK_BUTTON_RELEASE:
            if (event->button.button != GDK_BUTTON_PRIMARY) break;
            listener->ImageButtonPointer(
                c->id, {PointerAction::Release, over(event->button.x, event->button.y)});
            break;
        default:
            break;
    }
    return TRUE;  // presses on a button never reach the window's body
}

gboolean GtkPlatform::OnDrawImageButton(GtkWidget*, cairo_t* cr, gpointer self) {
    auto* c = static_cast<Control*>(self);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_set_source_surface(cr, c->platform->pictures_.Surface(c->picture), 0, 0);
    cairo_paint(cr);
    return TRUE;
}

gboolean GtkPlatform::OnDrawPicture(GtkWidget* widget, cairo_t* cr, gpointer self) {
    auto* c = static_cast<Control*>(self);
    GtkStyleContext* style = gtk_widget_get_style_context(c->owner->window);
    GdkRGBA face;
    if (gtk_style_context_lookup_color(style, "theme_bg_color", &face)) {
        gdk_cairo_set_source_rgba(cr, &face);
        cairo_paint(cr);
    }
    (void)widget;
    cairo_set_source_surface(cr, c->platform->pictures_.Surface(c->picture), 0, 0);
    cairo_paint(cr);
    return TRUE;
}

void GtkPlatform::OnPushButtonClicked(GtkButton*, gpointer self) {
    auto* c = static_cast<Control*>(self);
    c->platform->listener_->ButtonClicked(c->id);
}

void GtkPlatform::OnInsertText(GtkEditable* editable, gchar* text, gint length, gint* position,
                               gpointer self) {
    auto* c = static_cast<Control*>(self);
    if (c->settingText) return;
    std::string_view insertion(text,
                               length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
    std::string fitting =
        FittingInsertion(gtk_entry_get_text(GTK_ENTRY(editable)), insertion,
                         static_cast<std::size_t>(std::get<EditProps>(c->design.props).maxBytes));
    if (fitting.size() == insertion.size()) return;
    // Insert only what fits, in place of what was asked.
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(OnInsertText), self);
    if (!fitting.empty())
        gtk_editable_insert_text(editable, fitting.c_str(), static_cast<gint>(fitting.size()),
                                 position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(OnInsertText), self);
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (fitting.empty()) gtk_widget_error_bell(GTK_WIDGET(editable));
}

// ---- web-browser views --------------------------------------------------------------------------

namespace {

std::string EngineAddress(GtkWidget* view) {
    const gchar* uri = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(view));
    return uri != nullptr ? uri : "";
}

}  // namespace

void GtkPlatform::LoadAddress(NativeControl view, const std::string& utf8) {
    Control* c = ControlOf(view);
    if (c == nullptr) return;
    c->leaving = EngineAddress(c->inner);
    c->requested = utf8;
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(c->inner), utf8.c_str());
}

std::string GtkPlatform::CurrentAddress(NativeControl view) const {
    Control* c = ControlOf(view);
    if (c == nullptr) return {};
    return c->requested ? *c->requested : EngineAddress(c->inner);
}

void GtkPlatform::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
    auto* c = static_cast<Control*>(self);
    if (!c->requested) return;
    if (event == WEBKIT_LOAD_COMMITTED) {
        c->requested.reset();
    } else if (event == WEBKIT_LOAD_STARTED) {
        // A load of some third address is the page's own doing (a link
        // followed before the requested page arrived, say).
        std::string started = EngineAddress(GTK_WIDGET(view));
        if (started != *c->requested && started != c->leaving) c->requested.reset();
    }
}

void GtkPlatform::OnAddressChanged(GObject* view, GParamSpec*, gpointer self) {
    auto* c = static_cast<Control*>(self);
    // Arrived without a load of its own: a move within the same page.
    if (c->requested && !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(view)) &&
        EngineAddress(GTK_WIDGET(view)) == *c->requested) {
        c->requested.reset();
    }
}

gboolean GtkPlatform::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error,
                                   gpointer self) {
    // A cancelled load goes on in another web process, or gave way to a
    // newer one: either way the view is not yet anywhere else.
    if (!g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
        static_cast<Control*>(self)->requested.reset();
    }
    return FALSE;  // the engine shows its error page
}

void GtkPlatform::GoBack(NativeControl view) {
    Control* c = ControlOf(view);
    if (c != nullptr && webkit_web_view_can_go_back(WEBKIT_WEB_VIEW(c->inner))) {
        c->requested.reset();
        webkit_web_view_go_back(WEBKIT_WEB_VIEW(c->inner));
    }
}

void GtkPlatform::GoForward(NativeControl view) {
    Control* c = ControlOf(view);
    if (c != nullptr && webkit_web_view_can_go_forward(WEBKIT_WEB_VIEW(c->inner))) {
        c->requested.reset();
        webkit_web_view_go_forward(WEBKIT_WEB_VIEW(c->inner));
    }
}

// ---- timers and the event queue
// ---------------------------------------------------------------------

gboolean GtkPlatform::OnTimer(gpointer data) {
    auto* c = static_cast<Control*>(data);
    c->platform->listener_->TimerTicked(c->id);
    return G_SOURCE_CONTINUE;
}

void GtkPlatform::StartTimer(NativeControl timer, int periodMs) {
    Control* c = ControlOf(timer);
    if (c == nullptr) return;
    if (c->timer != 0) g_source_remove(c->timer);
    // Below input, painting and the browser; a late tick is not made up for.
    c->timer = g_timeout_add_full(G_PRIORITY_DEFAULT_IDLE, static_cast<guint>(periodMs), OnTimer, c,
                                  nullptr);
}

void GtkPlatform::StopTimer(NativeControl timer) {
    Control* c = ControlOf(timer);
    if (c != nullptr && c->timer != 0) {
        g_source_remove(c->timer);
        c->timer = 0;
    }
}

void GtkPlatform::Post(std::function<void()> work) {
    auto* job = new std::function<void()>(std::move(work));  // owned by the idle source
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        job, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

LoopId GtkPlatform::NewLoop() {
    LoopId id = nextLoop_++;
    loops_[id] = g_main_loop_new(nullptr, FALSE);
    return id;
}

void GtkPlatform::RunLoop(LoopId loop) {
    GMainLoop* l = loops_.at(loop);
    g_main_loop_run(l);
    loops_.erase(loop);
    g_main_loop_unref(l);
}

void GtkPlatform::QuitLoop(LoopId loop) {
    auto it = loops_.find(loop);
    if (it != loops_.end()) g_main_loop_quit(it->second);
}

// ---- boxes, the browser and the end
// --------------------------------------------------------------------

void GtkPlatform::ShowMessage(const std::string& utf8Text, const std::string& utf8Caption) {
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                            GTK_BUTTONS_OK, "%s", utf8Text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), utf8Caption.c_str());
    // Wide enough for its caption to show even when the text is short or empty.
    gtk_window_set_default_size(GTK_WINDOW(box), 280, -1);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

void GtkPlatform::OpenUrl(const std::string& utf8Address) {
    // Returns once the browser has been started, not when it is done: the
    // reminder ends the program right after, and an address still waiting
    // in an asynchronous look-up would be lost with it.
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(utf8Address.c_str(), nullptr, &error))
        g_clear_error(&error);
}

void GtkPlatform::ShowFatalError(const std::string& utf8Message) {
    std::fprintf(stderr, "qinvara: %s\n", utf8Message.c_str());
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                            GTK_BUTTONS_OK, "%s", utf8Message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), "Qinvara");
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

void GtkPlatform::Exit(int code) {
    std::fflush(nullptr);
    // Nothing of the program may run after this: no atexit work, no handlers.
    _exit(code);
}

}  // namespace qinvara::forms

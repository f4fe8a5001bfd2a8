// The form layer's platform on GTK 3 (X11) and WebKitGTK.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "forms/DoubleClick.h"
#include "forms/Platform.h"
#include "forms/gtk/GObjectRef.h"
#include "forms/gtk/Pictures.h"

namespace qinvara::forms {

class GtkPlatform final : public Platform {
  public:
    // Connects to the display; null with `error` saying why when it cannot.
    static std::unique_ptr<GtkPlatform> Open(std::string& error);
    // Decodes the artwork; false with `error` saying which picture and why.
    bool LoadPictures(std::string& error) { return pictures_.Load(error); }
    ~GtkPlatform() override;

    void SetListener(PlatformListener* listener) override { listener_ = listener; }
    NativeWindow CreateWindow(const WindowSpec& design, bool owned) override;
    void MoveWindow(NativeWindow window, int x, int y) override;
    void ShowWindow(NativeWindow window) override;
    void HideWindow(NativeWindow window) override;
    void ActivateWindow(NativeWindow window) override;
    void MinimizeWindow(NativeWindow window) override;
    void SetWindowEnabled(NativeWindow window, bool enabled) override;
    bool IsWindowEnabled(NativeWindow window) const override;
    void DestroyWindow(NativeWindow window) override;
    void BeginMoveByBody(NativeWindow window) override;
    ScreenSize PrimaryScreen() const override;
    NativeControl CreateControl(NativeWindow window, const ControlSpec& design) override;
    void SetControlVisible(NativeControl control, bool visible) override;
    void MoveControl(NativeControl control, int left, int top) override;
    void ResizeControl(NativeControl control, int width, int height) override;
    void FocusControl(NativeControl control) override;
    std::string ControlText(NativeControl control) const override;
    void SetControlText(NativeControl control, const std::string& utf8) override;
    void ShowPicture(NativeControl imageButton, Artwork picture) override;
    void LoadAddress(NativeControl view, const std::string& utf8) override;
    std::string CurrentAddress(NativeControl view) const override;
    void GoBack(NativeControl view) override;
    void GoForward(NativeControl view) override;
    void StartTimer(NativeControl timer, int periodMs) override;
    void StopTimer(NativeControl timer) override;
    void Post(std::function<void()> work) override;
    LoopId NewLoop() override;
    void RunLoop(LoopId loop) override;
    void QuitLoop(LoopId loop) override;
    void ShowMessage(const std::string& utf8Text, const std::string& utf8Caption) override;
    void OpenUrl(const std::string& utf8Address) override;
    void ShowFatalError(const std::string& utf8Message) override;
    [[noreturn]] void Exit(int code) override;

    struct Window;
    struct Control;

  private:
    GtkPlatform() = default;

    Control* ControlOf(NativeControl id) const;
    NativeControl ControlOfWidget(GtkWidget* widget) const;
    void AttachPendingControls(Window& window);
    static void FitOuterSize(Window& window);
    GtkWidget* MakeWidget(Control& control);

    static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean OnMapped(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnBodyPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static void OnActiveChanged(GObject* window, GParamSpec* property, gpointer self);
    static gboolean OnDrawBackground(GtkWidget* widget, cairo_t* cr, gpointer self);
    static gboolean OnControlPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnButtonPointer(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean OnDrawImageButton(GtkWidget* widget, cairo_t* cr, gpointer self);
    static gboolean OnDrawPicture(GtkWidget* widget, cairo_t* cr, gpointer self);
    static void OnPushButtonClicked(GtkButton* button, gpointer self);
    static void OnInsertText(GtkEditable* editable, gchar* text, gint length, gint* position,
                             gpointer self);
    static gboolean OnTimer(gpointer data);
    static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static void OnAddressChanged(GObject* view, GParamSpec* property, gpointer self);
    static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri,
                                 GError* error, gpointer self);

    bool Pressed(GtkWidget* widget, GdkEventButton* event, bool& secondPress);

    PlatformListener* listener_ = nullptr;
    Pictures pictures_;
    GtkWidget* owner_ = nullptr;  // the invisible owner of modal windows
    std::map<NativeWindow, std::unique_ptr<Window>> windows_;
    std::map<NativeControl, std::unique_ptr<Control>> controls_;
    std::map<LoopId, GMainLoop*> loops_;
    std::uint32_t nextId_ = 1;
    LoopId nextLoop_ = 1;
    std::unique_ptr<DoubleClickDetector> doubleClicks_;
    // The last key handed to a browser view; the engine hands back what it
    // does not take as the very same event.
    guint32 keyAtBrowserTime_ = 0;
    guint16 keyAtBrowserCode_ = 0;
};

}  // namespace qinvara::forms

#include "forms/gtk/BrowserView.h"

#include <webkit2/webkit2.h>

namespace qinvara::forms {
namespace {

WebKitSettings* SharedSettings() {
    static WebKitSettings* settings = [] {
        WebKitSettings* s = webkit_settings_new();
        // Compositing costs tens of megabytes a view and buys these pages nothing.
        webkit_settings_set_hardware_acceleration_policy(s,
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
        webkit_settings_set_javascript_can_open_windows_automatically(s, TRUE);
        return s;
    }();
    return settings;
}

gboolean AnswerDialogSilently(WebKitWebView*, WebKitScriptDialog* dialog, gpointer) {
    // Confirms and prompts get "cancel"; before-unload dialogs let the page go.
    if (webkit_script_dialog_get_dialog_type(dialog) ==
        WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
    }
    return TRUE;
}

gboolean DenyPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
    webkit_permission_request_deny(request);
    return TRUE;
}

gboolean CancelAuthentication(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer) {
    webkit_authentication_request_cancel(request);
    return TRUE;
}

gboolean CancelFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer) {
    webkit_file_chooser_request_cancel(request);
    return TRUE;
}

gboolean Handled(WebKitWebView*, gpointer, gpointer) { return TRUE; }

void ShowPopupWindow(WebKitWebView* view, gpointer window) {
    (void)view;
    gtk_widget_show_all(GTK_WIDGET(window));
}

void ClosePopupWindow(WebKitWebView*, gpointer window) { gtk_widget_destroy(GTK_WIDGET(window)); }

void Silence(GtkWidget* view);

GtkWidget* OpenPopup(WebKitWebView* opener, WebKitNavigationAction*, gpointer silent) {
    GtkWidget* popup = webkit_web_view_new_with_related_view(opener);
    if (silent != nullptr) Silence(popup);
    g_signal_connect(popup, "create", G_CALLBACK(OpenPopup), silent);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
    gtk_container_add(GTK_CONTAINER(window), popup);
    g_signal_connect(popup, "ready-to-show", G_CALLBACK(ShowPopupWindow), window);
    g_signal_connect(popup, "close", G_CALLBACK(ClosePopupWindow), window);
    return popup;
}

void Silence(GtkWidget* view) {
    g_signal_connect(view, "script-dialog", G_CALLBACK(AnswerDialogSilently), nullptr);
    g_signal_connect(view, "permission-request", G_CALLBACK(DenyPermission), nullptr);
    g_signal_connect(view, "authenticate", G_CALLBACK(CancelAuthentication), nullptr);
    g_signal_connect(view, "run-file-chooser", G_CALLBACK(CancelFileChooser), nullptr);
    g_signal_connect(view, "run-color-chooser", G_CALLBACK(Handled), nullptr);
    g_signal_connect(view, "show-notification", G_CALLBACK(Handled), nullptr);
}

}  // namespace

GtkWidget* NewBrowserView(bool silent) {
    GtkWidget* view = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context",
                                              webkit_web_context_get_default(), "settings",
                                              SharedSettings(), nullptr));
    if (silent) Silence(view);
    // Any non-null marker makes the popups of a silent view silent too.
    g_signal_connect(view, "create", G_CALLBACK(OpenPopup), silent ? view : nullptr);
    return view;
}

}  // namespace qinvara::forms

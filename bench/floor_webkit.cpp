// The least a start sequence with a hidden browser view does: the bare window
// plus one hidden WebKitWebView whose page load is started, not awaited,
// before the window is shown. Usage: floor_webkit ADDRESS
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

int main(int argc, char** argv) {
    gdk_set_allowed_backends("x11");
    gtk_init(&argc, &argv);
    if (argc != 2) {
        g_printerr("usage: %s ADDRESS\n", argv[0]);
        return 2;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "floor_webkit");
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window), 1000, 600);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window), fixed);
    gtk_widget_show(fixed);
    // In the window but never shown, like a counter page's view.
    GtkWidget* view = webkit_web_view_new();
    gtk_widget_set_size_request(view, 16, 16);
    gtk_fixed_put(GTK_FIXED(fixed), view, 0, 0);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);

    gtk_widget_show(window);
    gtk_main();
    return 0;
}

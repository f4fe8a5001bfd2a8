// The real MainWindow on the GTK platform, driven from inside the program:
//
//   search_view_bench cycles N    N search/home cycles; the main process's
//                                 resident memory every 100 cycles
//   search_view_bench watch N     N times: results shown, the page goes to a
//                                 home page; time from the view's address
//                                 becoming that home page to the view hidden
//   search_view_bench idle S on|off
//                                 results shown, nothing happens for S
//                                 seconds, with the home-page watch running
//                                 or stopped (the driver measures the CPU)
//
// It needs a display and the mirror reachable under the build's host name:
// bench/search_bench.py provides both and runs every mode.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "forms/FormLayer.h"
#include "forms/gtk/GtkPlatform.h"
#include "hosts.h"
#include "search/Search.h"
#include "search/SearchAddresses.h"
#include "text/CodePage.h"

namespace {

using qinvara::forms::FormLayer;

constexpr int kLoadTimeoutMs = 10000;

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

gint64 NowUs() { return g_get_monotonic_time(); }

// Runs the program's own event loop until `done` holds or the time is up. A
// slow wake-up keeps the loop turning when nothing else happens, without
// crowding the ticks that are being measured.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const gint64 deadline = NowUs() + gint64{timeoutMs} * 1000;
    const guint wake = g_timeout_add(
        50, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!done() && NowUs() < deadline) g_main_context_iteration(nullptr, TRUE);
    g_source_remove(wake);
    return done();
}

// Runs the event loop for a while, adding no wake-ups of its own.
void RunFor(int ms) {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_timeout_add(
        static_cast<guint>(ms),
        [](gpointer data) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(data));
            return G_SOURCE_REMOVE;
        },
        loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
}

// What ResultView's engine reports, as the engine's own signals tell it.
struct ViewEvents {
    WebKitWebView* view = nullptr;
    std::string awaitedLoad;  // a finished load of this address counts
    bool awaitedLoadDone = false;
    std::vector<std::string> homes;
    gint64 homeAt = 0;               // the address became a home page
    gint64 hiddenAt = 0;             // the view was hidden
    std::string hiddenShowing;       // the address the view showed then
    bool tracing = false;            // the cycles keep no trace: it would grow the memory measured
    std::vector<std::string> trace;  // what the engine reported, for a trial that went wrong

    void Note(const char* what, const gchar* detail) {
        if (!tracing) return;
        trace.push_back(std::to_string(NowUs() / 1000 % 100000) + " ms " + what + " " +
                        (detail != nullptr ? detail : "(none)"));
    }
    void Dump() const {
        for (const std::string& line : trace) std::fprintf(stderr, "    %s\n", line.c_str());
    }

    bool IsAwaited(const gchar* uri) const { return uri != nullptr && awaitedLoad == uri; }

    static void OnUri(GObject*, GParamSpec*, gpointer self) {
        auto* e = static_cast<ViewEvents*>(self);
        const gchar* uri = webkit_web_view_get_uri(e->view);
        e->Note(webkit_web_view_is_loading(e->view) ? "address (loading)" : "address", uri);
        // A new fragment on the page shown is reached without a load.
        if (e->IsAwaited(uri) && !webkit_web_view_is_loading(e->view)) e->awaitedLoadDone = true;
        if (e->homeAt != 0 || uri == nullptr) return;
        if (std::find(e->homes.begin(), e->homes.end(), uri) != e->homes.end()) e->homeAt = NowUs();
    }
    static void OnLoading(GObject*, GParamSpec*, gpointer self) {
        auto* e = static_cast<ViewEvents*>(self);
        if (!webkit_web_view_is_loading(e->view) &&
            e->IsAwaited(webkit_web_view_get_uri(e->view))) {
            e->awaitedLoadDone = true;
        }
    }
    static void OnVisible(GObject*, GParamSpec*, gpointer self) {
        auto* e = static_cast<ViewEvents*>(self);
        e->Note(gtk_widget_get_visible(GTK_WIDGET(e->view)) ? "shown" : "hidden",
                webkit_web_view_get_uri(e->view));
        if (e->hiddenAt == 0 && !gtk_widget_get_visible(GTK_WIDGET(e->view))) {
            e->hiddenAt = NowUs();
            const gchar* uri = webkit_web_view_get_uri(e->view);
            e->hiddenShowing = uri != nullptr ? uri : "(nothing)";
        }
    }
    static void OnLoad(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
        auto* e = static_cast<ViewEvents*>(self);
        static const char* const kEvents[] = {"load started", "load redirected", "load committed",
                                              "load finished"};
        e->Note(kEvents[event], webkit_web_view_get_uri(view));
        if (event == WEBKIT_LOAD_FINISHED && e->IsAwaited(webkit_web_view_get_uri(view)))
            e->awaitedLoadDone = true;
    }

    void Attach(WebKitWebView* v) {
        view = v;
        g_signal_connect(view, "notify::uri", G_CALLBACK(OnUri), this);
        g_signal_connect(view, "notify::visible", G_CALLBACK(OnVisible), this);
        g_signal_connect(view, "notify::is-loading", G_CALLBACK(OnLoading), this);
        g_signal_connect(view, "load-changed", G_CALLBACK(OnLoad), this);
    }
    ~ViewEvents() {
        if (view != nullptr) g_signal_handlers_disconnect_by_data(view, this);
    }
};

WebKitWebView* FindViewShowing(GtkWidget* widget, const std::string& uri) {
    if (WEBKIT_IS_WEB_VIEW(widget)) {
        const gchar* at = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(widget));
        return at != nullptr && uri == at ? WEBKIT_WEB_VIEW(widget) : nullptr;
    }
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    struct Finder {
        const std::string* uri;
        WebKitWebView* found = nullptr;
    } finder{&uri};
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) {
            auto* f = static_cast<Finder*>(data);
            if (f->found == nullptr) f->found = FindViewShowing(child, *f->uri);
        },
        &finder);
    return finder.found;
}

// ResultView is the browser view that shows the address a search just wrote.
WebKitWebView* FindResultView(const std::string& searchAddress) {
    std::unique_ptr<GList, decltype(&g_list_free)> toplevels(gtk_window_list_toplevels(),
                                                             &g_list_free);
    for (GList* item = toplevels.get(); item != nullptr; item = item->next) {
        if (WebKitWebView* view = FindViewShowing(GTK_WIDGET(item->data), searchAddress))
            return view;
    }
    return nullptr;
}

class Driver {
  public:
    explicit Driver(FormLayer& layer) : layer_(layer) {}

    // Types the query and runs the search as Enter would; the address the
    // view was sent to.
    std::string Search(const std::string& utf8) {
        layer_.Control("MainWindow", "SearchBox").SetText(qinvara::FromUtf8(utf8));
        qinvara::RunSearch(layer_);
        const std::string sent = qinvara::ToUtf8(
            qinvara::SearchUrl(layer_.Control("MainWindow", "SearchBox").GetText()));
        // The view must report the new address at once, or a tick could hide it.
        if (qinvara::ToUtf8(layer_.Control("MainWindow", "ResultView").Address()) != sent)
            ++staleReads_;
        return sent;
    }

    // Searches and waits for the results page to finish loading.
    bool SearchAndLoad(ViewEvents& events, const std::string& utf8) {
        // Loads only progress while the loop turns, so the address can be
        // noted after the search has written it.
        events.awaitedLoadDone = false;
        events.awaitedLoad = Search(utf8);
        events.hiddenAt = 0;
        if (events.view == nullptr) {
            events.Attach(FindResultView(events.awaitedLoad));
            if (events.view == nullptr) return false;
        }
        if (WaitUntil([&] { return events.awaitedLoadDone; }, kLoadTimeoutMs)) return true;
        const gchar* uri = webkit_web_view_get_uri(events.view);
        std::fprintf(stderr, "the results of \"%s\" did not finish loading; the view shows %s\n",
                     utf8.c_str(), uri != nullptr ? uri : "(nothing)");
        return false;
    }

    int staleReads() const { return staleReads_; }

  private:
    FormLayer& layer_;
    int staleReads_ = 0;
};

std::string Mirror(const char* path, const char* scheme = "https://") {
    return std::string(scheme) + qinvara::MirrorHost + path;
}

int Cycles(FormLayer& layer, int count) {
    Driver driver(layer);
    ViewEvents events;
    if (!driver.SearchAndLoad(events, "warm up")) {
        std::fprintf(stderr, "the first results page did not load\n");
        return 1;
    }
    qinvara::CloseResults(layer);
    int slow = 0;
    int freshHidden = 0;  // results taken away by the watch before they had loaded
    for (int cycle = 1; cycle <= count; ++cycle) {
        if (!driver.SearchAndLoad(events, "cycle " + std::to_string(cycle))) ++slow;
        if (events.hiddenAt != 0) ++freshHidden;
        qinvara::CloseResults(layer);
        RunFor(20);
        if (cycle == 1 || cycle % 100 == 0) {
            std::printf("cycle %d rss_kib %ld\n", cycle, ResidentKiB());
            std::fflush(stdout);
        }
    }
    std::printf("cycles %d loads_timed_out %d fresh_results_hidden %d stale_address_reads %d\n",
                count, slow, freshHidden, driver.staleReads());
    return 0;
}

// What became of the watch trials.
struct WatchTally {
    std::vector<double> latenciesMs;
    int loadFailed = 0;   // the results never finished loading
    int freshHidden = 0;  // the watch hid results it had just been asked to show
    int pageStayed = 0;   // the page did not follow the link (the engine dropped it)
    int notHidden = 0;    // a home page was shown and the view stayed
};

void PrintTally(WatchTally& t, int trials, int staleReads) {
    std::printf(
        "watch_trials %d results_not_loaded %d fresh_results_hidden %d link_not_followed %d "
        "home_page_not_hidden %d stale_address_reads %d\n",
        trials, t.loadFailed, t.freshHidden, t.pageStayed, t.notHidden, staleReads);
    auto& ms = t.latenciesMs;
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        return ms[static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1))];
    };
    const auto over = std::count_if(ms.begin(), ms.end(), [](double v) { return v > 20.0; });
    std::printf(
        "watch_hidden %zu median_ms %.2f p95_ms %.2f max_ms %.2f min_ms %.2f over_20ms %ld\n",
        ms.size(), at(0.5), at(0.95), ms.back(), ms.front(), static_cast<long>(over));
}

int Watch(FormLayer& layer, int count) {
    Driver driver(layer);
    ViewEvents events;
    events.homes = {Mirror("/webhp?hl=zh-CN"), Mirror("/webhp?hl=en"), Mirror("/"),
                    Mirror("/", "http://")};
    // Links the page follows by itself, and where they lead.
    const std::vector<std::string> links = {"/webhp?hl=en", "/", "/webhp?hl=zh-CN"};
    std::mt19937 random(1);
    std::uniform_int_distribution<int> phase(0, 19);
    WatchTally tally;
    events.tracing = true;
    for (int trial = 0; trial < count; ++trial) {
        if (trial % 3 == 0) events.trace.clear();
        events.Note("search", std::to_string(trial).c_str());
        const gint64 searchedAt = NowUs();
        if (!driver.SearchAndLoad(events, "watch " + std::to_string(trial))) {
            ++tally.loadFailed;
            continue;
        }
        RunFor(phase(random));  // any moment relative to the ticks
        if (events.hiddenAt != 0) {
            std::fprintf(
                stderr,
                "trial %d: fresh results hidden %.1f ms after the search, the view showing %s\n",
                trial, static_cast<double>(events.hiddenAt - searchedAt) / 1000.0,
                events.hiddenShowing.c_str());
            events.Dump();
            ++tally.freshHidden;
            continue;
        }
        events.homeAt = 0;
        events.hiddenAt = 0;
        const std::string script = "location.href = '" + links[trial % links.size()] + "';";
        webkit_web_view_evaluate_javascript(events.view, script.c_str(), -1, nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
        if (!WaitUntil([&] { return events.homeAt != 0 && events.hiddenAt != 0; },
                       kLoadTimeoutMs)) {
            if (events.homeAt == 0) {
                ++tally.pageStayed;
            } else {
                std::fprintf(stderr, "trial %d: the home page was shown and the view stayed\n",
                             trial);
                events.Dump();
                ++tally.notHidden;
            }
            continue;
        }
        const double ms = static_cast<double>(events.hiddenAt - events.homeAt) / 1000.0;
        if (ms > 20.0) {
            std::fprintf(stderr, "trial %d: hidden %.1f ms after the home page arrived\n", trial,
                         ms);
            events.Dump();
        }
        tally.latenciesMs.push_back(ms);
    }
    PrintTally(tally, count, driver.staleReads());
    return tally.latenciesMs.empty() ? 1 : 0;
}

int Idle(FormLayer& layer, int seconds, bool watchRunning) {
    Driver driver(layer);
    ViewEvents events;
    if (!driver.SearchAndLoad(events, "idle")) return 1;
    if (!watchRunning) layer.Control("MainWindow", "HomeWatchTimer").SetPeriod(0);
    std::printf("idle_ready\n");
    std::fflush(stdout);
    RunFor(seconds * 1000);
    return 0;
}

struct Job {
    FormLayer* layer;
    std::vector<std::string> args;
    int status = 2;
};

gboolean RunJob(gpointer data) {
    auto* job = static_cast<Job*>(data);
    const std::string& mode = job->args[0];
    const int number = std::atoi(job->args[1].c_str());
    if (mode == "cycles") job->status = Cycles(*job->layer, number);
    if (mode == "watch") job->status = Watch(*job->layer, number);
    if (mode == "idle")
        job->status = Idle(*job->layer, number, job->args.size() < 3 || job->args[2] != "off");
    job->layer->UnloadWindow("MainWindow");
    return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s cycles N | watch N | idle SECONDS [on|off]\n", argv[0]);
        return 2;
    }
    std::string error;
    std::unique_ptr<qinvara::forms::GtkPlatform> platform =
        qinvara::forms::GtkPlatform::Open(error);
    if (!platform || !platform->LoadPictures(error)) {
        std::fprintf(stderr, "no platform: %s\n", error.c_str());
        return 2;
    }
    FormLayer layer(*platform);
    if (!layer.LoadStartupWindow(qinvara::MainWindowForm())) return 2;
    Job job{&layer, std::vector<std::string>(argv + 1, argv + argc)};
    g_idle_add(RunJob, &job);
    layer.Run();
    return job.status;
}

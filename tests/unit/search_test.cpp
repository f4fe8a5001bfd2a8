// The search page of the real MainWindow, loaded by the form layer on the
// headless platform: the search, the result view and the home-page watch.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "forms/FormLayer.h"
#include "forms/KeyCodes.h"
#include "forms/headless/HeadlessPlatform.h"
#include "hosts.h"

namespace qinvara {
namespace {

using forms::HeadlessPlatform;
using forms::NativeControl;
using forms::NativeWindow;

// MainWindow's start asks the update server through HttpFetch. A proxy on a
// loopback port that is bound but never listens refuses at once, so the
// start neither waits on name resolution nor reaches any network.
class RefusingProxy {
  public:
    RefusingProxy() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* raw = reinterpret_cast<sockaddr*>(&address);
        if (socket_ < 0 || ::bind(socket_, raw, length) != 0 ||
            ::getsockname(socket_, raw, &length) != 0) {
            return;
        }
        const std::string proxy = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        ::setenv("http_proxy", proxy.c_str(), 1);
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
    }
    ~RefusingProxy() {
        if (socket_ >= 0) ::close(socket_);
    }
    RefusingProxy(const RefusingProxy&) = delete;
    RefusingProxy& operator=(const RefusingProxy&) = delete;

  private:
    int socket_;
};

void KeepUpdateCheckLocal() { static RefusingProxy proxy; }

// Addresses as the view reports them (UTF-8); "%M" stands for the mirror.
std::string Mirror(std::string pattern) {
    for (std::size_t at = pattern.find("%M"); at != std::string::npos; at = pattern.find("%M")) {
        pattern.replace(at, 2, MirrorHost);
    }
    return pattern;
}

std::string ResultsOf(const std::string& query) {
    return Mirror("https://%M/webhp?hl=zh-CN#hl=zh-CN&q=") + query + "=?" + SiteHost;
}

const std::string kEmptyMessage = "没有输入搜索关键词，请重新输入。";
const std::string kEmptyCaption = "输入错误";

class MainWindowFixture : public ::testing::Test {
  public:
    static void SetUpTestSuite() { KeepUpdateCheckLocal(); }

    void SetUp() override {
        ASSERT_TRUE(layer.LoadStartupWindow(MainWindowForm()));
        window = platform.WindowNamed("MainWindow");
        ASSERT_NE(window, 0u);
        box = Ctl("SearchBox");
        view = Ctl("ResultView");
        timer = Ctl("HomeWatchTimer");
    }

    NativeControl Ctl(const char* name) const { return platform.ControlNamed(window, name); }
    const HeadlessPlatform::ControlRecord& View() const { return platform.ControlOf(view); }
    bool ViewShown() const { return View().visible; }
    // What the view shows, read without counting as the program's read.
    std::string ViewAddress() const {
        return View().historyAt == 0 ? std::string() : View().history[View().historyAt - 1];
    }
    int TimerPeriod() const { return platform.ControlOf(timer).timerPeriod; }
    std::string BoxText() const { return platform.ControlOf(box).text; }

    // What the user does.
    void Type(const std::string& utf8) { platform.controls.at(box).text = utf8; }
    void PressEnter(int modifiers = 0) { platform.PressKey(window, forms::vk::Return, modifiers); }
    void Click(const char* button) { platform.ClickImageButton(Ctl(button)); }
    void Search(const std::string& utf8) {
        Type(utf8);
        PressEnter();
    }
    void Tick() { platform.Tick(timer); }
    // The page in the view moves on by itself (a link, a redirect).
    void PageGoesTo(const std::string& utf8) { platform.LoadAddress(view, utf8); }

    // The log without the platform's own notes on keys.
    std::vector<std::string> LayerLog() const {
        std::vector<std::string> entries;
        for (const std::string& e : platform.log) {
            if (e.rfind("key ", 0) != 0) entries.push_back(e);
        }
        return entries;
    }
    int Logged(const std::string& entry) const {
        return static_cast<int>(std::count(platform.log.begin(), platform.log.end(), entry));
    }
    // Entries that touch the result view or the timer.
    std::vector<std::string> ViewAndTimerLog() const {
        std::vector<std::string> entries;
        for (const std::string& e : platform.log) {
            if (e.find("ResultView") != std::string::npos ||
                e.find("HomeWatchTimer") != std::string::npos) {
                entries.push_back(e);
            }
        }
        return entries;
    }

    HeadlessPlatform platform;
    forms::FormLayer layer{platform};
    NativeWindow window = 0;
    NativeControl box = 0, view = 0, timer = 0;
};

// ---- start ----

TEST_F(MainWindowFixture, StartsOnTheSearchPageWithTheFocusInSearchBox) {
    EXPECT_EQ(platform.focus, box);
    EXPECT_FALSE(ViewShown());
    EXPECT_EQ(View().left, 128);
    EXPECT_EQ(View().top, 168);
    EXPECT_EQ(View().width, 48);
    EXPECT_EQ(View().height, 48);
    EXPECT_TRUE(View().history.empty()) << "the view is sent nowhere at creation";
    EXPECT_EQ(TimerPeriod(), 0);
    EXPECT_TRUE(platform.messages.empty());
}

// ---- the eight steps ----

struct Trigger {
    const char* name;
    void (*run)(MainWindowFixture&);
    bool byKey;
};

void PrintTo(const Trigger& t, std::ostream* os) { *os << t.name; }

class SearchTriggers : public MainWindowFixture, public ::testing::WithParamInterface<Trigger> {};

TEST_P(SearchTriggers, RunSearchInItsStepsAndOrder) {
    Type("a b  c");
    platform.log.clear();
    GetParam().run(*this);
    const std::vector<std::string> expected = {
        "text SearchBox abc",
        "show control ResultView",
        "load ResultView " + ResultsOf("abc"),
        "start timer HomeWatchTimer 10",
        // left, top, height, width: each step moves from the last place.
        "move control ResultView 1,168",
        "move control ResultView 1,29",
        "resize control ResultView 48x570",
        "resize control ResultView 998x570",
    };
    EXPECT_EQ(LayerLog(), expected);
    EXPECT_EQ(BoxText(), "abc");
    EXPECT_TRUE(platform.messages.empty());
    // Enter is not swallowed: after the search it goes on to the field.
    EXPECT_EQ(Logged("key 13 to control"), GetParam().byKey ? 1 : 0);
    EXPECT_EQ(Logged("key 13 consumed"), 0);
}

// Key input as the GTK platform gives it: toolkit key values translated.
int FromKeysym(unsigned keysym) { return forms::VirtualKeyFromKeysym(keysym); }
constexpr unsigned kReturn = 0xff0d, kKeypadEnter = 0xff8d;

void Press(MainWindowFixture& f, int virtualKey, int modifiers) {
    f.platform.PressKey(f.window, virtualKey, modifiers);
}

INSTANTIATE_TEST_SUITE_P(
    EnterAndClick, SearchTriggers,
    ::testing::Values(
        Trigger{"enter", [](MainWindowFixture& f) { Press(f, FromKeysym(kReturn), 0); }, true},
        Trigger{"keypad_enter", [](MainWindowFixture& f) { Press(f, FromKeysym(kKeypadEnter), 0); },
                true},
        Trigger{"ctrl_enter",
                [](MainWindowFixture& f) { Press(f, forms::vk::Return, forms::modifier::Ctrl); },
                true},
        Trigger{"shift_enter",
                [](MainWindowFixture& f) { Press(f, forms::vk::Return, forms::modifier::Shift); },
                true},
        Trigger{"alt_enter",
                [](MainWindowFixture& f) { Press(f, forms::vk::Return, forms::modifier::Alt); },
                true},
        Trigger{"ctrl_shift_alt_keypad_enter",
                [](MainWindowFixture& f) { Press(f, FromKeysym(kKeypadEnter), 7); }, true},
        Trigger{"search_button", [](MainWindowFixture& f) { f.Click("SearchButton"); }, false}),
    [](const ::testing::TestParamInfo<Trigger>& info) { return std::string(info.param.name); });

struct OtherKey {
    const char* name;
    unsigned keysym;
    int modifiers;
};

void PrintTo(const OtherKey& k, std::ostream* os) { *os << k.name; }

class OtherKeys : public MainWindowFixture, public ::testing::WithParamInterface<OtherKey> {};

TEST_P(OtherKeys, DoNotSearch) {
    Type("a b");
    platform.log.clear();
    const int virtualKey = FromKeysym(GetParam().keysym);
    ASSERT_NE(virtualKey, 0) << "the key must be one the platform knows";
    platform.PressKey(window, virtualKey, GetParam().modifiers);
    EXPECT_EQ(BoxText(), "a b") << "the field is not cleaned";
    EXPECT_TRUE(ViewAndTimerLog().empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(ViewShown());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OtherKeys,
    ::testing::Values(OtherKey{"letter", 0x61, 0}, OtherKey{"space", 0x20, 0},
                      OtherKey{"backspace", 0xff08, 0}, OtherKey{"delete", 0xffff, 0},
                      OtherKey{"ctrl_m", 0x6d, forms::modifier::Ctrl},
                      OtherKey{"keypad_5", 0xffb5, 0}, OtherKey{"keypad_minus", 0xffad, 0},
                      OtherKey{"shift_escape", 0xff1b, forms::modifier::Shift},
                      OtherKey{"f5", 0xffc2, 0}, OtherKey{"home", 0xff50, 0}),
    [](const ::testing::TestParamInfo<OtherKey>& info) { return std::string(info.param.name); });

// ---- what a query becomes ----

struct QueryCase {
    const char* name;
    std::string typed;  // UTF-8, as a person types it
    std::string shown;  // SearchBox afterwards
};

void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name; }

class Queries : public MainWindowFixture, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(Queries, AreCleanedShownAndSentUnescaped) {
    Search(GetParam().typed);
    EXPECT_EQ(BoxText(), GetParam().shown);
    EXPECT_EQ(ViewAddress(), ResultsOf(GetParam().shown));
    EXPECT_TRUE(ViewShown());
}

INSTANTIATE_TEST_SUITE_P(
    Typed, Queries,
    ::testing::Values(QueryCase{"latin_words_glued", "one two three", "onetwothree"},
                      QueryCase{"chinese_ascii_space", "中 文", "中文"},
                      QueryCase{"chinese_ideographic_space", "中\u3000文", "中文"},
                      QueryCase{"tab_stays", "a\tb", "a\tb"},
                      QueryCase{"ampersand", "a & b", "a&b"}, QueryCase{"hash", "c#", "c#"},
                      QueryCase{"percent", "100 %", "100%"}, QueryCase{"plus", "c+ +", "c++"},
                      QueryCase{"question_mark", "why ?", "why?"},
                      QueryCase{"all_of_them", "&#%+?=", "&#%+?="},
                      QueryCase{"outside_gbk", "\U0001F600 x", "\U0001F600x"}),
    [](const ::testing::TestParamInfo<QueryCase>& info) { return std::string(info.param.name); });

// An empty query shows the message and changes nothing else, both before
// the first search and while results are shown.
struct EmptyCase {
    const char* name;
    std::string typed;
};

void PrintTo(const EmptyCase& c, std::ostream* os) { *os << c.name; }

class EmptyQueries : public MainWindowFixture,
                     public ::testing::WithParamInterface<std::tuple<EmptyCase, bool>> {};

TEST_P(EmptyQueries, ShowTheMessageAndLeaveViewAndTimerAlone) {
    const auto& [query, afterResults] = GetParam();
    if (afterResults) Search("earlier");
    const HeadlessPlatform::ControlRecord before = View();
    const int periodBefore = TimerPeriod();
    platform.log.clear();
    bool windowEnabledDuringMessage = true;
    platform.whileMessageShown = [&] {
        windowEnabledDuringMessage = platform.WindowOf(window).enabled;
    };

    Type(query.typed);
    PressEnter();

    const std::vector<std::pair<std::string, std::string>> expected = {
        {kEmptyMessage, kEmptyCaption}};
    EXPECT_EQ(platform.messages, expected);
    EXPECT_FALSE(windowEnabledDuringMessage) << "the box is task-modal";
    EXPECT_TRUE(platform.WindowOf(window).enabled);
    EXPECT_EQ(BoxText(), "") << "the field shows the cleaned, empty text";
    EXPECT_TRUE(ViewAndTimerLog().empty());
    EXPECT_EQ(View().visible, before.visible);
    EXPECT_EQ(View().history, before.history);
    EXPECT_EQ(View().historyAt, before.historyAt);
    EXPECT_EQ(View().left, before.left);
    EXPECT_EQ(View().width, before.width);
    EXPECT_EQ(TimerPeriod(), periodBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Spaces, EmptyQueries,
    ::testing::Combine(::testing::Values(EmptyCase{"nothing", ""}, EmptyCase{"ascii_space", " "},
                                         EmptyCase{"ascii_spaces", "    "},
                                         EmptyCase{"ideographic_space", "\u3000"},
                                         EmptyCase{"ideographic_spaces", "\u3000\u3000"},
                                         EmptyCase{"mixed", " \u3000 \u3000"}),
                       ::testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_after_results" : "_at_start");
    });

// ---- the timer across searches ----

TEST_F(MainWindowFixture, ASecondSearchLeavesTheRunningTimerAlone) {
    Search("first");
    Search("second");
    Search("second");  // the same query again, as a held-down Enter does
    EXPECT_EQ(Logged("start timer HomeWatchTimer 10"), 1);
    EXPECT_EQ(Logged("stop timer HomeWatchTimer"), 0);
    EXPECT_EQ(Logged("load ResultView " + ResultsOf("first")), 1);
    EXPECT_EQ(Logged("load ResultView " + ResultsOf("second")), 2)
        << "every search sends the view, also to the address it already shows";
    EXPECT_EQ(TimerPeriod(), 10);
}

// ---- home ----

TEST_F(MainWindowFixture, HomeStopsTheTimerEmptiesAndHidesTheView) {
    Search("q");
    platform.log.clear();
    Click("HomeButton");
    const std::vector<std::string> expected = {"stop timer HomeWatchTimer", "load ResultView ",
                                               "hide control ResultView"};
    EXPECT_EQ(LayerLog(), expected);
    EXPECT_EQ(BoxText(), "q") << "the query stays in the field";

    const std::size_t reads = platform.addressReads;
    Tick();  // a tick that was already on its way
    EXPECT_EQ(platform.addressReads, reads) << "no tick comes after home";
}

TEST_F(MainWindowFixture, HomeBeforeAnySearchOnlySendsTheViewToTheEmptyAddress) {
    platform.log.clear();
    Click("HomeButton");
    const std::vector<std::string> expected = {"load ResultView ", "hide control ResultView"};
    EXPECT_EQ(LayerLog(), expected);
    EXPECT_EQ(TimerPeriod(), 0);
}

TEST_F(MainWindowFixture, TheSearchAfterHomeShowsTheViewAtOnceAtTheResultPlace) {
    Search("q");
    Click("HomeButton");
    platform.log.clear();
    Search("r");
    EXPECT_TRUE(ViewShown());
    EXPECT_EQ(View().left, 1);
    EXPECT_EQ(View().top, 29);
    EXPECT_EQ(View().width, 998);
    EXPECT_EQ(View().height, 570);
    EXPECT_EQ(Logged("start timer HomeWatchTimer 10"), 1);
    EXPECT_EQ(ViewAddress(), ResultsOf("r"));
}

// ---- the home-page watch ----

struct WatchCase {
    const char* name;
    std::string address;  // "%M" is the mirror
    bool hides;
};

void PrintTo(const WatchCase& c, std::ostream* os) { *os << c.name; }

class HomeWatch : public MainWindowFixture, public ::testing::WithParamInterface<WatchCase> {};

TEST_P(HomeWatch, HidesTheViewOnlyAtAHomePageReadingFiveTimesEveryTick) {
    Search("q");
    PageGoesTo(Mirror(GetParam().address));
    platform.log.clear();
    const std::size_t reads = platform.addressReads;
    Tick();
    EXPECT_EQ(platform.addressReads - reads, 5u) << "a fresh read for every comparison";
    EXPECT_EQ(ViewShown(), !GetParam().hides);
    EXPECT_EQ(TimerPeriod(), 10) << "the tick never stops the timer";
    EXPECT_EQ(Logged("show control ResultView"), 0);

    const std::size_t again = platform.addressReads;
    Tick();
    EXPECT_EQ(platform.addressReads - again, 5u);
    EXPECT_EQ(ViewShown(), !GetParam().hides);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, HomeWatch,
    ::testing::Values(WatchCase{"home_zh_cn", "https://%M/webhp?hl=zh-CN", true},
                      WatchCase{"home_en", "https://%M/webhp?hl=en", true},
                      WatchCase{"root_https", "https://%M/", true},
                      WatchCase{"root_http", "http://%M/", true}, WatchCase{"no_address", "", true},
                      WatchCase{"home_with_parameter", "https://%M/webhp?hl=zh-CN&x", false},
                      WatchCase{"home_with_fragment", "https://%M/webhp?hl=zh-CN#", false},
                      WatchCase{"results", ResultsOf("q"), false},
                      WatchCase{"case_differs", "https://%M/webhp?hl=EN", false},
                      WatchCase{"scheme_case_differs", "HTTPS://%M/", false},
                      WatchCase{"http_zh_cn", "http://%M/webhp?hl=zh-CN", false},
                      WatchCase{"no_slash", "https://%M", false},
                      WatchCase{"explicit_port", "https://%M:443/", false},
                      WatchCase{"search_page", "https://%M/search?q=x", false},
                      WatchCase{"blank_page", "about:blank", false}),
    [](const ::testing::TestParamInfo<WatchCase>& info) { return std::string(info.param.name); });

TEST_F(MainWindowFixture, TheWatchNeverShowsTheViewAgain) {
    Search("q");
    PageGoesTo(Mirror("https://%M/webhp?hl=en"));
    Tick();
    ASSERT_FALSE(ViewShown());
    PageGoesTo(Mirror("https://%M/search?q=x"));
    platform.log.clear();
    Tick();
    Tick();
    EXPECT_FALSE(ViewShown());
    EXPECT_TRUE(ViewAndTimerLog().empty());
    EXPECT_EQ(BoxText(), "q") << "the search page comes back with the last query";
}

// A view just sent to new results must not be hidden on the strength of
// whatever it showed before.
struct Before {
    const char* name;
    void (*run)(MainWindowFixture&);
};

void PrintTo(const Before& b, std::ostream* os) { *os << b.name; }

class FreshResults : public MainWindowFixture, public ::testing::WithParamInterface<Before> {};

TEST_P(FreshResults, SurviveATickRightAfterTheSearch) {
    GetParam().run(*this);
    Search("next");
    EXPECT_EQ(platform.CurrentAddress(view), ResultsOf("next"))
        << "the view reports the requested address at once";
    Tick();
    EXPECT_TRUE(ViewShown());
}

INSTANTIATE_TEST_SUITE_P(
    States, FreshResults,
    ::testing::Values(Before{"first_search", [](MainWindowFixture&) {}},
                      Before{"after_home_button",
                             [](MainWindowFixture& f) {
                                 f.Search("q");
                                 f.Click("HomeButton");
                             }},
                      Before{"after_watch_hid_at_zh_cn",
                             [](MainWindowFixture& f) {
                                 f.Search("q");
                                 f.PageGoesTo(Mirror("https://%M/webhp?hl=zh-CN"));
                                 f.Tick();
                                 EXPECT_FALSE(f.ViewShown());
                             }},
                      Before{"after_watch_hid_at_en",
                             [](MainWindowFixture& f) {
                                 f.Search("q");
                                 f.PageGoesTo(Mirror("https://%M/webhp?hl=en"));
                                 f.Tick();
                                 EXPECT_FALSE(f.ViewShown());
                             }},
                      Before{"at_root_not_yet_hidden",
                             [](MainWindowFixture& f) {
                                 f.Search("q");
                                 f.PageGoesTo(Mirror("http://%M/"));
                             }}),
    [](const ::testing::TestParamInfo<Before>& info) { return std::string(info.param.name); });

TEST_F(MainWindowFixture, TicksWhileTheEmptyQueryMessageIsUpMayHideTheView) {
    Search("q");
    PageGoesTo(Mirror("https://%M/webhp?hl=en"));
    bool shownBeforeTick = false;
    platform.whileMessageShown = [&] {
        shownBeforeTick = ViewShown();
        Tick();
    };
    Search("  ");
    EXPECT_TRUE(shownBeforeTick);
    EXPECT_FALSE(ViewShown()) << "the tick inside the message's loop hid the view";
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(TimerPeriod(), 10);
}

TEST_F(MainWindowFixture, TicksWhileTheMessageIsUpLeaveResultsAlone) {
    Search("q");
    platform.whileMessageShown = [&] { Tick(); };
    Search("\u3000");
    EXPECT_TRUE(ViewShown());
    EXPECT_EQ(ViewAddress(), ResultsOf("q"));
}

// ---- back and forward ----

TEST_F(MainWindowFixture, BackAfterTheWatchHidTheViewKeepsItHidden) {
    Search("q");
    PageGoesTo(Mirror("https://%M/webhp?hl=en"));
    Tick();
    ASSERT_FALSE(ViewShown());
    platform.log.clear();

    Click("BackButton");
    EXPECT_EQ(ViewAddress(), ResultsOf("q"));
    EXPECT_FALSE(ViewShown());
    Tick();
    EXPECT_FALSE(ViewShown()) << "results are no home page, but the tick never shows";
    EXPECT_EQ(TimerPeriod(), 10);

    Click("ForwardButton");
    EXPECT_EQ(ViewAddress(), Mirror("https://%M/webhp?hl=en"));
    EXPECT_FALSE(ViewShown());
    EXPECT_TRUE(ViewAndTimerLog().empty())
        << "back and forward neither show, hide nor touch the timer";
}

TEST_F(MainWindowFixture, BackAndForwardMoveAShownViewAndLeaveItShown) {
    Search("q");
    PageGoesTo(Mirror("https://%M/search?q=more"));
    platform.log.clear();
    Click("BackButton");
    EXPECT_EQ(ViewAddress(), ResultsOf("q"));
    Click("ForwardButton");
    EXPECT_EQ(ViewAddress(), Mirror("https://%M/search?q=more"));
    EXPECT_TRUE(ViewShown());
    EXPECT_TRUE(ViewAndTimerLog().empty());
}

TEST_F(MainWindowFixture, BackAndForwardWithNothingToGoToDoNothing) {
    Click("BackButton");
    Click("ForwardButton");
    EXPECT_TRUE(View().history.empty());
    EXPECT_FALSE(ViewShown());

    Search("q");
    Click("BackButton");
    EXPECT_EQ(ViewAddress(), ResultsOf("q")) << "the first page has nothing behind it";
    Click("ForwardButton");
    EXPECT_EQ(ViewAddress(), ResultsOf("q")) << "the last page has nothing ahead of it";
    EXPECT_TRUE(ViewShown());
    EXPECT_EQ(TimerPeriod(), 10);
}

}  // namespace
}  // namespace qinvara

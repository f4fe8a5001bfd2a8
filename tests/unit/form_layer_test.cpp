// The form layer's orders and rules, driven through the headless platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "forms/Centring.h"
#include "forms/FormLayer.h"
#include "forms/headless/HeadlessPlatform.h"

namespace qinvara::forms {
namespace {

// What the handlers of the test forms do is decided by each test.
std::vector<std::string>* gEvents = nullptr;
std::function<Reply(FormLayer&, const std::string&, const EventArgs&)> gAction;

template <const char* What>
Reply Record(FormLayer& layer, const EventArgs& args) {
    gEvents->push_back(What);
    return gAction ? gAction(layer, What, args) : Reply::Nothing;
}

constexpr char kMainCreated[] = "Main.Created";
constexpr char kMainDestroyed[] = "Main.WillBeDestroyed";
constexpr char kDialogCreated[] = "Dialog.Created";
constexpr char kDialogDestroyed[] = "Dialog.WillBeDestroyed";
constexpr char kFieldKey[] = "Field.KeyPressed";
constexpr char kLabelPress[] = "Label.LeftMousePressed";
constexpr char kButtonClicked[] = "Button.Clicked";
constexpr char kTimerTick[] = "Timer.Tick";

ControlSpec Edit(const std::string& name, bool tabStop, bool multiLine = false) {
    return {name, "", 10, 10, 100, 20, true, tabStop, EditProps{"", {}, multiLine, 0}};
}

Form MakeMain() {
    Form f;
    f.window.name = "Main";
    f.window.caption = "Main";
    f.window.width = 1000;
    f.window.height = 600;
    f.window.startCentred = true;
    f.window.escCloses = true;
    f.window.moveByBody = true;
    f.controls = {
        {"Label", "", 872, 8, 24, 16, true, false,
         LabelProps{"about", {255, 255, 255}, {}, Align::Left}},
        {"Timer", "", 208, 8, 16, 16, false, false, TimerProps{0}},
        {"Button", "", 975, 5, 20, 20, true, false,
         ImageButtonProps{Artwork::CloseNormal, Artwork::CloseHover, Artwork::ClosePressed}},
        {"View", "", 128, 168, 48, 48, false, true, WebViewProps{"", true}},
        Edit("First", true),
        Edit("Hidden", true),
        Edit("NoStop", false),
        Edit("Field", true),
    };
    f.controls[5].visible = false;
    f.bindings = {
        {"", Event::Created, &Record<kMainCreated>},
        {"", Event::WillBeDestroyed, &Record<kMainDestroyed>},
        {"Field", Event::KeyPressed, &Record<kFieldKey>},
        {"Label", Event::LeftMousePressed, &Record<kLabelPress>},
        {"Button", Event::Clicked, &Record<kButtonClicked>},
        {"Timer", Event::Tick, &Record<kTimerTick>},
    };
    return f;
}

Form MakeDialog() {
    Form f;
    f.window.name = "Dialog";
    f.window.caption = "Dialog";
    f.window.width = 359;
    f.window.height = 230;
    f.window.border = Border::Fixed;
    f.window.startCentred = true;
    f.window.escCloses = true;
    f.window.showInTaskbar = true;  // modal windows are owned all the same
    f.controls = {Edit("Notes", true, true),
                  {"Ok", "", 1, 1, 80, 24, true, true, PushButtonProps{"OK"}}};
    f.bindings = {
        {"", Event::Created, &Record<kDialogCreated>},
        {"", Event::WillBeDestroyed, &Record<kDialogDestroyed>},
    };
    return f;
}

const Form kMain = MakeMain();
const Form kDialog = MakeDialog();

class FormLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gEvents = &events;
        gAction = nullptr;
    }
    void TearDown() override {
        gEvents = nullptr;
        gAction = nullptr;
    }

    // Index of the first log entry equal to `entry`, or -1.
    int At(const std::string& entry) const {
        auto it = std::find(platform.log.begin(), platform.log.end(), entry);
        return it == platform.log.end() ? -1 : static_cast<int>(it - platform.log.begin());
    }
    NativeWindow Main() const { return platform.WindowNamed("Main"); }
    NativeWindow Dialog() const { return platform.WindowNamed("Dialog"); }
    NativeControl Ctl(NativeWindow w, const std::string& name) const {
        return platform.ControlNamed(w, name);
    }
    int Count(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }

    std::vector<std::string> events;
    HeadlessPlatform platform;
    FormLayer layer{platform};
};

// ---- loading ----

TEST_F(FormLayerTest, LoadCreatesHiddenThenControlsInFormOrderThenCreatedThenShows) {
    gAction = [&](FormLayer&, const std::string& what, const EventArgs&) {
        if (what == kMainCreated) platform.log.push_back("Created");
        return Reply::Nothing;
    };
    ASSERT_TRUE(layer.LoadStartupWindow(kMain));
    std::vector<std::string> expected = {
        "create Main",
        "create control Label",
        "create control Timer",
        "create control Button",
        "create control View",
        "create control First",
        "create control Hidden",
        "create control NoStop",
        "create control Field",
        "show control Label",
        "show control Button",
        "show control First",
        "show control NoStop",
        "show control Field",
        "move Main 183,84",
        "Created",
        "show Main",
        "focus Field",
    };
    EXPECT_EQ(platform.log, expected);
    EXPECT_FALSE(platform.WindowOf(Main()).owned) << "a taskbar window has no owner";
}

struct CentringCase {
    int screenW, screenH, windowW, windowH, x, y;
};

class Centring : public ::testing::TestWithParam<CentringCase> {};

TEST_P(Centring, TruncatesTowardZeroOnTheFullScreen) {
    const auto& c = GetParam();
    EXPECT_EQ(CentredOrigin(c.screenW, c.windowW), c.x);
    EXPECT_EQ(CentredOrigin(c.screenH, c.windowH), c.y);
}

INSTANTIATE_TEST_SUITE_P(Screens, Centring,
                         ::testing::Values(CentringCase{800, 600, 1000, 600, -100, 0},
                                           CentringCase{1366, 768, 1000, 600, 183, 84},
                                           CentringCase{1365, 767, 1000, 600, 182, 83},
                                           // -1/2 is 0, not -1: toward zero, not down.
                                           CentringCase{999, 601, 1000, 600, 0, 0},
                                           CentringCase{801, 599, 1000, 600, -99, 0},
                                           CentringCase{1920, 1080, 394, 328, 763, 376}));

TEST_F(FormLayerTest, StartCentredUsesThePlatformsPrimaryScreen) {
    platform.screen = {800, 600};
    layer.LoadStartupWindow(kMain);
    EXPECT_EQ(platform.WindowOf(Main()).x, -100);
    EXPECT_EQ(platform.WindowOf(Main()).y, 0);
}

TEST_F(FormLayerTest, FirstShowHappensEvenWhenCreatedHidesTheWindow) {
    gAction = [&](FormLayer& l, const std::string& what, const EventArgs&) {
        if (what == kMainCreated) l.SetVisible(kMain, false);
        return Reply::Nothing;
    };
    layer.LoadStartupWindow(kMain);
    EXPECT_TRUE(platform.WindowOf(Main()).shown);
    EXPECT_TRUE(layer.IsVisible(kMain));
}

TEST_F(FormLayerTest, ShowingDuringCreatedIsTheFirstShowAndItIsNotRepeated) {
    gAction = [&](FormLayer& l, const std::string& what, const EventArgs&) {
        if (what == kMainCreated) l.SetVisible(kMain, true);
        return Reply::Nothing;
    };
    layer.LoadStartupWindow(kMain);
    EXPECT_EQ(std::count(platform.log.begin(), platform.log.end(), "show Main"), 1);
}

TEST_F(FormLayerTest, ModalWindowLoadedFromCreatedKeepsTheFirstWindowHiddenUntilItIsGone) {
    bool mainShownWhileDialogUp = true;
    bool mainEnabledWhileDialogUp = true;
    gAction = [&](FormLayer& l, const std::string& what, const EventArgs&) {
        if (what == kMainCreated) {
            platform.whenIdle = [&] {
                mainShownWhileDialogUp = platform.WindowOf(Main()).shown;
                mainEnabledWhileDialogUp = platform.WindowOf(Main()).enabled;
                platform.PressKey(Dialog(), vk::Escape);
            };
            l.LoadWindow(kDialog, true);
            events.push_back("LoadWindow returned");
        }
        return Reply::Nothing;
    };
    layer.LoadStartupWindow(kMain);
    EXPECT_FALSE(mainShownWhileDialogUp);
    EXPECT_FALSE(mainEnabledWhileDialogUp) << "hidden windows are disabled too";
    std::vector<std::string> expected = {kMainCreated, kDialogCreated, kDialogDestroyed,
                                         "LoadWindow returned"};
    EXPECT_EQ(events, expected);
    EXPECT_TRUE(platform.WindowOf(Main()).shown);
    EXPECT_TRUE(platform.WindowOf(Main()).enabled);
    EXPECT_LT(At("disable Main"), At("enable Main"));
    EXPECT_LT(At("enable Main"), At("show Main"));
}

TEST_F(FormLayerTest, ModalWindowIsOwnedAndRestoresEachEarlierEnabledState) {
    layer.LoadStartupWindow(kMain);
    platform.SetWindowEnabled(Main(), false);  // already disabled before the dialog
    platform.whenIdle = [&] { platform.Close(Dialog()); };
    layer.LoadWindow(kDialog, true);
    EXPECT_TRUE(platform.windows.begin()->second.design.name == "Main");
    EXPECT_FALSE(platform.WindowOf(Main()).enabled) << "it goes back to disabled, as it was";
    auto dialog = std::find_if(platform.windows.begin(), platform.windows.end(),
                               [](const auto& w) { return w.second.design.name == "Dialog"; });
    EXPECT_TRUE(dialog->second.owned);
}

TEST_F(FormLayerTest, ModalWaitsNestAndEachReturnsWhenItsWindowIsGone) {
    Form inner = MakeDialog();
    inner.window.name = "Inner";
    inner.bindings.clear();
    layer.LoadStartupWindow(kMain);
    std::vector<std::string> order;
    platform.whenIdle = [&] {
        platform.whenIdle = [&] {
            order.push_back("inner up");
            platform.Close(platform.WindowNamed("Inner"));
        };
        layer.LoadWindow(inner, true);
        order.push_back("inner returned");
        platform.whenIdle = [&] { platform.Close(Dialog()); };
    };
    layer.LoadWindow(kDialog, true);
    order.push_back("outer returned");
    std::vector<std::string> expected = {"inner up", "inner returned", "outer returned"};
    EXPECT_EQ(order, expected);
}

TEST_F(FormLayerTest, LoadingALoadedWindowOnlyActivatesIt) {
    layer.LoadStartupWindow(kMain);
    platform.log.clear();
    EXPECT_TRUE(layer.LoadWindow(kMain, false));
    EXPECT_EQ(Count(kMainCreated), 1);
    std::vector<std::string> expected = {"activate Main"};
    EXPECT_EQ(platform.log, expected);
}

TEST_F(FormLayerTest, LoadingAWindowPendingUnloadDestroysItFirst) {
    layer.LoadStartupWindow(kMain);
    layer.UnloadWindow(kMain);
    layer.LoadWindow(kMain, false);
    std::vector<std::string> expected = {kMainCreated, kMainDestroyed, kMainCreated};
    EXPECT_EQ(events, expected);
    platform.RunPending();  // the stale request finds a fresh instance and leaves it
    EXPECT_TRUE(layer.IsLoaded(kMain));
    EXPECT_EQ(Count(kMainDestroyed), 1);
}

TEST_F(FormLayerTest, AWindowThatCannotBeCreatedReportsFalseAndRaisesNothing) {
    platform.refuseWindows = true;
    EXPECT_FALSE(layer.LoadStartupWindow(kMain));
    EXPECT_FALSE(layer.LoadWindow(kDialog, true));
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(layer.IsLoaded(kMain));
}

// ---- unloading, closing and ending ----

TEST_F(FormLayerTest, UnloadIsPostedAndTheWindowStaysReadableUntilItIsTaken) {
    layer.LoadStartupWindow(kMain);
    layer.SetExitRoutine([&] { events.push_back("ExitRoutine"); });
    layer.Control(kMain, "Field").SetText(Text("q"));
    layer.UnloadWindow(kMain);
    EXPECT_TRUE(layer.IsLoaded(kMain));
    EXPECT_EQ(layer.Control(kMain, "Field").GetText(), Text("q"));
    EXPECT_EQ(Count(kMainDestroyed), 0);
    EXPECT_EQ(layer.Run(), 0);
    std::vector<std::string> expected = {kMainCreated, kMainDestroyed, "ExitRoutine"};
    EXPECT_EQ(events, expected);
    EXPECT_LT(At("hide Main"), At("destroy Main")) << "off the screen before it is destroyed";
}

TEST_F(FormLayerTest, EndProgramRunsTheExitRoutineOnceAndNeverTakesTheQueuedUnload) {
    layer.LoadStartupWindow(kMain);
    int exitRoutines = 0;
    layer.SetExitRoutine([&] { ++exitRoutines; });
    layer.UnloadWindow(kMain);
    try {
        layer.EndProgram(0);
        FAIL() << "EndProgram returned";
    } catch (const HeadlessExit& e) {
        EXPECT_EQ(e.code, 0);
    }
    EXPECT_EQ(exitRoutines, 1);
    EXPECT_EQ(Count(kMainDestroyed), 0);
}

TEST_F(FormLayerTest, CloseRequestIsSynchronousAndReenablesBeforeWillBeDestroyed) {
    layer.LoadStartupWindow(kMain);
    bool mainEnabledInWillBeDestroyed = false;
    gAction = [&](FormLayer& l, const std::string& what, const EventArgs&) {
        if (what == kDialogDestroyed) {
            mainEnabledInWillBeDestroyed = l.IsEnabled(kMain);
            l.SetVisible(kMain, true);
        }
        return Reply::Nothing;
    };
    platform.whenIdle = [&] {
        layer.UnloadWindow(kDialog);  // queued, but the close box wins
        platform.Close(Dialog());
        EXPECT_FALSE(layer.IsLoaded(kDialog)) << "closed at once, not through the queue";
    };
    layer.LoadWindow(kDialog, true);
    EXPECT_TRUE(mainEnabledInWillBeDestroyed);
    platform.RunPending();  // the stale unload does nothing
    EXPECT_EQ(Count(kDialogDestroyed), 1);
    EXPECT_TRUE(layer.IsLoaded(kMain));
}

TEST_F(FormLayerTest, TheLastWindowClosingEndsTheMainLoopWithZero) {
    layer.LoadStartupWindow(kMain);
    platform.whenIdle = [&] { platform.Close(Main()); };
    EXPECT_EQ(layer.Run(), 0);
    EXPECT_EQ(Count(kMainDestroyed), 1);
}

TEST_F(FormLayerTest, UsingAControlOfAWindowNotLoadedIsFatalWithStatus255) {
    try {
        layer.Control(kDialog, "Notes").GetText();
        FAIL() << "no fatal error";
    } catch (const HeadlessExit& e) {
        EXPECT_EQ(e.code, 255);
    }
    EXPECT_EQ(platform.fatalErrors.size(), 1u);
}

// ---- keyboard ----

struct EscCase {
    const char* name;
    int modifiers;
    bool closes;
};

class EscapeKey : public FormLayerTest, public ::testing::WithParamInterface<EscCase> {};

TEST_P(EscapeKey, OnlyPlainEscClosesAnEscClosesWindow) {
    layer.LoadStartupWindow(kMain);
    platform.PressKey(Main(), vk::Escape, GetParam().modifiers);
    EXPECT_EQ(!layer.IsLoaded(kMain), GetParam().closes);
    // Esc that does not close is an ordinary key for the focused field.
    EXPECT_EQ(Count(kFieldKey), GetParam().closes ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modifiers, EscapeKey,
    ::testing::Values(EscCase{"plain", 0, true}, EscCase{"shift", modifier::Shift, false},
                      EscCase{"ctrl", modifier::Ctrl, false}, EscCase{"alt", modifier::Alt, false},
                      EscCase{"ctrl_shift", modifier::Ctrl | modifier::Shift, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormLayerTest, AltF4ClosesEvenAWindowWithoutEscCloses) {
    Form plain = MakeMain();
    plain.window.escCloses = false;
    layer.LoadStartupWindow(plain);
    platform.PressKey(platform.WindowNamed("Main"), vk::F4, modifier::Ctrl | modifier::Alt);
    EXPECT_TRUE(layer.IsLoaded(plain)) << "only Alt+F4 itself";
    platform.PressKey(platform.WindowNamed("Main"), vk::F4, modifier::Alt);
    EXPECT_FALSE(layer.IsLoaded(plain));
    EXPECT_EQ(Count(kMainDestroyed), 1);
}

TEST_F(FormLayerTest, EscInAMultiLineEditStillClosesTheWindow) {
    layer.LoadStartupWindow(kMain);
    platform.whenIdle = [&] {
        platform.FocusControl(Ctl(Dialog(), "Notes"));
        platform.PressKey(Dialog(), vk::Escape);
    };
    layer.LoadWindow(kDialog, true);
    EXPECT_FALSE(layer.IsLoaded(kDialog));
}

TEST_F(FormLayerTest, EscInAWindowWithoutEscClosesIsAnOrdinaryKey) {
    Form plain = MakeMain();
    plain.window.escCloses = false;
    layer.LoadStartupWindow(plain);
    platform.PressKey(platform.WindowNamed("Main"), vk::Escape);
    EXPECT_TRUE(layer.IsLoaded(plain));
    EXPECT_EQ(Count(kFieldKey), 1);
}

struct KeyCase {
    const char* name;
    int virtualKey;
    int modifiers;
    int code;
};

class KeyPressedArguments : public FormLayerTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyPressedArguments, ReachTheFocusedControlsHandler) {
    layer.LoadStartupWindow(kMain);
    EventArgs seen;
    gAction = [&](FormLayer&, const std::string&, const EventArgs& a) {
        seen = a;
        return Reply::Nothing;
    };
    platform.PressKey(Main(), GetParam().virtualKey, GetParam().modifiers);
    ASSERT_EQ(Count(kFieldKey), 1);
    EXPECT_EQ(seen.keyCode, GetParam().code);
    EXPECT_EQ(seen.modifiers, GetParam().modifiers);
    EXPECT_EQ(platform.log.back(),
              std::string("key ") + std::to_string(GetParam().virtualKey) + " to control");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyPressedArguments,
    ::testing::Values(KeyCase{"enter", 0x0D, 0, 13},
                      KeyCase{"ctrl_enter", 0x0D, modifier::Ctrl, 13},
                      KeyCase{"alt_shift_enter", 0x0D, modifier::Alt | modifier::Shift, 13},
                      KeyCase{"keypad_5", 0x65, 0, 0x35}, KeyCase{"keypad_0", 0x60, 0, 0x30},
                      KeyCase{"keypad_9", 0x69, 0, 0x39}, KeyCase{"keypad_minus", 0x6D, 0, 189},
                      KeyCase{"keypad_point", 0x6E, 0, 190}, KeyCase{"keypad_slash", 0x6F, 0, 191},
                      KeyCase{"keypad_plus_stays", 0x6B, 0, 0x6B},
                      KeyCase{"letter_a", 'A', modifier::Shift, 'A'},
                      KeyCase{"alt_f", 'F', modifier::Alt, 'F'}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormLayerTest, EnterClicksTheDefaultButtonUnlessAMultiLineEditClaimsIt) {
    Form dialog = MakeDialog();
    std::get<PushButtonProps>(dialog.controls[1].props).isDefault = true;
    dialog.bindings.push_back({"Ok", Event::Clicked, &Record<kButtonClicked>});
    layer.LoadStartupWindow(kMain);
    platform.whenIdle = [&] {
        NativeWindow d = platform.WindowNamed("Dialog");
        platform.FocusControl(Ctl(d, "Notes"));
        platform.PressKey(d, vk::Return);  // a new line in the notes
        EXPECT_EQ(Count(kButtonClicked), 0);
        platform.focus = 0;
        platform.PressKey(d, vk::Return);
        EXPECT_EQ(Count(kButtonClicked), 1);
        EXPECT_EQ(platform.log.back(), "key 13 consumed");
        platform.Close(d);
    };
    layer.LoadWindow(dialog, true);
}

TEST_F(FormLayerTest, AKeyHandlerAnsweringFalseSwallowsTheKey) {
    layer.LoadStartupWindow(kMain);
    gAction = [](FormLayer&, const std::string&, const EventArgs&) { return Reply::False; };
    platform.PressKey(Main(), 'A');
    EXPECT_EQ(platform.log.back(), "key 65 consumed");
    gAction = [](FormLayer&, const std::string&, const EventArgs&) { return Reply::True; };
    platform.PressKey(Main(), 'B');
    EXPECT_EQ(platform.log.back(), "key 66 to control");
}

TEST_F(FormLayerTest, KeysForAFocusedBrowserViewGoToTheViewFirst) {
    layer.LoadStartupWindow(kMain);
    platform.FocusControl(Ctl(Main(), "View"));
    platform.PressKey(Main(), vk::Escape);
    EXPECT_TRUE(layer.IsLoaded(kMain)) << "Esc belongs to the page in the view";
    EXPECT_EQ(platform.log.back(), "key 27 to control");
}

TEST_F(FormLayerTest, KeysABrowserViewLeavesAreHandledLikeAnyOther) {
    layer.LoadStartupWindow(kMain);
    NativeControl view = Ctl(Main(), "View");
    platform.FocusControl(view);
    platform.PressKey(Main(), vk::Escape, 0, true);
    EXPECT_EQ(platform.log.back(), "key 27 consumed");
    EXPECT_FALSE(layer.IsLoaded(kMain)) << "Esc the page did not take closes the window";
}

TEST_F(FormLayerTest, TabAndShiftTabMoveAmongVisibleTabStops) {
    layer.LoadStartupWindow(kMain);
    ASSERT_EQ(platform.focus, Ctl(Main(), "Field"));
    platform.PressKey(Main(), vk::Tab);  // wraps; the hidden view is skipped
    EXPECT_EQ(platform.focus, Ctl(Main(), "First"));
    platform.PressKey(Main(), vk::Tab);  // Hidden and NoStop are skipped
    EXPECT_EQ(platform.focus, Ctl(Main(), "Field"));
    platform.PressKey(Main(), vk::Tab, modifier::Shift);
    EXPECT_EQ(platform.focus, Ctl(Main(), "First"));
    platform.PressKey(Main(), vk::Tab, modifier::Shift);
    EXPECT_EQ(platform.focus, Ctl(Main(), "Field"));
    // Once a shown view has the focus, Tab is the page's.
    layer.Control(kMain, "View").SetVisible(true);
    platform.FocusControl(Ctl(Main(), "View"));
    platform.PressKey(Main(), vk::Tab);
    EXPECT_EQ(platform.focus, Ctl(Main(), "View"));
    EXPECT_EQ(Count(kFieldKey), 0) << "Tab never reaches KeyPressed";
}

// ---- mouse ----

TEST_F(FormLayerTest, APressOnTheBodyMovesTheWindowButAPressOnALabelDoesNot) {
    layer.LoadStartupWindow(kMain);
    platform.PressOn(Main(), 0, 500, 300);
    EXPECT_EQ(platform.log.back(), "drag Main");
    platform.log.clear();
    EventArgs seen;
    gAction = [&](FormLayer&, const std::string&, const EventArgs& a) {
        seen = a;
        return Reply::Nothing;
    };
    EXPECT_TRUE(
        platform.PressOn(Main(), Ctl(Main(), "Label"), 3, 4, modifier::Ctrl | modifier::Shift));
    EXPECT_TRUE(platform.log.empty()) << "no drag from a label";
    EXPECT_EQ(Count(kLabelPress), 1);
    EXPECT_EQ(seen.x, 3);
    EXPECT_EQ(seen.y, 4);
    EXPECT_EQ(seen.modifiers, 3);
}

TEST_F(FormLayerTest, PressCoordinatesAreUnsigned16BitValues) {
    layer.LoadStartupWindow(kMain);
    EventArgs seen;
    gAction = [&](FormLayer&, const std::string&, const EventArgs& a) {
        seen = a;
        return Reply::Nothing;
    };
    platform.PressOn(Main(), Ctl(Main(), "Label"), -1, 70000);
    EXPECT_EQ(seen.x, 65535);
    EXPECT_EQ(seen.y, 70000 - 65536);
}

TEST_F(FormLayerTest, DoubleClicksSecondPressRaisesNothingAndStartsNoDrag) {
    layer.LoadStartupWindow(kMain);
    platform.log.clear();
    platform.PressOn(Main(), Ctl(Main(), "Label"), 1, 1, 0, true);
    platform.PressOn(Main(), 0, 1, 1, 0, true);
    EXPECT_EQ(Count(kLabelPress), 0);
    EXPECT_TRUE(platform.log.empty());
}

TEST_F(FormLayerTest, APressHandlerAnsweringFalseSwallowsThePress) {
    layer.LoadStartupWindow(kMain);
    gAction = [](FormLayer&, const std::string&, const EventArgs&) { return Reply::False; };
    EXPECT_FALSE(platform.PressOn(Main(), Ctl(Main(), "Label"), 1, 1));
}

// ---- focus and activation ----

TEST_F(FormLayerTest, FocusIsRememberedOnDeactivationAndRestored) {
    layer.LoadStartupWindow(kMain);
    platform.FocusControl(Ctl(Main(), "First"));
    layer.SetVisible(kMain, false);
    platform.focus = 0;
    layer.SetVisible(kMain, true);
    EXPECT_EQ(platform.focus, Ctl(Main(), "First"));
}

TEST_F(FormLayerTest, ActivatingADisabledWindowActivatesTheModalWindow) {
    layer.LoadStartupWindow(kMain);
    platform.whenIdle = [&] {
        platform.log.clear();
        platform.ActivateFromTaskbar(Main());
        EXPECT_EQ(platform.log, std::vector<std::string>{"activate Dialog"});
        platform.Close(Dialog());
    };
    layer.LoadWindow(kDialog, true);
}

TEST_F(FormLayerTest, ShowMessageDisablesEveryWindowAndRestoresThem) {
    layer.LoadStartupWindow(kMain);
    bool enabledDuring = true;
    platform.whileMessageShown = [&] { enabledDuring = platform.WindowOf(Main()).enabled; };
    layer.ShowMessage(Text("\xC4\xFA\xBA\xC3"), Text("cap"));
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(platform.WindowOf(Main()).enabled);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].first, "您好") << "handed over as UTF-8";
}

// ---- timer ----

TEST_F(FormLayerTest, TimerPeriodRules) {
    layer.LoadStartupWindow(kMain);
    ControlRef timer = layer.Control(kMain, "Timer");
    NativeControl native = Ctl(Main(), "Timer");
    platform.log.clear();

    timer.SetPeriod(-5);
    EXPECT_EQ(timer.Period(), 0);
    EXPECT_TRUE(platform.log.empty()) << "negative stores 0, which it already had";

    timer.SetPeriod(1);
    EXPECT_EQ(timer.Period(), 1);
    EXPECT_EQ(platform.ControlOf(native).timerPeriod, 10) << "under 10 ms becomes 10 ms";

    platform.log.clear();
    timer.SetPeriod(1);
    EXPECT_TRUE(platform.log.empty()) << "the same period keeps the running rhythm";

    timer.SetPeriod(250);
    std::vector<std::string> restarted = {"stop timer Timer", "start timer Timer 250"};
    EXPECT_EQ(platform.log, restarted);

    platform.Tick(native);
    EXPECT_EQ(Count(kTimerTick), 1);
    timer.SetPeriod(0);
    EXPECT_EQ(platform.ControlOf(native).timerPeriod, 0);
    platform.Tick(native);  // a tick already on its way when the timer stopped
    EXPECT_EQ(Count(kTimerTick), 1);
}

TEST_F(FormLayerTest, WritingVisibleToATimerDrawsNothing) {
    layer.LoadStartupWindow(kMain);
    platform.log.clear();
    layer.Control(kMain, "Timer").SetVisible(true);
    EXPECT_TRUE(platform.log.empty());
}

// ---- image buttons ----

struct PointerStep {
    PointerAction action;
    bool over;
    ButtonPicture picture;
    bool clicks;
};

struct ButtonCase {
    const char* name;
    std::vector<PointerStep> steps;
};

class ImageButtonSequence : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(ImageButtonSequence, ShowsItsPicturesAndClicksOnReleaseOverIt) {
    ImageButtonState button;
    int i = 0;
    for (const PointerStep& s : GetParam().steps) {
        EXPECT_EQ(button.Handle({s.action, s.over}), s.clicks) << "step " << i;
        EXPECT_EQ(button.Picture(), s.picture) << "step " << i;
        ++i;
    }
}

using PA = PointerAction;
using BP = ButtonPicture;
INSTANTIATE_TEST_SUITE_P(Pointer, ImageButtonSequence,
                         ::testing::Values(ButtonCase{"click",
                                                      {{PA::Enter, true, BP::Hover, false},
                                                       {PA::Press, true, BP::Pressed, false},
                                                       {PA::Release, true, BP::Hover, true},
                                                       {PA::Leave, false, BP::Normal, false}}},
                                           ButtonCase{"released_outside",
                                                      {{PA::Enter, true, BP::Hover, false},
                                                       {PA::Press, true, BP::Pressed, false},
                                                       {PA::Motion, false, BP::Normal, false},
                                                       {PA::Release, false, BP::Normal, false}}},
                                           ButtonCase{"dragged_out_and_back",
                                                      {{PA::Press, true, BP::Pressed, false},
                                                       {PA::Leave, false, BP::Normal, false},
                                                       {PA::Enter, true, BP::Pressed, false},
                                                       {PA::Release, true, BP::Hover, true}}},
                                           ButtonCase{"double_click",
                                                      {{PA::Press, true, BP::Pressed, false},
                                                       {PA::Release, true, BP::Hover, true},
                                                       {PA::DoublePress, true, BP::Hover, false},
                                                       {PA::Release, true, BP::Hover, true}}},
                                           ButtonCase{"hover_only",
                                                      {{PA::Enter, true, BP::Hover, false},
                                                       {PA::Release, true, BP::Hover, false}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormLayerTest, ImageButtonClickRaisesClickedAndShowsPictures) {
    layer.LoadStartupWindow(kMain);
    NativeControl button = Ctl(Main(), "Button");
    platform.Pointer(button, PA::Enter, true);
    EXPECT_EQ(platform.ControlOf(button).picture, Artwork::CloseHover);
    platform.PressOn(Main(), button, 2, 2);
    platform.Pointer(button, PA::Press, true);
    EXPECT_EQ(platform.ControlOf(button).picture, Artwork::ClosePressed);
    platform.Pointer(button, PA::Release, true);
    EXPECT_EQ(Count(kButtonClicked), 1);
    platform.Pointer(button, PA::Leave, false);
    EXPECT_EQ(platform.ControlOf(button).picture, Artwork::CloseNormal);
}

}  // namespace
}  // namespace qinvara::forms

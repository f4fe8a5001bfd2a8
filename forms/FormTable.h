// A window as data: its properties, its controls in form order and the
// bindings from (control, event) to the program's handlers. The tables in
// app/, about/ and update/ are written in these terms; behaviour lives in the
// handlers they bind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "assets/Artwork.h"

namespace qinvara::forms {

class FormLayer;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A font stored with a control: a character height in pixels and a weight in
// the default face. A zero height means the desktop's default GUI font.
// `family` and `points` are for controls that name a face of their own.
struct Font {
    int pixelHeight = 0;
    int weight = 400;
    std::string family;
    int points = 0;
};

enum class Align { Left, Centre };

enum class Border { None, Fixed };

enum class WindowIcon { None, ProgramIcon, BlueG };

struct ImageButtonProps {
    Artwork normal;
    Artwork hover;
    Artwork pressed;
};

struct LabelProps {
    std::string text;  // UTF-8, as the table reads
    Rgb colour;
    Font font;
    Align align = Align::Left;
};

struct EditProps {
    std::string text;
    Font font;
    bool multiLine = false;
    int maxBytes = 0;  // in the program's code page; 0 means no limit
};

struct PushButtonProps {
    std::string text;
    bool isDefault = false;  // Enter anywhere in the window clicks it
};

struct RichTextProps {
    std::string text;
    Font font;
};

struct PictureProps {
    Artwork picture;
};

struct WebViewProps {
    std::string address;  // loaded at creation when not empty
    bool silent = false;
};

struct TimerProps {
    int period = 0;
};

using ControlProps = std::variant<ImageButtonProps, LabelProps, EditProps, PushButtonProps,
                                  RichTextProps, PictureProps, WebViewProps, TimerProps>;

enum class ControlKind {
    ImageButton,
    TransparentLabel,
    EditBox,
    PushButton,
    RichTextBox,
    PictureBox,
    WebView,
    Timer
};

// The kind follows from the props.
inline ControlKind KindOf(const ControlProps& props) {
    return static_cast<ControlKind>(props.index());
}

struct ControlSpec {
    std::string name;      // the name the program uses, e.g. "SearchBox"
    std::string formName;  // the designer's name, e.g. "编辑框1"
    int left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool tabStop = false;
    ControlProps props;

    ControlKind kind() const { return KindOf(props); }
    // Image buttons, labels, pictures and timers never take the keyboard focus.
    bool canFocus() const {
        switch (kind()) {
            case ControlKind::EditBox:
            case ControlKind::PushButton:
            case ControlKind::RichTextBox:
            case ControlKind::WebView:
                return true;
            default:
                return false;
        }
    }
};

struct WindowSpec {
    std::string name;
    std::string caption;
    int width = 0, height = 0;  // outer size
    Border border = Border::None;
    bool minimizeBox = false;
    bool maximizeBox = false;
    bool hasBackgroundPicture = false;
    Artwork backgroundPicture{};
    bool hasBackgroundColour = false;  // otherwise the theme's face colour
    Rgb backgroundColour;
    WindowIcon icon = WindowIcon::None;
    bool startCentred = false;
    bool escCloses = false;
    bool moveByBody = false;
    bool showInTaskbar = true;
    bool visible = true;
};

enum class Event { Created, WillBeDestroyed, Clicked, KeyPressed, LeftMousePressed, Tick };

// Arguments of an event, in the order the event passes them.
struct EventArgs {
    std::int32_t keyCode = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t modifiers = 0;  // 1 Ctrl, 2 Shift, 4 Alt
};

// What a handler answers: nothing (the usual case), or true / false where
// false swallows a key or a press.
enum class Reply { Nothing, True, False };

using Handler = Reply (*)(FormLayer&, const EventArgs&);

struct Binding {
    std::string control;  // empty: the window itself
    Event event;
    Handler handler;
};

struct Form {
    WindowSpec window;
    std::vector<ControlSpec> controls;
    std::vector<Binding> bindings;
};

}  // namespace qinvara::forms

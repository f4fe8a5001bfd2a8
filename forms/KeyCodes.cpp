#include "forms/KeyCodes.h"

#include <array>
#include <utility>

namespace qinvara::forms {
namespace {

// X keysyms (as GDK numbers them) of the keys that are not letters or digits.
constexpr std::array<std::pair<unsigned, int>, 62> kKeysymToVirtualKey{{
    {0xff08, 0x08},  // BackSpace
    {0xff09, 0x09},  // Tab
    {0xfe20, 0x09},  // ISO_Left_Tab (Shift+Tab)
    {0xff0d, 0x0D},  // Return
    {0xff8d, 0x0D},  // KP_Enter: Enter on either block
    {0xff13, 0x13},  // Pause
    {0xffe5, 0x14},  // Caps_Lock
    {0xff1b, 0x1B},  // Escape
    {0x0020, 0x20},  // space
    {0xff55, 0x21},  // Prior
    {0xff56, 0x22},  // Next
    {0xff57, 0x23},  // End
    {0xff50, 0x24},  // Home
    {0xff51, 0x25},  // Left
    {0xff52, 0x26},  // Up
    {0xff53, 0x27},  // Right
    {0xff54, 0x28},  // Down
    {0xff63, 0x2D},  // Insert
    {0xffff, 0x2E},  // Delete
    {0xff9c, 0x23},  // KP_End
    {0xff95, 0x24},  // KP_Home
    {0xff96, 0x25},  // KP_Left
    {0xff97, 0x26},  // KP_Up
    {0xff98, 0x27},  // KP_Right
    {0xff99, 0x28},  // KP_Down
    {0xff9a, 0x21},  // KP_Prior
    {0xff9b, 0x22},  // KP_Next
    {0xff9e, 0x2D},  // KP_Insert
    {0xff9f, 0x2E},  // KP_Delete
    {0xff9d, 0x0C},  // KP_Begin (keypad 5 without Num Lock)
    {0xffaa, 0x6A},  // KP_Multiply
    {0xffab, 0x6B},  // KP_Add
    {0xffac, 0x6C},  // KP_Separator
    {0xffad, 0x6D},  // KP_Subtract
    {0xffae, 0x6E},  // KP_Decimal
    {0xffaf, 0x6F},  // KP_Divide
    {0xff7f, 0x90},  // Num_Lock
    {0xff14, 0x91},  // Scroll_Lock
    {0xffe1, 0x10},  // Shift_L
    {0xffe2, 0x10},  // Shift_R
    {0xffe3, 0x11},  // Control_L
    {0xffe4, 0x11},  // Control_R
    {0xffe9, 0x12},  // Alt_L
    {0xffea, 0x12},  // Alt_R
    {0xff67, 0x5D},  // Menu
    {0xffeb, 0x5B},  // Super_L
    {0xffec, 0x5C},  // Super_R
    {0x003b, 0xBA},  // semicolon
    {0x003d, 0xBB},  // equal
    {0x002c, 0xBC},  // comma
    {0x002d, 0xBD},  // minus
    {0x002e, 0xBE},  // period
    {0x002f, 0xBF},  // slash
    {0x0060, 0xC0},  // grave
    {0x005b, 0xDB},  // bracketleft
    {0x005c, 0xDC},  // backslash
    {0x005d, 0xDD},  // bracketright
    {0x0027, 0xDE},  // apostrophe
    {0xff61, 0x2A},  // Print
    {0xff6a, 0x2F},  // Help
    {0xff6b, 0x03},  // Break
    {0xff80, 0x20},  // KP_Space
}};

}  // namespace

int VirtualKeyFromKeysym(unsigned keysym) {
    if (keysym >= 'a' && keysym <= 'z') return static_cast<int>(keysym - 'a' + 'A');
    if (keysym >= 'A' && keysym <= 'Z') return static_cast<int>(keysym);
    if (keysym >= '0' && keysym <= '9') return static_cast<int>(keysym);
    if (keysym >= 0xffb0 && keysym <= 0xffb9)
        return static_cast<int>(0x60 + keysym - 0xffb0);  // KP_0..9
    if (keysym >= 0xffbe && keysym <= 0xffd5)
        return static_cast<int>(0x70 + keysym - 0xffbe);  // F1..F24
    for (const auto& [sym, key] : kKeysymToVirtualKey) {
        if (sym == keysym) return key;
    }
    return 0;
}

int KeyPressedCode(int virtualKey) {
    if (virtualKey >= 0x60 && virtualKey <= 0x69) return virtualKey - 0x60 + 0x30;
    switch (virtualKey) {
        case 0x6D:
            return 189;
        case 0x6E:
            return 190;
        case 0x6F:
            return 191;
        default:
            return virtualKey & 0xFF;
    }
}

}  // namespace qinvara::forms

#include <gtest/gtest.h>

#include "forms/KeyCodes.h"

namespace qinvara::forms {
namespace {

struct KeysymCase {
    unsigned keysym;
    int virtualKey;
};

class KeysymTranslation : public ::testing::TestWithParam<KeysymCase> {};

TEST_P(KeysymTranslation, GivesTheWindowsVirtualKey) {
    EXPECT_EQ(VirtualKeyFromKeysym(GetParam().keysym), GetParam().virtualKey);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeysymTranslation,
    ::testing::Values(KeysymCase{0xff0d, 13},  // Return
                      KeysymCase{0xff8d, 13},  // KP_Enter
                      KeysymCase{0xff1b, 27},  // Escape
                      KeysymCase{0xff09, 9},   // Tab
                      KeysymCase{0xfe20, 9},   // ISO_Left_Tab, what Shift+Tab sends
                      KeysymCase{'a', 'A'}, KeysymCase{'z', 'Z'}, KeysymCase{'Q', 'Q'},
                      KeysymCase{'0', '0'}, KeysymCase{'9', '9'}, KeysymCase{0xffb0, 0x60},  // KP_0
                      KeysymCase{0xffb5, 0x65},                                              // KP_5
                      KeysymCase{0xffb9, 0x69},                                              // KP_9
                      KeysymCase{0xffad, 0x6D},  // KP_Subtract
                      KeysymCase{0xffae, 0x6E},  // KP_Decimal
                      KeysymCase{0xffaf, 0x6F},  // KP_Divide
                      KeysymCase{0xffbe, 0x70},  // F1
                      KeysymCase{0xffc9, 0x7B},  // F12
                      KeysymCase{0xff51, 0x25},  // Left
                      KeysymCase{0xffff, 0x2E},  // Delete
                      KeysymCase{0xffe3, 0x11},  // Control_L
                      KeysymCase{0x2d, 0xBD},    // minus on the main block
                      KeysymCase{0x20, 0x20},    // space
                      KeysymCase{0x4e2d, 0}));   // a character with no key of its own

struct CodeCase {
    int virtualKey;
    int code;
};

class KeyPressedCodes : public ::testing::TestWithParam<CodeCase> {};

TEST_P(KeyPressedCodes, ReadKeypadKeysAsMainKeys) {
    EXPECT_EQ(KeyPressedCode(GetParam().virtualKey), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Codes, KeyPressedCodes,
                         ::testing::Values(CodeCase{0x60, 0x30}, CodeCase{0x65, 0x35},
                                           CodeCase{0x69, 0x39}, CodeCase{0x6D, 189},
                                           CodeCase{0x6E, 190}, CodeCase{0x6F, 191},
                                           CodeCase{0x6A, 0x6A}, CodeCase{0x6B, 0x6B},
                                           CodeCase{0x0D, 13}, CodeCase{0x1B, 27},
                                           CodeCase{0x41, 0x41}, CodeCase{0xBD, 189},
                                           CodeCase{0x15A, 0x5A}));  // only the low byte

}  // namespace
}  // namespace qinvara::forms

// Key codes as the program's handlers see them: Windows virtual-key numbers.
#pragma once

namespace qinvara::forms {

namespace vk {
inline constexpr int Tab = 0x09;
inline constexpr int Return = 0x0D;
inline constexpr int Escape = 0x1B;
inline constexpr int F4 = 0x73;
}  // namespace vk

namespace modifier {
inline constexpr int Ctrl = 1;
inline constexpr int Shift = 2;
inline constexpr int Alt = 4;
}  // namespace modifier

// The virtual-key code of a toolkit key value (an X keysym); 0 when it has none.
int VirtualKeyFromKeysym(unsigned keysym);

// The code that KeyPressed passes: keypad digits and keypad - . / read as
// the main keyboard's keys.
int KeyPressedCode(int virtualKey);

}  // namespace qinvara::forms

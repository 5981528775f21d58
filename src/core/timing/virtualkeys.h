#pragma once

#include <Qt>

// The timing tools speak the classic virtual-key codes (13 Enter, 27 Escape,
// 37..40 arrows, 96..105 keypad digits, 108 keypad separator); this maps a
// Qt key event's key and modifiers onto them. Keypad keys are told from the
// main keys by Qt::KeypadModifier, with Num Lock on (digits) or off (the
// keypad's arrow, Home, PageUp ... meanings), so keypad 4 is always 100 and
// the arrow key beside it always 37.
namespace kolvo::vk {

constexpr int Enter = 13;
constexpr int Escape = 27;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Numpad0 = 96;
constexpr int Separator = 108;

// 0 for a key with no code the tools care about.
int fromQtKey(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace kolvo::vk

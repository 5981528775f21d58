#include "core/timing/virtualkeys.h"

#include <gtest/gtest.h>

using kolvo::vk::fromQtKey;

namespace {

TEST(VirtualKeys, KeypadIsToldFromMainKeysAndArrows) {
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        int code;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Qt::KeyboardModifiers kp = Qt::KeypadModifier;
    const Case cases[] = {
        // arrow keys
        {Qt::Key_Left, none, 37},
        {Qt::Key_Up, none, 38},
        {Qt::Key_Right, none, 39},
        {Qt::Key_Down, none, 40},
        // keypad with Num Lock on
        {Qt::Key_4, kp, 100},
        {Qt::Key_2, kp, 98},
        {Qt::Key_8, kp, 104},
        {Qt::Key_6, kp, 102},
        {Qt::Key_7, kp, 103},
        {Qt::Key_9, kp, 105},
        {Qt::Key_0, kp, 96},
        // keypad with Num Lock off
        {Qt::Key_Left, kp, 100},
        {Qt::Key_Down, kp, 98},
        {Qt::Key_Up, kp, 104},
        {Qt::Key_Right, kp, 102},
        {Qt::Key_Home, kp, 103},
        {Qt::Key_PageUp, kp, 105},
        {Qt::Key_Clear, kp, 101},
        // main digits are not keypad digits
        {Qt::Key_4, none, 52},
        {Qt::Key_8, Qt::ShiftModifier, 56},
        // Enter, keypad Enter, keypad separator, Escape
        {Qt::Key_Return, none, 13},
        {Qt::Key_Enter, kp, 13},
        {Qt::Key_Comma, kp, 108},
        {Qt::Key_Escape, none, 27},
        // arrows with a modifier held are still arrows
        {Qt::Key_Left, Qt::ShiftModifier, 37},
        // nothing the tools know
        {Qt::Key_F5, none, 0},
        {Qt::Key_Shift, Qt::ShiftModifier, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fromQtKey(c.key, c.mods), c.code) << "Qt key 0x" << std::hex << c.key;
}

} // namespace

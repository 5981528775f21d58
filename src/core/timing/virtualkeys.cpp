#include "core/timing/virtualkeys.h"

namespace kolvo::vk {

namespace {
// A keypad key read with Num Lock off arrives as its navigation meaning.
int keypadNavigation(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Insert:
        return Numpad0;
    case Qt::Key_End:
        return Numpad0 + 1;
    case Qt::Key_Down:
        return Numpad0 + 2;
    case Qt::Key_PageDown:
        return Numpad0 + 3;
    case Qt::Key_Left:
        return Numpad0 + 4;
    case Qt::Key_Clear:
        return Numpad0 + 5;
    case Qt::Key_Right:
        return Numpad0 + 6;
    case Qt::Key_Home:
        return Numpad0 + 7;
    case Qt::Key_Up:
        return Numpad0 + 8;
    case Qt::Key_PageUp:
        return Numpad0 + 9;
    default:
        return 0;
    }
}
} // namespace

int fromQtKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return Numpad0 + (qtKey - Qt::Key_0);
        if (const int nav = keypadNavigation(qtKey))
            return nav;
        switch (qtKey) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
            return Enter;
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Comma:
            return Separator; // KP_Separator
        case Qt::Key_Period:
        case Qt::Key_Delete:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            break;
        }
    }
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Enter;
    case Qt::Key_Escape:
        return Escape;
    case Qt::Key_Left:
        return Left;
    case Qt::Key_Up:
        return Up;
    case Qt::Key_Right:
        return Right;
    case Qt::Key_Down:
        return Down;
    case Qt::Key_Space:
        return 32;
    default:
        break;
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 48 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + (qtKey - Qt::Key_A);
    return 0;
}

} // namespace kolvo::vk

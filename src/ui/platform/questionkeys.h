#pragma once

class QPushButton;
class QWidget;

namespace kolvo {

// Keyboard habits of a dialog for a question window that is a plain window:
// it takes the keyboard when it appears (focus on `firstFocus`), Return or
// Enter presses the focused button or else `defaultButton`, and Escape
// presses `cancelButton`. Keys a control uses itself (Return in a list)
// stay with it.
void giveQuestionKeys(QWidget* window, QWidget* firstFocus, QPushButton* defaultButton,
                      QPushButton* cancelButton);

} // namespace kolvo

#pragma once

class QWidget;

namespace kolvo {

// Keeps every window of the program fully on the screen that holds its
// owner (its parent's window; its own screen when it has none), inside that
// screen's available area. A window that carries tool windows of its own
// (the step editor and its docked tools) moves as one group: the group is
// moved as a whole so all of it shows. A group larger than the screen keeps
// its top-left corner on it. Installed once for the whole program.
void keepWindowsOnScreen();

// Moves `window` (with its tool windows) onto its screen now, if needed.
void moveOntoScreen(QWidget* window);

} // namespace kolvo

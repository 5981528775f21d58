#pragma once

#include "core/song/songmodel.h"

#include <functional>

class QAction;
class QWidget;

namespace kolvo {

class Document;

struct HistoryActions {
    QAction* undo = nullptr;
    QAction* redo = nullptr;
};

// "&Undo <step>" (Ctrl+Z) and "&Redo <step>" (Ctrl+Shift+Z) over the
// document's history, their captions following the step they would take.
// They act only while `owner`'s window takes input, so a window locked by
// another stays locked; every window showing the song refreshes on the
// document's announcement. The actions are added to `owner` (shortcuts work
// anywhere in its window); put them in a menu as well where there is one.
//
// `openChart`, for a window that shows one chart, gives that chart: a step of
// another chart is named with its chart and not taken back or redone there.
// Elsewhere every step of a chart is named with its chart.
using OpenChart = std::function<ChartSlot()>;
HistoryActions makeHistoryActions(Document& doc, QWidget* owner, const OpenChart& openChart = {});

// Adds the same actions to another window (a tool window of the editor), so
// the shortcuts work there too.
void shareHistoryActions(const HistoryActions& actions, QWidget* window);

} // namespace kolvo

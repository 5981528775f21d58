#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kolvo {

// What the step grabber windows need of the step editor that opened them:
// the editor window, its tool windows that are open at the moment of asking
// (wide view, power tools, transformations), a way to make it repaint
// once (its one-shot updatenow timer), and a way to make a bar its current
// one everywhere it shows (the bar box, the grid, the wide view).
struct EditorLink {
    QPointer<QWidget> editor;
    std::function<QList<QWidget*>()> openToolWindows;
    std::function<void()> startUpdatenow;
    std::function<void(int)> goToBar;

    // The editor and its open tool windows, as they are now.
    QList<QWidget*> windows() const {
        QList<QWidget*> list;
        if (editor)
            list << editor.data();
        if (openToolWindows) {
            for (QWidget* w : openToolWindows()) {
                if (w && !list.contains(w))
                    list << w;
            }
        }
        return list;
    }
    void repaint() const {
        if (editor && startUpdatenow)
            startUpdatenow();
    }
    // Shows `bar`, already the session's current bar, in the editor's bar
    // box, grid and wide view.
    void showBar(int bar) const {
        if (editor && goToBar)
            goToBar(bar);
    }
};

} // namespace kolvo

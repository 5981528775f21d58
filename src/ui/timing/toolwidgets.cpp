#include "ui/timing/toolwidgets.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace kolvo {

namespace {
constexpr const char* kFillProperty = "kolvoFill";
}

void setFill(QWidget* w, const QColor& colour) {
    if (!w)
        return;
    w->setProperty(kFillProperty, colour.isValid() ? QVariant(colour) : QVariant());
    if (colour.isValid()) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, colour);
        w->setPalette(pal);
        w->setAutoFillBackground(true);
    } else {
        w->setAutoFillBackground(false);
    }
    w->update();
}

QColor fillOf(const QWidget* w) {
    if (!w)
        return {};
    const QVariant v = w->property(kFillProperty);
    return v.isValid() ? v.value<QColor>() : QColor();
}

void setStepLabel(QLabel* label, bool active) {
    label->setEnabled(active);
    setFill(label, active ? kLitGreen : kOffWhite);
}

void installKeyPreview(QWidget* window) {
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children)
        child->installEventFilter(window);
}

qint64 monotonicNowNs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.nsecsElapsed();
}

} // namespace kolvo

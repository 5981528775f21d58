#include "ui/timing/toolwidgets.h"

#include "ui/platform/playerlink.h"
#include "ui/platform/settings.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPalette>
#include <QVariant>
#include <QWidget>

#include <algorithm>

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

QComboBox* makeSpeedChoice(QWidget* parent, const QString& section) {
    auto* choice = new QComboBox(parent);
    choice->setObjectName(QStringLiteral("Speed"));
    choice->setToolTip(QStringLiteral("Playback speed (the pitch stays the same)"));
    for (int speed : kPlaybackSpeeds)
        choice->addItem(speedCaption(speed), speed);
    choice->setCurrentIndex(std::max(0, choice->findData(storedSpeed(section))));
    choice->setFocusPolicy(Qt::TabFocus);
    QObject::connect(choice, &QComboBox::currentIndexChanged, choice, [choice, section] {
        WriteSetting(section, QStringLiteral("speed"), QString::number(chosenSpeed(choice)));
    });
    return choice;
}

int chosenSpeed(const QComboBox* choice) {
    return choice ? playbackSpeedFrom(choice->currentData().toString()) : 100;
}

int storedSpeed(const QString& section) {
    return playbackSpeedFrom(ReadSetting(section, QStringLiteral("speed"), QStringLiteral("100")));
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

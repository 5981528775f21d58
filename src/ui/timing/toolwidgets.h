#pragma once

#include <QColor>
#include <QtGlobal>

#include <functional>

class QComboBox;
class QLabel;
class QString;
class QWidget;

namespace kolvo {

// Colours the timing tools share: light green marks the step in force, a
// lit light or a held key; white an inactive step or indicator.
inline const QColor kLitGreen{0x80, 0xFF, 0x80};
inline const QColor kOffWhite{0xFF, 0xFF, 0xFF};

// A step label of the tapping tools: enabled and green when it is the step
// in force, disabled and white otherwise.
void setStepLabel(QLabel* label, bool active);

// Fills `w` with `colour` (opaque) or, with an invalid colour, lets the
// window show through (transparent).
void setFill(QWidget* w, const QColor& colour);
// The fill set by setFill, or an invalid colour when transparent.
QColor fillOf(const QWidget* w);
inline bool isLit(const QWidget* w) {
    return fillOf(w) == kLitGreen;
}

// Makes `window` see every key press and release of its child widgets first
// (through its eventFilter), as a form that previews keys does.
void installKeyPreview(QWidget* window);

// Nanoseconds on the monotonic clock the timing tools measure with; tests
// may replace it to press keys at exact times.
using ClockFn = std::function<qint64()>;
qint64 monotonicNowNs();

// A drop-down list of the playback speeds ("100 %" ... "25 %"), named
// "Speed", showing the speed kept in the settings under `section` (key
// "speed") and keeping each choice there. Tab reaches it; it never takes
// the keyboard from a window that reads keys (it is not focused by a click).
QComboBox* makeSpeedChoice(QWidget* parent, const QString& section);
// The speed a choice shows, in percent.
int chosenSpeed(const QComboBox* choice);
// The speed kept under `section`, in percent (100 when none is kept).
int storedSpeed(const QString& section);

// Twips (15 to a pixel) to whole pixels.
inline int twipsToPixels(double twips) {
    return qRound(twips / 15.0);
}

} // namespace kolvo

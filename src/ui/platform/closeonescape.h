#pragma once

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace kolvo {

// Escape closes `window` (its closeEvent stops whatever the window started),
// wherever the keyboard is inside it.
inline void closeOnEscape(QWidget* window) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setObjectName(QStringLiteral("EscapeCloses"));
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

} // namespace kolvo

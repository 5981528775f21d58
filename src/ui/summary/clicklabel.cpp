#include "ui/summary/clicklabel.h"

#include <QEvent>
#include <QMouseEvent>

namespace kolvo {

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    updateLook();
}

void ClickLabel::updateLook() {
    QFont f = font();
    f.setUnderline(isEnabled());
    setFont(f);
    setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
    if (isEnabled())
        setStyleSheet(QStringLiteral("color: rgb(0, 0, 192);"));
    else
        setStyleSheet(QString());
}

void ClickLabel::changeEvent(QEvent* e) {
    QLabel::changeEvent(e);
    if (e->type() == QEvent::EnabledChange)
        updateLook();
}

void ClickLabel::mousePressEvent(QMouseEvent* e) {
    QLabel::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) {
        m_pressed = true;
        e->accept();
    }
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* e) {
    const bool wasPressed = m_pressed;
    m_pressed = false;
    QLabel::mouseReleaseEvent(e);
    if (wasPressed && e->button() == Qt::LeftButton && isEnabled() &&
        rect().contains(e->position().toPoint())) {
        e->accept();
        emit clicked();
    }
}

} // namespace kolvo

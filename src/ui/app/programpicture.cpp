#include "ui/app/programpicture.h"

#include <QPainter>
#include <QPainterPath>

namespace kolvo {

ProgramPicture::ProgramPicture(QWidget* parent) : QWidget(parent) {}

void ProgramPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    p.translate((width() - side) / 2, (height() - side) / 2);
    p.scale(side / 100.0, side / 100.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(32, 32, 64));
    p.drawRoundedRect(QRectF(2, 2, 96, 96), 12, 12);

    // One arrow pointing up, turned for each of the four panels.
    QPainterPath arrow;
    arrow.moveTo(0, -36);
    arrow.lineTo(14, -22);
    arrow.lineTo(5, -22);
    arrow.lineTo(5, -10);
    arrow.lineTo(-5, -10);
    arrow.lineTo(-5, -22);
    arrow.lineTo(-14, -22);
    arrow.closeSubpath();
    const QColor colours[] = {QColor(128, 128, 255), QColor(128, 255, 128), QColor(128, 128, 255),
                              QColor(128, 255, 128)};
    p.translate(50, 50);
    for (int i = 0; i < 4; ++i) {
        p.setBrush(colours[i]);
        p.drawPath(arrow);
        p.rotate(90);
    }
}

} // namespace kolvo

#include "ui/app/freezearrowhelp.h"
#include "ui/platform/closeonescape.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolvo {

namespace {
const QColor kArrowFill(128, 128, 255);
const QColor kFreezeFill(128, 255, 128);
const QColor kBeatLine(0, 0, 192);
const QColor kHalfBeatLine(128, 128, 128);
const QColor kRowLine(192, 192, 255);

// Rows of the freeze example: where the freeze arrow starts and ends.
constexpr int kFreezeStartRow = 5;
constexpr int kFreezeEndRow = 17;
constexpr int kFreezeColumn = 3;

QLabel* pictureLabel(const QString& text, QWidget* parent, QPoint at) {
    auto* l = new QLabel(text, parent);
    l->adjustSize();
    l->move(at.x(), at.y() - l->height() / 2);
    return l;
}
} // namespace

GridMiniature::GridMiniature(Example example, QWidget* parent)
    : QWidget(parent), m_example(example), m_rows(example == Example::ArrowOnBeat1 ? 12 : 24) {
    const int gridRight = kLeft + 4 * kColumnWidth;
    setFixedSize(gridRight + 150, kTop + m_rows * kRowHeight + 6);
    if (example == Example::ArrowOnBeat1) {
        auto* beat = pictureLabel(QStringLiteral("Beat 1"), this, {4, kTop});
        beat->setObjectName(QStringLiteral("lblBeat1"));
    } else {
        auto* start =
            pictureLabel(QStringLiteral("freeze arrow starts"), this,
                         {gridRight + 10, cellOrigin(kFreezeStartRow, 1).y() + kRowHeight / 2});
        start->setObjectName(QStringLiteral("lblFreezeStarts"));
        auto* end =
            pictureLabel(QStringLiteral("freeze arrow ends"), this,
                         {gridRight + 10, cellOrigin(kFreezeEndRow, 1).y() + kRowHeight / 2});
        end->setObjectName(QStringLiteral("lblFreezeEnds"));
    }
}

QPoint GridMiniature::cellOrigin(int row, int column) {
    return {kLeft + (column - 1) * kColumnWidth, kTop + (row - 1) * kRowHeight};
}

void GridMiniature::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int gridRight = kLeft + 4 * kColumnWidth;
    const int gridBottom = kTop + m_rows * kRowHeight;

    // Example cells first, so the lines show over their edges as in the editor.
    auto fillCell = [&](int row, int column, const QColor& colour) {
        const QPoint o = cellOrigin(row, column);
        p.fillRect(QRect(o.x(), o.y(), kColumnWidth + 1, kRowHeight + 1), colour);
    };
    if (m_example == Example::ArrowOnBeat1) {
        fillCell(1, 2, kArrowFill);
    } else {
        fillCell(kFreezeStartRow, kFreezeColumn, kFreezeFill);
        fillCell(kFreezeEndRow, kFreezeColumn, kArrowFill);
        // Pointers from the texts to their cells.
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        for (int row : {kFreezeStartRow, kFreezeEndRow}) {
            const int y = cellOrigin(row, 1).y() + kRowHeight / 2;
            p.drawLine(cellOrigin(row, kFreezeColumn).x() + kColumnWidth, y, gridRight + 8, y);
        }
    }

    for (int k = 0; k < m_rows; ++k) {
        const int y = kTop + k * kRowHeight;
        int left = kLeft;
        if (k % 8 == 0) {
            p.setPen(kBeatLine);
            left = kLeft - 8;
        } else if (k % 8 == 4) {
            p.setPen(kHalfBeatLine);
        } else {
            p.setPen(kRowLine);
        }
        p.drawLine(left, y, gridRight, y);
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawLine(kLeft, gridBottom, gridRight, gridBottom);
    for (int c = 0; c <= 4; ++c)
        p.drawLine(kLeft + c * kColumnWidth, kTop, kLeft + c * kColumnWidth, gridBottom);

    // Left, Down, Up, Right: the panels of a single pad.
    const QString headers[] = {QStringLiteral("\u2190"), QStringLiteral("\u2193"),
                               QStringLiteral("\u2191"), QStringLiteral("\u2192")};
    for (int c = 0; c < 4; ++c)
        p.drawText(QRect(kLeft + c * kColumnWidth, 0, kColumnWidth, kTop), Qt::AlignCenter,
                   headers[c]);
}

FreezeArrowHelp::FreezeArrowHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FreezeArrowHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("How To Create Arrows and Freeze Arrows"));
    closeOnEscape(this);

    auto* layout = new QVBoxLayout(this);
    auto* arrows = new QLabel(
        QStringLiteral("Creating simple arrows is easy: just click in the right place. Remember, "
                       "there are four beats to each bar of music (boom, boom, boom, boom) - these "
                       "are shown by the strong blue lines. So, to have an arrow exactly on the "
                       "first beat of the bar, place it in this row:"),
        this);
    arrows->setObjectName(QStringLiteral("Label1"));
    arrows->setWordWrap(true);
    layout->addWidget(arrows);
    layout->addWidget(new GridMiniature(GridMiniature::Example::ArrowOnBeat1, this), 0,
                      Qt::AlignHCenter);
    auto* freezes = new QLabel(
        QStringLiteral("To start a freeze arrow, right-click where you want it to begin. A green "
                       "rectangle will show up. The freeze arrow ends at the next blue rectangle."),
        this);
    freezes->setObjectName(QStringLiteral("Label2"));
    freezes->setWordWrap(true);
    layout->addWidget(freezes);
    layout->addWidget(new GridMiniature(GridMiniature::Example::FreezeArrow, this), 0,
                      Qt::AlignHCenter);
    closeButton = new QPushButton(QStringLiteral("OK"), this);
    closeButton->setObjectName(QStringLiteral("Command1"));
    closeButton->setDefault(true);
    layout->addWidget(closeButton, 0, Qt::AlignRight);
    setFixedWidth(6000 / 15);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

} // namespace kolvo

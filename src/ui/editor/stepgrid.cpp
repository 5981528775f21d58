#include "ui/editor/stepgrid.h"

#include "core/song/songmodel.h"
#include "ui/editor/notecolours.h"
#include "ui/platform/appcontext.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace kolvo {

using namespace grid;

namespace {

const QColor kBeatLine(0, 0, 192);
const QColor kHalfBeatLine(128, 128, 128);
const QColor kRowLine(192, 192, 255);
const QColor kDefaultLine(0, 0, 0);

// Separators of the window's button row and button column.
constexpr int kTopSeparatorY = 480;
constexpr int kLeftSeparatorX = 720;
constexpr int kLeftSeparatorBottom = 5520;

} // namespace

StepGrid::StepGrid(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("ShapeArray"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(0, 0, twips(kClientWidth), twips(kClientHeight));
}

void StepGrid::refreshgrid() {
    const int style = m_ctx.session.currentstyle;
    const int level = m_ctx.session.currentlevel;
    const int bar = m_ctx.session.currentbar;
    for (int column = 1; column <= kColumnsShown; ++column)
        for (int row = 1; row <= kRowsShown; ++row)
            m_cells[std::size_t(cellIndex(row, column))] =
                m_ctx.document.song().step(style, level, bar, row, column);
    // Notes between the 32nd rows are shown at their own height.
    m_offGrid.clear();
    for (const Note& n : m_ctx.document.song().chartSteps(style, level).notesOfBar(bar))
        if (n.tick % kFinePerRow != 0 && n.panel <= kColumnsShown)
            m_offGrid.push_back(n);
    update();
}

std::uint8_t StepGrid::shownValue(int row, int column) const {
    if (row < 1 || row > kRowsShown || column < 1 || column > kColumnsShown)
        return 0;
    return m_cells[std::size_t(cellIndex(row, column))];
}

QColor StepGrid::cellFill(int row, int column) const {
    const std::uint8_t v = shownValue(row, column);
    return v < kNoteKinds ? noteKindColour(NoteKind(v)) : QColor();
}

QRect StepGrid::cellRect(int row, int column) {
    return QRect(twips(columnLeft(column)), twips(rowTop(row)), twips(kCellWidth),
                 twips(kCellHeight));
}

bool StepGrid::pressAtTwips(float x, float y, PressButton button) {
    const auto cell = cellAtTwips(x, y, m_ctx.session.currentstyle);
    if (!cell)
        return false;
    const int style = m_ctx.session.currentstyle;
    const int level = m_ctx.session.currentlevel;
    const int bar = m_ctx.session.currentbar;
    const auto written = valueAfterPress(
        m_ctx.document.song().step(style, level, bar, cell->row, cell->column), button);
    if (!written)
        return false;
    m_writing = true;
    m_ctx.document.setStep(style, level, bar, cell->row, cell->column, *written);
    m_writing = false;
    m_cells[std::size_t(cellIndex(cell->row, cell->column))] = *written;
    // The cell overlaps its neighbours' lines by a pixel; repaint that much.
    update(cellRect(cell->row, cell->column).adjusted(-1, -1, 1, 1));
    emit cellEdited(cell->row, cell->column);
    return true;
}

void StepGrid::mousePressEvent(QMouseEvent* event) {
    PressButton button = PressButton::Other;
    if (event->button() == Qt::LeftButton)
        button = PressButton::Left;
    else if (event->button() == Qt::RightButton)
        button = PressButton::Right;
    const QPointF pos = event->position();
    pressAtTwips(float(pos.x()) * float(kTwipsPerPixel), float(pos.y()) * float(kTwipsPerPixel),
                 button);
    event->accept();
}

void StepGrid::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), palette().color(QPalette::Window));

    auto hline = [&](const QColor& colour, int x1, int x2, int y) {
        p.setPen(colour);
        p.drawLine(twips(x1), twips(y), twips(x2), twips(y));
    };
    auto vline = [&](const QColor& colour, int x, int y1, int y2) {
        p.setPen(colour);
        p.drawLine(twips(x), twips(y1), twips(x), twips(y2));
    };

    hline(kDefaultLine, 0, kClientWidth, kTopSeparatorY);
    vline(kDefaultLine, kLeftSeparatorX, kTopSeparatorY, kLeftSeparatorBottom);

    // Row lines: beats dark blue and reaching further left, half beats grey,
    // the rest light blue; the default colour closes the bottom.
    for (int k = 0; k < kRowsShown; ++k) {
        const int y = kOriginY + kRowPitch * k;
        if (k % 8 == 0)
            hline(kBeatLine, kBeatLineLeft, kGridRight, y);
        else if (k % 4 == 0)
            hline(kHalfBeatLine, kOriginX, kGridRight, y);
        else
            hline(kRowLine, kOriginX, kGridRight, y);
    }
    hline(kDefaultLine, kOriginX, kGridRight, kGridBottom);

    p.fillRect(
        QRect(twips(kGapStripX), twips(kGapStripY), twips(kGapStripWidth), twips(kGapStripHeight)),
        palette().color(QPalette::Button));

    for (int column = 0; column <= kColumnsShown; ++column) {
        if (column == 6) { // both edges of the gap
            vline(kDefaultLine, columnLeft(6) + kColumnPitch, kOriginY, kGridBottom);
            vline(kDefaultLine, columnLeft(7), kOriginY, kGridBottom);
            continue;
        }
        const int x = column < 6 ? columnLeft(column + 1) : columnLeft(column) + kColumnPitch;
        vline(kDefaultLine, x, kOriginY, kGridBottom);
    }

    for (int column = 1; column <= kColumnsShown; ++column)
        for (int row = 1; row <= kRowsShown; ++row) {
            const QColor fill = cellFill(row, column);
            if (fill.isValid())
                p.fillRect(cellRect(row, column), fill);
        }
    for (const Note& n : m_offGrid) {
        const double rows = double(fineRowOfTick(n.tick)) / kFinePerRow; // 32nd rows down
        QRect r = cellRect(1, n.panel);
        r.moveTop(twips(rowTop(1)) + int(rows * twips(kRowPitch)));
        r.setHeight(std::max(2, r.height() / 2));
        p.fillRect(r, noteKindColour(n.kind));
    }
}

} // namespace kolvo

#include "ui/editor/stepgrid.h"

#include "core/song/songmodel.h"
#include "document/editcommands.h"
#include "ui/editor/notecolours.h"
#include "ui/platform/appcontext.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kolvo {

using namespace grid;

namespace {

const QColor kBeatLine(0, 0, 192);
const QColor kHalfBeatLine(128, 128, 128);
const QColor kRowLine(192, 192, 255);
const QColor kDefaultLine(0, 0, 0);
const QColor kSelectedFrame(0, 0, 0);

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
    const ChartSlot chart = m_ctx.session.chartSlot();
    const int bar = m_ctx.session.currentbar;
    for (int column = 1; column <= kColumnsShown; ++column)
        for (int row = 1; row <= kRowsShown; ++row)
            m_cells[std::size_t(cellIndex(row, column))] =
                m_ctx.document.song().step(chart, bar, row, column);
    m_notes.clear();
    for (const Note& n : m_ctx.document.song().chartSteps(chart).notesOfBar(bar))
        if (n.panel <= kColumnsShown)
            m_notes.push_back(n);
    if (m_selected && std::find(m_notes.begin(), m_notes.end(), *m_selected) == m_notes.end())
        m_selected.reset();
    update();
}

void StepGrid::setSnap(int snap) {
    if (!validSnap(snap) || snap == m_snap)
        return;
    m_snap = snap;
    if (m_selected && !offSnap(*m_selected))
        m_selected.reset();
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

QRect StepGrid::noteRect(const Note& n) const {
    const int fine = fineRowOfTick(n.tick);
    const int rowTwips = kGridHeight / kFineRows; // one fine row
    if (!offSnap(n)) {
        if (m_snap == kDefaultSnap)
            return cellRect(fine / kFinePerRow + 1, n.panel);
        // A row of the snap, one pixel more than its pitch as the cells are.
        const int top = twips(kOriginY + rowTwips * fine);
        const int height = std::max(3, twips(rowPitchAt(m_snap)) + 1);
        return QRect(twips(columnLeft(n.panel)), top, twips(kCellWidth), height);
    }
    // Between the rows: a bar half a 32nd cell high from the note's own height.
    QRect r = cellRect(1, n.panel);
    r.moveTop(twips(kOriginY + rowTwips * fine));
    r.setHeight(std::max(2, r.height() / 2));
    return r;
}

void StepGrid::writeNote(Tick tick, int column, NoteKind kind) {
    m_writing = true;
    setNote(m_ctx.document, m_ctx.session.chartSlot(), tick, column, kind);
    m_writing = false;
    refreshgrid();
    emit cellEdited(fineRowOfTick(tick) / kFinePerRow + 1, column);
}

bool StepGrid::deleteSelected() {
    if (!m_selected)
        return false;
    const Note n = *m_selected;
    m_selected.reset();
    writeNote(n.tick, n.panel, NoteKind::None);
    return true;
}

bool StepGrid::pressAtTwips(float x, float y, PressButton button, Qt::KeyboardModifiers mods) {
    if (button == PressButton::Other)
        return false;
    const int style = m_ctx.session.currentstyle;
    const ChartSlot chart = m_ctx.session.chartSlot();
    const int bar = m_ctx.session.currentbar;

    // A note between the snap's rows: the first press selects it, the next
    // one removes it.
    const QPoint px(int(std::floor(x / float(kTwipsPerPixel))),
                    int(std::floor(y / float(kTwipsPerPixel))));
    for (const Note& n : m_notes) {
        if (!offSnap(n) || !noteRect(n).contains(px))
            continue;
        if (m_selected == n)
            return deleteSelected();
        m_selected = n;
        update();
        return true;
    }
    if (m_selected) {
        m_selected.reset();
        update();
    }

    const auto place = placeAtTwips(x, y, style, m_snap);
    if (!place)
        return false;
    const bool shift = mods.testFlag(Qt::ShiftModifier);
    const NoteKind chosen = button == PressButton::Left
                                ? (shift ? NoteKind::Mine : m_kind)
                                : (shift ? NoteKind::RollStart : NoteKind::FreezeStart);
    const Tick tick = tickOf(bar, place->fineRow);
    const NoteKind current =
        m_ctx.document.song().chartSteps(chart).kindAtTick(tick, place->column);
    const NoteKind written = kindAfterPress(current, chosen);
    if (m_snap != kDefaultSnap || written > NoteKind::FreezeStart ||
        current > NoteKind::FreezeStart) {
        writeNote(tick, place->column, written);
        return true;
    }
    // A press on the 32nd grid with arrows and freezes: the cell alone repaints.
    const int row = place->fineRow / kFinePerRow + 1;
    m_writing = true;
    m_ctx.document.setStep(chart, bar, row, place->column, std::uint8_t(written));
    m_writing = false;
    m_cells[std::size_t(cellIndex(row, place->column))] = std::uint8_t(written);
    m_notes.clear();
    for (const Note& n : m_ctx.document.song().chartSteps(chart).notesOfBar(bar))
        if (n.panel <= kColumnsShown)
            m_notes.push_back(n);
    // The cell overlaps its neighbours' lines by a pixel; repaint that much.
    update(cellRect(row, place->column).adjusted(-1, -1, 1, 1));
    emit cellEdited(row, place->column);
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
                 button, event->modifiers());
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

    paintRowLines(p);

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

    if (m_snap == kDefaultSnap) {
        for (int column = 1; column <= kColumnsShown; ++column)
            for (int row = 1; row <= kRowsShown; ++row) {
                const QColor fill = cellFill(row, column);
                if (fill.isValid())
                    p.fillRect(cellRect(row, column), fill);
            }
    } else {
        for (const Note& n : m_notes)
            if (!offSnap(n))
                p.fillRect(noteRect(n), noteKindColour(n.kind));
    }
    // Notes between the rows: their own snap's colour, the kind's colour at
    // the left end.
    for (const Note& n : m_notes) {
        if (!offSnap(n))
            continue;
        const QRect r = noteRect(n);
        p.fillRect(r, snapColour(snapOfFineRow(fineRowOfTick(n.tick))));
        p.fillRect(QRect(r.left(), r.top(), r.width() / 4, r.height()), noteKindColour(n.kind));
        if (m_selected == n) {
            p.setPen(kSelectedFrame);
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(-1, -1, 0, 0));
        }
    }
}

void StepGrid::paintRowLines(QPainter& p) {
    auto hline = [&](const QColor& colour, int x1, int x2, int y) {
        p.setPen(colour);
        p.drawLine(twips(x1), twips(y), twips(x2), twips(y));
    };
    // Row lines: beats dark blue and reaching further left, half beats grey,
    // the rest light blue; the default colour closes the bottom. Rows closer
    // than four pixels get lines only at every fourth fine row.
    const int step = fineStep(m_snap);
    const int lineStep = rowPitchAt(m_snap) < 4 * kTwipsPerPixel ? 4 : step;
    const int rowTwips = kGridHeight / kFineRows;
    for (int fine = 0; fine < kFineRows; fine += step) {
        const int y = kOriginY + rowTwips * fine;
        if (fine % kFineRowsPerBeat == 0)
            hline(kBeatLine, kBeatLineLeft, kGridRight, y);
        else if (fine % (kFineRowsPerBeat / 2) == 0)
            hline(kHalfBeatLine, kOriginX, kGridRight, y);
        else if (fine % lineStep == 0)
            hline(kRowLine, kOriginX, kGridRight, y);
    }
    hline(kDefaultLine, kOriginX, kGridRight, kGridBottom);
}

} // namespace kolvo

#pragma once

#include "core/edit/gridgeometry.h"
#include "core/edit/snaps.h"
#include "core/song/chartsteps.h"

#include <QColor>
#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class QPainter;

namespace kolvo {

struct AppContext;

// The drawing surface of the step editor: the separator lines, the row and
// column lines of one bar, the gap strip between the pads and the 320 cells.
// The grid shows the bar at a snap (rows per bar, 32 by default); notes
// between the snap's rows are drawn at their own height in the colour of
// their own snap, and a press on one selects it (a second press, or Delete,
// removes it). Changing the snap never moves a note.
// It covers the editor's whole client area, so a press anywhere that no
// control takes arrives here in the window's own coordinates.
//
// The cells show what refreshgrid (or a press) last read from the model. A
// press is one step of the song's history; the editor refreshes the grid
// when other steps change the chart.
class StepGrid : public QWidget {
    Q_OBJECT
  public:
    explicit StepGrid(AppContext& ctx, QWidget* parent = nullptr);

    // Reads all 320 cells of currentbar of the current chart and repaints.
    void refreshgrid();

    // The value a cell shows (row 1..32, column 1..10), 0 outside.
    std::uint8_t shownValue(int row, int column) const;
    // Fill colour of a cell, invalid (transparent) when it shows nothing.
    QColor cellFill(int row, int column) const;

    // Cell rectangle in pixels (one pixel larger than the pitch each way).
    static QRect cellRect(int row, int column);

    static QColor arrowColour() { return QColor(128, 128, 255); }
    static QColor freezeStartColour() { return QColor(128, 255, 128); }

    // Handles a press at (x, y) twips as the mouse does; returns true when a
    // note was written or selected. The left button writes the chosen note
    // kind (a mine with Shift), the right one a freeze start (a roll with
    // Shift); writing the kind a place already holds removes it.
    bool pressAtTwips(float x, float y, grid::PressButton button,
                      Qt::KeyboardModifiers modifiers = {});

    // Rows per bar shown (one of grid::kSnaps).
    int snap() const { return m_snap; }
    void setSnap(int snap);
    // The kind the left button writes.
    NoteKind noteKind() const { return m_kind; }
    void setNoteKind(NoteKind kind) { m_kind = kind; }

    // Where a note of the current bar is drawn, in pixels.
    QRect noteRect(const Note& note) const;
    // The note between the snap's rows a press selected, if any.
    const std::optional<Note>& selectedNote() const { return m_selected; }
    // Removes the selected note (one step of the history); false when none.
    bool deleteSelected();
    // True while a press is writing its cell (the grid already shows it).
    bool isWriting() const { return m_writing; }

  signals:
    // A press wrote a cell of the current bar (already repainted).
    void cellEdited(int row, int column);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    AppContext& m_ctx;
    bool m_writing = false;
    std::array<std::uint8_t, grid::kRowsShown * grid::kColumnsShown + 1> m_cells{};
    bool offSnap(const Note& n) const { return n.tick % grid::fineStep(m_snap) != 0; }
    void writeNote(Tick tick, int column, NoteKind kind);
    void paintRowLines(QPainter& p);

    int m_snap = grid::kDefaultSnap;
    NoteKind m_kind = NoteKind::Arrow;
    std::vector<Note> m_notes; // the bar's notes on panels 1..10
    std::optional<Note> m_selected;
};

} // namespace kolvo

#pragma once

#include "core/edit/gridgeometry.h"
#include "core/song/chartsteps.h"

#include <QColor>
#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

namespace kolvo {

struct AppContext;

// The drawing surface of the step editor: the separator lines, the row and
// column lines of one bar, the gap strip between the pads and the 320 cells.
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
    // cell was written.
    bool pressAtTwips(float x, float y, grid::PressButton button);
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
    std::vector<Note> m_offGrid; // notes of the bar between its 32nd rows
};

} // namespace kolvo

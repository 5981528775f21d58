#pragma once

#include "core/song/chartsteps.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTimer;

namespace kolvo {

struct AppContext;
class StepEditorWindow;
class ToolDock;
class WaveStrip;

// The wide view ("Wide View"), docked right of the step editor: twelve bars
// of the chart being edited at one pixel per row, with a marker at the
// editor's current bar. A left click makes a bar the current one; a right
// click also plays that bar through the player link, at the speed chosen
// under the help text (kept under "wideview"), and pauses the player at the
// bar's end. A player that ends while a bar plays is reported at once.
//
// Opening sets `wideviewopen` and tells the editor it is open; closing, by
// any means, puts both back. Destroyed on close.
class WideView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kShownBars = 12;

    WideView(AppContext& ctx, StepEditorWindow* editor);
    ~WideView() override;

    // One short line of the cell array: cell k = 385(p - 1) + 32j + r for
    // shown row j 0..11, panel p 1..10, grid row r 1..32.
    struct Cell {
        bool visible = false;
        QColor color; // border colour while visible
        QRect rect;   // where it is drawn, in pixels of this window
    };
    Cell Lines(int k) const;
    static int cellIndex(int j, int panel, int row) { return 385 * (panel - 1) + 32 * j + row; }

    QLabel* barlabel(int i) const; // 1..12
    QWidget* indicator() const { return m_indicator; }
    QScrollBar* VScroll1() const { return m_vscroll; }
    QTimer* barEndTimer() const { return m_barEndTimer; }
    ToolDock* dock() const { return m_dock; }
    // The music beside the bars, shown while the editor shows its own.
    WaveStrip* waveStrip() const { return m_waveStrip; }
    static constexpr int kWaveStripWidth = 48; // pixels, right of the window's own area
    QComboBox* Speed() const { return m_speed; }

    // Selects (and with `play` also plays) the bar in shown row j 0..11, as
    // a press in that row does.
    void pressRow(int j, bool play);

  public slots:
    // Repaints the twelve bars and the marker from the model.
    void refreshwideview();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void scrolled();
    void playBar(int bar);
    void pauseAtBarEnd(); // the bar-end timer's tick
    void unload();
    void showWaveStrip(bool shown);

    AppContext& m_ctx;
    QPointer<StepEditorWindow> m_editor;
    std::array<QLabel*, kShownBars> m_barlabels{};
    QWidget* m_indicator = nullptr;
    QScrollBar* m_vscroll = nullptr;
    QTimer* m_barEndTimer = nullptr;
    ToolDock* m_dock = nullptr;
    WaveStrip* m_waveStrip = nullptr;
    QComboBox* m_speed = nullptr;
    // The cells as last painted: [row j][panel 1..10][grid row 1..32].
    std::array<std::uint8_t, kShownBars * 10 * 32> m_cells{};
    // Notes of the shown bars between the 32nd rows.
    std::vector<Note> m_offGrid;
    bool m_unloaded = false;
};

} // namespace kolvo

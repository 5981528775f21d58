#pragma once

#include "core/edit/gridgeometry.h"
#include "ui/platform/historyactions.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QMenu;
class QCheckBox;
class QPushButton;
class QTimer;

namespace kolvo {

struct AppContext;
class MusicWaveform;
class StepGrid;
class WaveStrip;
class ChartStatsWindow;

// The three tool windows the editor's toggles open and close.
enum class EditorTool { WideView, PowerTools, Transformations };

// The step editor ("Edit Steps"): one bar of the chart currentstyle /
// currentlevel at a time, bar navigation, the foot level, the tool-window
// toggles and the way back to the summary window. Made on a chart button
// press, destroyed when it closes (WA_DeleteOnClose).
class StepEditorWindow : public QWidget {
    Q_OBJECT
  public:
    // Runs the opening steps: disables `summaryWindow` (may be null), opens
    // the chart in the model, sets up the header labels for the style and
    // paints the first bar. The caller shows the window.
    StepEditorWindow(AppContext& ctx, QWidget* summaryWindow, QWidget* parent = nullptr);
    ~StepEditorWindow() override;

    AppContext& context() const { return m_ctx; }
    StepGrid* grid() const { return m_grid; }

    // Controls other windows and tests reach.
    QPushButton* wideViewButton() const { return m_wideViewButton; }     // "Wide View >>" toggle
    QPushButton* powerToolsButton() const { return m_powerToolsButton; } // "Power Tools >>" toggle
    QPushButton* transformsButton() const { return m_transformsButton; } // "Transforms >>" toggle
    QPushButton* stepGrabButton() const { return m_stepGrabButton; }     // "Step Grab"
    QPushButton* arrowHelpButton() const { return m_arrowHelpButton; }   // arrow help
    QPushButton* dwitest() const { return m_dwitest; }                   // "Test in DWI"
    QPushButton* savemenu() const { return m_savemenu; }                 // "Finish Editing"
    QLineEdit* barnumber() const { return m_barnumber; }
    QLineEdit* gotobat() const { return m_gotobat; }
    QLineEdit* footlevel() const { return m_footlevel; }
    QTimer* updatenow() const { return m_updatenow; }

    // The music's waveform beside the grid (right of the window's own
    // area, which widens for it), its show/hide toggle and the music it
    // draws; the wide view draws the same music.
    WaveStrip* waveStrip() const { return m_waveStrip; }
    QCheckBox* waveToggle() const { return m_waveToggle; }
    MusicWaveform* music() const { return m_music; }
    static constexpr int kWaveStripWidth = 96; // pixels
    // A tool window tells the editor it has opened or closed. The tool's
    // toggle shows which (its caption follows), and a press on the toggle
    // closes the open window or opens a new one.
    void toolOpened(EditorTool tool, QWidget* window);
    void toolClosed(EditorTool tool);
    // The open window of a tool; null while it is closed.
    QWidget* openTool(EditorTool tool) const;

    // Opens (or raises) the chart statistics window; with `check`, also
    // checks the rows against the music's attacks. Both are in the Edit menu.
    ChartStatsWindow* showChartStats(bool check);

  public slots:
    // Repaints all 320 cells of currentbar from the model.
    void refreshgrid();
    // Starts the one-shot 50 ms repaint; windows that change the chart call it.
    void startUpdatenow();

  signals:
    // Once, when the editor closes by any means, after its unload steps
    // (tool windows closed, summary window enabled again). The summary
    // window starts its 100 ms chart-button refresh on it.
    void unloaded();
    // After every repaint the wide view should follow: each updatenow tick
    // (after refreshgrid), each press on a cell, Last/Next/Goto bar.
    void refreshed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void hideUnusedHeaders();
    void showAutoDisplayedToolWindows();

    // Tool windows: shown without waiting / closed (unloaded). A toggle
    // closes its tool's window while it is open and opens one otherwise.
    void showWideView();
    void showPowerTools();
    void showTransformations();
    void toggleTool(EditorTool tool);
    void showToolCaption(EditorTool tool);
    QPushButton* toolButton(EditorTool tool) const;
    // Step Grab and the arrow help: the step grabber setup and the help, each
    // shown without waiting. Their buttons stay disabled until these open them.
    void showStepGrabberSetup();
    void showArrowHelp();
    void closeToolWindows();

    void setBarNumberText(int bar);
    void buildWaveStrip();
    void showWaveStrip(bool shown);
    void layOutWaveStrip();
    void refreshwideview();

    // Handlers of the named controls.
    void barnumberChanged();
    // Typing a bar number: the first key empties the box and shows it over
    // the bar number; Enter goes to the typed bar; Escape or leaving the box
    // gives the bar number back.
    void startBarTyping();
    void endBarTyping();
    void gotobatEntered();
    void gotoBar(); // the hidden "Goto bar" button
    void lastBar();
    void nextBar();
    void footlevelChanged();
    void showFootlevel();
    void loadIntoPlayer();
    void finishEditing();
    void testInSimulator();
    void unload();

    AppContext& m_ctx;
    QPointer<QWidget> m_summary;
    StepGrid* m_grid = nullptr;

    QPushButton* m_wideViewButton = nullptr;
    QPushButton* m_powerToolsButton = nullptr;
    QPushButton* m_transformsButton = nullptr;
    QPushButton* m_savemenu = nullptr;
    QPushButton* m_lastBarButton = nullptr;
    QPushButton* m_nextBarButton = nullptr;
    QPushButton* m_loadButton = nullptr;
    QPushButton* m_dwitest = nullptr;
    QPushButton* m_stepGrabButton = nullptr;
    QPushButton* m_arrowHelpButton = nullptr;
    QPushButton* m_gotoBarButton = nullptr;
    QLineEdit* m_barnumber = nullptr;
    QLineEdit* m_gotobat = nullptr;
    QLineEdit* m_footlevel = nullptr;
    // The arrow over each grid column, by column 1..10.
    std::array<QLabel*, grid::kColumnsShown + 1> m_columnHeaders{};

    HistoryActions m_history;
    // The Edit menu in the strip under the grid, and its button.
    QPushButton* m_editButton = nullptr;
    QMenu* m_editMenu = nullptr;

    MusicWaveform* m_music = nullptr;
    WaveStrip* m_waveStrip = nullptr;
    QCheckBox* m_waveToggle = nullptr;
    QPointer<ChartStatsWindow> m_chartStats;
    // The open tool windows, by EditorTool.
    std::array<QPointer<QWidget>, 3> m_tools;

    // After a typed bar number: the bar box flashes green, then white again.
    QTimer* m_barFlashOn = nullptr;
    QTimer* m_barFlashOff = nullptr;
    // Lets the player be asked again a second after a load.
    QTimer* m_playerTick = nullptr;
    QTimer* m_updatenow = nullptr;

    bool m_loadingFootlevel = false;
    bool m_typingBar = false;
    bool m_unloaded = false;
};

} // namespace kolvo

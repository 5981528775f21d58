#pragma once

#include "core/edit/chartstats.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace kolvo {

struct AppContext;
class StepEditorWindow;

// Steps per second over the song, one value per bar, with the peak marked.
class DensityGraph : public QWidget {
    Q_OBJECT
  public:
    explicit DensityGraph(QWidget* parent = nullptr);
    void setDensity(std::vector<double> perBar, double peak, int peakBar);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<double> m_density;
    double m_peak = 0;
    int m_peakBar = 0;
};

// "Chart Statistics": the figures of the chart being edited (counts of each
// kind of note, the density graph, the stream breakdown with a copy button)
// and the check of its rows against the attacks of the music. Follows every
// change of the song; closes with the editor.
class ChartStatsWindow : public QWidget {
    Q_OBJECT
  public:
    ChartStatsWindow(AppContext& ctx, StepEditorWindow* editor);

    const ChartStats& stats() const { return m_stats; }
    QLabel* counts() const { return m_counts; }
    DensityGraph* graph() const { return m_graph; }
    QLineEdit* breakdown() const { return m_breakdown; }
    QPushButton* copyButton() const { return m_copy; }
    QSpinBox* tolerance() const { return m_tolerance; }
    QPushButton* checkButton() const { return m_check; }
    QPlainTextEdit* checkList() const { return m_list; }

  public slots:
    void refresh();
    // Lists the rows further than the tolerance from every attack.
    void checkAgainstMusic();

  private:
    AppContext& m_ctx;
    QPointer<StepEditorWindow> m_editor;
    ChartStats m_stats;
    QLabel* m_counts = nullptr;
    DensityGraph* m_graph = nullptr;
    QLineEdit* m_breakdown = nullptr;
    QPushButton* m_copy = nullptr;
    QSpinBox* m_tolerance = nullptr;
    QPushButton* m_check = nullptr;
    QPlainTextEdit* m_list = nullptr;
};

} // namespace kolvo

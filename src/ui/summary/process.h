#pragma once

#include <QWidget>

class QLabel;
class QFrame;

namespace kolvo {

// "Saving Kolvo Work In Progress": the small window shown while a work file
// is written. A light green bar inside a 2655-twip outline grows by one
// sixteenth per chart written. It has no buttons; its owner closes it.
class Process : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kOutlineTwips = 2655;
    static constexpr int kStartTwips = 15;

    explicit Process(QWidget* parent = nullptr);

    // chartsDone of 16 written: width := 2655 * chartsDone / 16 twips, and
    // the window is redrawn at once.
    void setChartsDone(int chartsDone);
    int barWidthTwips() const { return m_barTwips; }

  private:
    QFrame* m_outline = nullptr;
    QFrame* m_bar = nullptr;
    int m_barTwips = kStartTwips;
};

} // namespace kolvo

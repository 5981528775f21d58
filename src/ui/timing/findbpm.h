#pragma once

#include "ui/timing/tappingtool.h"

class QFrame;

namespace kolvo {

// "BPM Finder": sixteen Enter presses on successive beats while the song
// plays; the time from the first to the last gives the tempo, truncated.
// Accept writes it into the summary's bpm field.
class FindBPM : public TappingTool {
    Q_OBJECT
  public:
    // Disables `summaryWindow` (may be null) until the window closes.
    FindBPM(AppContext& ctx, QWidget* summaryWindow, QWidget* parent = nullptr);

    int tapcount() const { return m_tapcount; }
    // The last result ("" before the first).
    const QString& foundbpm() const { return m_foundbpm; }
    // Width of the progress bar in twips (0 .. 3495).
    double progressTwips() const { return m_progressTwips; }
    QFrame* progressBar() const { return m_progressBar; }

  protected:
    void stepOne() override;
    void stepTwo() override;
    void stepThree() override;
    void acceptResult() override;

  private:
    void setProgress(double twips);

    qint64 m_starttime = 0; // monotonic ns at the first tap
    int m_tapcount = 0;
    QString m_foundbpm;
    double m_progressTwips = 0;
    QFrame* m_progressTrack = nullptr;
    QFrame* m_progressBar = nullptr;
};

} // namespace kolvo

#pragma once

#include "ui/timing/tappingtool.h"

namespace kolvo {

// "Find The Gap": the user starts the song and presses Enter on its first
// beat; the time between is the gap, truncated to hundredths of a second.
// Accept writes it into the summary's gap field.
class FindTheGap : public TappingTool {
    Q_OBJECT
  public:
    // Disables `summaryWindow` (may be null) until the window closes.
    FindTheGap(AppContext& ctx, QWidget* summaryWindow, QWidget* parent = nullptr);

    // The last measured gap in ms, as text ("" before the first).
    const QString& foundgap() const { return m_foundgap; }

  protected:
    void stepOne() override;
    void stepTwo() override;
    void stepThree() override;
    void acceptResult() override;

  private:
    qint64 m_starttime = 0; // monotonic ns when playback started
    QString m_foundgap;
};

} // namespace kolvo

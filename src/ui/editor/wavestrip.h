#pragma once

#include "core/song/chartsteps.h"
#include "core/timing/tempomap.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace kolvo {

class MusicWaveform;

// A vertical strip of the music's waveform beside rows of a chart: each
// span of rows is drawn over a band of pixel rows, every pixel row showing
// the music heard between its first row and the next pixel row's, through
// the chart's TempoMap; so a sound lands on the row it is heard at, across
// BPM changes and stops. The attacks are thin ticks at the left edge. When
// there is no waveform the strip shows the reason in a short line. It takes
// no keys and no presses.
class WaveStrip : public QWidget {
    Q_OBJECT
  public:
    struct Span {
        int top = 0;    // pixel row of `first`
        int bottom = 0; // pixel row of `last` (excluded)
        Tick first = 0;
        Tick last = 0;
    };

    WaveStrip(MusicWaveform* music, QWidget* parent = nullptr);

    // What to draw; the picture is rebuilt at once.
    void setLayout(const TempoMap& tempo, std::vector<Span> spans);

    // The pixel row a tick is drawn at (-1 outside every span).
    int rowOfTick(Tick tick) const;
    // The drawn waveform's extent in a pixel row, in 0..width-1 (first >
    // second when the row is blank), for tests and the bench.
    std::pair<int, int> drawnExtent(int y) const;
    // The line shown instead of a waveform ("" when there is one).
    QString message() const;
    const QImage& picture() const { return m_picture; }
    static QColor attackColour() { return QColor(255, 120, 90); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void rebuild();

    QPointer<MusicWaveform> m_music;
    TempoMap m_tempo;
    std::vector<Span> m_spans;
    QImage m_picture;
};

} // namespace kolvo

#include "ui/editor/wavestrip.h"

#include "ui/editor/musicwaveform.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kolvo {

namespace {

const QColor kBackground(24, 28, 40);
const QColor kWave(110, 200, 255);
const QColor kBeat(70, 76, 100);
constexpr int kAttackLength = 6; // pixels from the left edge

} // namespace

WaveStrip::WaveStrip(MusicWaveform* music, QWidget* parent) : QWidget(parent), m_music(music) {
    setObjectName(QStringLiteral("wavestrip"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (m_music)
        connect(m_music, &MusicWaveform::changed, this, &WaveStrip::rebuild);
}

void WaveStrip::setLayout(const TempoMap& tempo, std::vector<Span> spans) {
    m_tempo = tempo;
    m_spans = std::move(spans);
    rebuild();
}

int WaveStrip::rowOfTick(Tick tick) const {
    for (const Span& s : m_spans)
        if (tick >= s.first && tick < s.last && s.last > s.first)
            return s.top + int(std::floor(double(tick - s.first) * (s.bottom - s.top) /
                                          double(s.last - s.first)));
    return -1;
}

QString WaveStrip::message() const {
    if (!m_music)
        return QStringLiteral("No music file.");
    return m_music->message();
}

std::pair<int, int> WaveStrip::drawnExtent(int y) const {
    std::pair<int, int> out{m_picture.width(), -1};
    if (y < 0 || y >= m_picture.height())
        return out;
    const QRgb wave = kWave.rgb();
    for (int x = 0; x < m_picture.width(); ++x)
        if (m_picture.pixel(x, y) == wave) {
            out.first = std::min(out.first, x);
            out.second = std::max(out.second, x);
        }
    return out;
}

void WaveStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    rebuild();
}

// The picture is made once per change of music, timing or rows, so a
// repaint only copies it.
void WaveStrip::rebuild() {
    if (width() <= 0 || height() <= 0) {
        m_picture = QImage();
        return;
    }
    m_picture = QImage(size(), QImage::Format_RGB32);
    m_picture.fill(kBackground);
    const bool ready = m_music && m_music->state() == MusicWaveform::State::Ready;
    if (ready) {
        const analysis::Peaks& peaks = m_music->peaks();
        const int w = m_picture.width();
        const double centre = (w - 1) / 2.0;
        const double half = std::max(1.0, (w - 1) / 2.0 - 1);
        for (const Span& s : m_spans) {
            if (s.bottom <= s.top || s.last <= s.first)
                continue;
            const double ticksPerPixel = double(s.last - s.first) / (s.bottom - s.top);
            auto msAt = [&](int y) {
                const double tick = double(s.first) + (y - s.top) * ticksPerPixel;
                return m_tempo.msAtBeat(tick / kFineRowsPerBeat);
            };
            double from = msAt(s.top);
            for (int y = std::max(0, s.top); y < std::min(s.bottom, m_picture.height()); ++y) {
                const double to = msAt(y + 1);
                auto* line = reinterpret_cast<QRgb*>(m_picture.scanLine(y));
                // Beat lines behind the wave.
                const double tickHere = double(s.first) + (y - s.top) * ticksPerPixel;
                if (std::floor(tickHere / kFineRowsPerBeat) !=
                        std::floor((tickHere - ticksPerPixel) / kFineRowsPerBeat) ||
                    y == s.top)
                    std::fill(line, line + w, kBeat.rgb());
                const analysis::PeakPair p = peaks.range(from, to);
                from = to;
                if (p.low == 0 && p.high == 0)
                    continue;
                const int x1 =
                    std::clamp(int(std::lround(centre + p.low / 32767.0 * half)), 0, w - 1);
                const int x2 =
                    std::clamp(int(std::lround(centre + p.high / 32767.0 * half)), 0, w - 1);
                std::fill(line + x1, line + x2 + 1, kWave.rgb());
            }
        }
        for (double ms : m_music->onsetsMs()) {
            const double beat = m_tempo.beatAtMs(ms);
            const int y = rowOfTick(Tick(std::floor(beat * kFineRowsPerBeat)));
            if (y < 0 || y >= m_picture.height())
                continue;
            auto* line = reinterpret_cast<QRgb*>(m_picture.scanLine(y));
            std::fill(line, line + std::min(kAttackLength, w), attackColour().rgb());
        }
    }
    update();
}

void WaveStrip::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.drawImage(event->rect(), m_picture, event->rect());
    const QString text = message();
    if (!text.isEmpty()) {
        p.setPen(Qt::white);
        p.drawText(rect().adjusted(3, 3, -3, -3),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
    }
}

} // namespace kolvo

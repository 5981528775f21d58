#include "ui/editor/chartstatswindow.h"

#include "core/song/songmodel.h"
#include "core/timing/tempomap.h"
#include "ui/editor/musicwaveform.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/platform/appcontext.h"

#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kolvo {

DensityGraph::DensityGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("densitygraph"));
    setMinimumSize(360, 110);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DensityGraph::setDensity(std::vector<double> perBar, double peak, int peakBar) {
    m_density = std::move(perBar);
    m_peak = peak;
    m_peakBar = peakBar;
    update();
}

void DensityGraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(24, 28, 40));
    const int w = width();
    const int h = height() - 14; // a line of text under the graph
    const auto n = m_density.size();
    if (n == 0 || m_peak <= 0) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No steps."));
        return;
    }
    // Each pixel column shows the densest bar it covers.
    p.setPen(QColor(110, 200, 255));
    for (int x = 0; x < w; ++x) {
        const auto from = std::size_t(double(x) * double(n) / w);
        const auto to = std::max(from + 1, std::size_t(double(x + 1) * double(n) / w));
        double d = 0;
        for (std::size_t i = from; i < std::min(n, to); ++i)
            d = std::max(d, m_density[i]);
        const int top = h - int(std::lround(d / m_peak * (h - 2)));
        if (top < h)
            p.drawLine(x, top, x, h - 1);
    }
    const int peakX = int((m_peakBar - 0.5) * w / double(n));
    p.setPen(QColor(255, 120, 90));
    p.drawLine(peakX, 0, peakX, h - 1);
    p.setPen(Qt::white);
    p.drawText(QRect(2, h, w - 4, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Peak %1 steps/s at bar %2 (of %3)")
                   .arg(m_peak, 0, 'f', 2)
                   .arg(m_peakBar)
                   .arg(n));
}

ChartStatsWindow::ChartStatsWindow(AppContext& ctx, StepEditorWindow* editor)
    : QWidget(editor, Qt::Window), m_ctx(ctx), m_editor(editor) {
    setObjectName(QStringLiteral("ChartStats"));
    setWindowTitle(QStringLiteral("Chart Statistics"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("counts"));
    m_counts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_counts);
    m_graph = new DensityGraph(this);
    layout->addWidget(m_graph, 1);

    auto* streamRow = new QHBoxLayout;
    streamRow->addWidget(new QLabel(QStringLiteral("Stream:"), this));
    m_breakdown = new QLineEdit(this);
    m_breakdown->setObjectName(QStringLiteral("breakdown"));
    m_breakdown->setReadOnly(true);
    streamRow->addWidget(m_breakdown, 1);
    m_copy = new QPushButton(QStringLiteral("&Copy"), this);
    m_copy->setObjectName(QStringLiteral("copybreakdown"));
    streamRow->addWidget(m_copy);
    layout->addLayout(streamRow);

    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(new QLabel(QStringLiteral("Rows further from every attack than"), this));
    m_tolerance = new QSpinBox(this);
    m_tolerance->setObjectName(QStringLiteral("tolerance"));
    m_tolerance->setRange(1, 500);
    m_tolerance->setValue(15);
    m_tolerance->setSuffix(QStringLiteral(" ms"));
    checkRow->addWidget(m_tolerance);
    m_check = new QPushButton(QStringLiteral("C&heck Against the Music"), this);
    m_check->setObjectName(QStringLiteral("checkmusic"));
    checkRow->addWidget(m_check);
    layout->addLayout(checkRow);
    m_list = new QPlainTextEdit(this);
    m_list->setObjectName(QStringLiteral("checklist"));
    m_list->setReadOnly(true);
    m_list->setMinimumHeight(90);
    layout->addWidget(m_list, 1);

    connect(m_copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_breakdown->text()); });
    connect(m_check, &QPushButton::clicked, this, &ChartStatsWindow::checkAgainstMusic);
    connect(&m_ctx.document, &Document::changed, this, [this](const SongChange& change) {
        if (change.touches(SongChange::Steps | SongChange::Tempo | SongChange::Fields))
            refresh();
    });
    connect(editor, &StepEditorWindow::unloaded, this, &QWidget::close);
    refresh();
}

void ChartStatsWindow::refresh() {
    const ChartSlot slot = m_ctx.session.chartSlot();
    const Chart& chart = m_ctx.document.song().chart(slot);
    m_stats = chartStats(chart, TempoMap(m_ctx.document.song().timingOf(slot)));
    const ChartStats& s = m_stats;
    m_counts->setText(QStringLiteral("%1: %2 steps (%3 taps), %4 jumps, %5 hands, %6 freezes, "
                                     "%7 rolls, %8 mines, %9 lifts, %10 fakes; %11 bars")
                          .arg(chart.name())
                          .arg(s.steps)
                          .arg(s.taps)
                          .arg(s.jumps)
                          .arg(s.hands)
                          .arg(s.freezes)
                          .arg(s.rolls)
                          .arg(s.mines)
                          .arg(s.lifts)
                          .arg(s.fakes)
                          .arg(s.lastBar));
    m_graph->setDensity(s.density, s.peakDensity, s.peakBar);
    m_breakdown->setText(s.breakdown);
}

void ChartStatsWindow::checkAgainstMusic() {
    MusicWaveform* music = m_editor ? m_editor->music() : nullptr;
    if (!music || !music->onsetsReady()) {
        const QString why = music ? music->message() : QString();
        m_list->setPlainText(
            QStringLiteral("The attacks of the music are not known yet%1")
                .arg(why.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + why));
        return;
    }
    const ChartSlot slot = m_ctx.session.chartSlot();
    const auto off = rowsOffTheMusic(m_ctx.document.song().chart(slot),
                                     TempoMap(m_ctx.document.song().timingOf(slot)),
                                     music->onsetsMs(), m_tolerance->value());
    QStringList lines;
    for (const OffTheMusic& o : off)
        lines << QStringLiteral("Bar %1 beat %2: %3 ms %4")
                     .arg(barOfTick(o.tick))
                     .arg(1 + double(fineRowOfTick(o.tick)) / kFineRowsPerBeat, 0, 'g', 6)
                     .arg(std::lround(std::abs(o.offBy)))
                     .arg(o.offBy < 0 ? QStringLiteral("early") : QStringLiteral("late"));
    m_list->setPlainText(
        lines.isEmpty()
            ? QStringLiteral("Every row is within %1 ms of an attack.").arg(m_tolerance->value())
            : lines.join(u'\n'));
}

} // namespace kolvo

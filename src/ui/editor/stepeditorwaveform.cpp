// The step editor's music and figures: the waveform strip beside the grid,
// its toggle, and the chart statistics window it opens from the Edit menu.
#include "core/edit/gridgeometry.h"
#include "core/song/songmodel.h"
#include "core/timing/tempomap.h"
#include "ui/editor/chartstatswindow.h"
#include "ui/editor/musicwaveform.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/wavestrip.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/settings.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>

namespace kolvo {

namespace {
const QString kWaveSection = QStringLiteral("Editor");
const QString kWaveKey = QStringLiteral("ShowWaveform");
} // namespace

void StepEditorWindow::buildWaveStrip() {
    m_music = new MusicWaveform(this);
    m_waveStrip = new WaveStrip(m_music, this);
    // Beside the window's own area, as high as the window.
    m_waveStrip->setGeometry(twips(grid::kClientWidth), 0, kWaveStripWidth, height());
    m_waveToggle = new QCheckBox(QStringLiteral("Waveform"), this);
    m_waveToggle->setObjectName(QStringLiteral("wavetoggle"));
    m_waveToggle->setFocusPolicy(Qt::NoFocus);
    // In the strip under the grid, right of the Edit menu.
    m_waveToggle->setGeometry(m_editButton->geometry().right() + 8, m_editButton->y(), 90,
                              m_editButton->height());
    m_waveToggle->setChecked(ReadSetting(kWaveSection, kWaveKey, QStringLiteral("1")) !=
                             QStringLiteral("0"));
    connect(m_waveToggle, &QCheckBox::toggled, this, [this](bool on) {
        WriteSetting(kWaveSection, kWaveKey, on ? QStringLiteral("1") : QStringLiteral("0"));
        showWaveStrip(on);
    });
    // The music file, the song's BPM and gap are summary fields.
    connect(&m_ctx.document, &Document::changed, this, [this](const SongChange& change) {
        if (m_unloaded)
            return;
        if (change.touches(SongChange::Fields) && (m_waveToggle->isChecked() || m_chartStats))
            m_music->setMusic(m_ctx.document.song().musicadd());
        if (change.touches(SongChange::Fields | SongChange::Tempo)) {
            layOutWaveStrip();
            refreshwideview();
        }
    });
    showWaveStrip(m_waveToggle->isChecked());

    m_editMenu->addSeparator();
    connect(m_editMenu->addAction(QStringLiteral("Chart &Statistics...")), &QAction::triggered,
            this, [this] { showChartStats(false); });
    connect(m_editMenu->addAction(QStringLiteral("Check Against the &Music...")),
            &QAction::triggered, this, [this] { showChartStats(true); });
}

ChartStatsWindow* StepEditorWindow::showChartStats(bool check) {
    ChartStatsWindow* w = m_chartStats;
    if (!w) {
        w = new ChartStatsWindow(m_ctx, this);
        m_chartStats = w;
        // The music is needed for the check; load it even while the strip is hidden.
        m_music->setMusic(m_ctx.document.song().musicadd());
    }
    w->show();
    w->raise();
    if (check)
        w->checkAgainstMusic();
    return w;
}

void StepEditorWindow::showWaveStrip(bool shown) {
    m_waveStrip->setVisible(shown);
    // While a tool window is laid into this window (where the window system
    // places every window itself) the size is the dock's to keep.
    if (!property("kolvoDockBaseSize").isValid())
        setFixedSize(twips(grid::kClientWidth) + (shown ? kWaveStripWidth : 0), height());
    if (shown) {
        m_music->setMusic(m_ctx.document.song().musicadd());
        layOutWaveStrip();
    }
}

void StepEditorWindow::layOutWaveStrip() {
    if (!m_waveStrip || !m_waveStrip->isVisibleTo(this))
        return;
    const int bar = m_ctx.session.currentbar;
    const ChartSlot slot = m_ctx.session.chartSlot();
    m_waveStrip->setLayout(
        TempoMap(m_ctx.document.song().timingOf(slot)),
        {{twips(grid::kOriginY), twips(grid::kGridBottom), tickOf(bar, 0), tickOf(bar + 1, 0)}});
}

} // namespace kolvo

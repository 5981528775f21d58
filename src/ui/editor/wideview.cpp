#include "ui/editor/wideview.h"

#include "core/edit/playposition.h"
#include "core/edit/twips.h"
#include "core/song/songmodel.h"
#include "ui/editor/notecolours.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/tooldock.h"
#include "ui/editor/wavestrip.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"
#include "ui/timing/toolwidgets.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kolvo {

namespace {

const QColor kMarkerColour(192, 192, 255);

// Layout in twips.
constexpr int kBarPitch = 480;   // one bar: 32 grid rows of 15 twips
constexpr int kCellsLeft = 480;  // first panel column
constexpr int kPanelPitch = 120; // 8 pixels per panel
constexpr int kCellWidth = 135;  // a pixel wider than the pitch, as on the grid
constexpr int kScrollLeft = 1800;
constexpr int kHelpBottom = 7035; // the help text ends here
constexpr int kSpeedRow = 375;    // the speed choice under it

std::size_t cellSlot(int j, int panel, int row) {
    return std::size_t((j * 10 + (panel - 1)) * 32 + (row - 1));
}

} // namespace

WideView::WideView(AppContext& ctx, StepEditorWindow* editor)
    : QWidget(editor), m_ctx(ctx), m_editor(editor) {
    setObjectName(QStringLiteral("WideView"));
    setWindowTitle(QStringLiteral("Wide View"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(2055), twips(kHelpBottom + kSpeedRow));
    setAutoFillBackground(true);
    useToolFont(this);

    // The player is looked up once on opening; LoadWinamp updates the same
    // link later.
    m_ctx.player.FindWindowA();

    for (int i = 1; i <= kShownBars; ++i) {
        auto* label = new QLabel(QString::number(i), this);
        label->setObjectName(QStringLiteral("barlabel%1").arg(i));
        label->setGeometry(0, twips(kBarPitch * (i - 1)), twips(375), twips(255));
        m_barlabels[std::size_t(i - 1)] = label;
    }

    m_indicator = new QWidget(this);
    m_indicator->setObjectName(QStringLiteral("indicator"));
    m_indicator->setAutoFillBackground(true);
    QPalette marker = m_indicator->palette();
    marker.setColor(QPalette::Window, kMarkerColour);
    m_indicator->setPalette(marker);
    // 405 to 495 twips, but kept off the first cell column it would overlap.
    m_indicator->setGeometry(twips(405), 0, twips(kCellsLeft - 405), twips(495));
    m_indicator->hide();

    m_vscroll = new QScrollBar(Qt::Vertical, this);
    m_vscroll->setObjectName(QStringLiteral("VScroll1"));
    m_vscroll->setGeometry(twips(kScrollLeft), 0, twips(255), twips(5775));
    m_vscroll->setRange(1, kBars - kShownBars + 1);
    m_vscroll->setPageStep(kShownBars);
    m_vscroll->setSingleStep(1);
    m_vscroll->setValue(1);
    connect(m_vscroll, &QScrollBar::valueChanged, this, &WideView::scrolled);

    auto* heading = new QLabel(QStringLiteral("In this window:"), this);
    heading->setObjectName(QStringLiteral("Label2"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->move(twips(120), twips(5880));
    heading->adjustSize();

    auto* help =
        new QLabel(QStringLiteral("Left click: go to that bar. Right click: also play that "
                                  "bar in Winamp (correct BPM and Gap required)."),
                   this);
    help->setObjectName(QStringLiteral("Label1"));
    help->setWordWrap(true);
    help->setGeometry(twips(120), twips(6120), twips(1815), twips(kHelpBottom - 6120));
    help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fitFont(help, help->text());

    auto* speedLabel = new QLabel(QStringLiteral("Speed"), this);
    speedLabel->setObjectName(QStringLiteral("Label3"));
    m_speed = makeSpeedChoice(this, QStringLiteral("wideview"));
    speedLabel->setBuddy(m_speed);
    m_speed->setGeometry(twips(900), twips(kHelpBottom), twips(1035), twips(kSpeedRow - 30));
    speedLabel->setGeometry(twips(120), twips(kHelpBottom), twips(780), twips(kSpeedRow - 30));
    // A new speed takes effect at once on a bar being played.
    connect(m_speed, &QComboBox::currentIndexChanged, this, [this] {
        if (m_barEndTimer && m_barEndTimer->isActive())
            m_ctx.player.setSpeed(chosenSpeed(m_speed));
    });

    m_barEndTimer = new QTimer(this);
    m_barEndTimer->setObjectName(QStringLiteral("Timer2"));
    m_barEndTimer->setInterval(30);
    connect(m_barEndTimer, &QTimer::timeout, this, &WideView::pauseAtBarEnd);

    m_waveStrip = new WaveStrip(editor->music(), this);
    m_waveStrip->setGeometry(twips(2055), 0, kWaveStripWidth, twips(kBarPitch * kShownBars) + 1);
    connect(editor->waveToggle(), &QCheckBox::toggled, this, &WideView::showWaveStrip);
    showWaveStrip(editor->waveToggle()->isChecked());

    m_ctx.wideviewopen = 1;
    editor->toolOpened(EditorTool::WideView, this);
    m_dock = new ToolDock(this, editor, DockPlace::Right);
    connect(editor, &StepEditorWindow::unloaded, this, &QWidget::close);
    connect(editor, &StepEditorWindow::refreshed, this, &WideView::refreshwideview);
    // Steps of the history (a tool's edit, undo, redo) show at once.
    connect(&m_ctx.document, &Document::changed, this, [this](const SongChange& change) {
        if (change.touches(SongChange::Steps) && change.touchesSlot(m_ctx.session.chartSlot()))
            refreshwideview();
    });

    // A player that ends while a bar plays is news at once, not at the next
    // right click.
    connect(
        m_ctx.player.events(), &PlayerEvents::ended, this,
        [this] {
            if (m_unloaded || !m_barEndTimer->isActive())
                return;
            m_barEndTimer->stop();
            m_ctx.playbarend = 0;
            ReportPlayerGone(m_ctx, this);
        },
        Qt::QueuedConnection);

    refreshwideview();
}

WideView::~WideView() {
    unload();
}

QLabel* WideView::barlabel(int i) const {
    return i >= 1 && i <= kShownBars ? m_barlabels[std::size_t(i - 1)] : nullptr;
}

WideView::Cell WideView::Lines(int k) const {
    const int panel = 1 + (k - 1) / 385;
    const int within = (k - 1) % 385; // 0..383 used
    if (k < 1 || panel > kArrowPanels || within >= kShownBars * 32)
        return {};
    const int j = within / 32;
    const int row = within % 32 + 1;
    const std::uint8_t v = m_cells[cellSlot(j, panel, row)];
    Cell cell;
    cell.visible = v != 0;
    cell.color = noteKindColour(NoteKind(v));
    cell.rect = QRect(twips(kCellsLeft + kPanelPitch * (panel - 1)),
                      twips(15 + kBarPitch * j + 15 * (row - 1)), twips(kCellWidth), 1);
    return cell;
}

void WideView::refreshwideview() {
    if (m_ctx.wideviewopen != 1)
        return;
    const SongModel& m = m_ctx.document.song();
    const EditSession& e = m_ctx.session;
    // The scroll reaches the chart's last bar (and the bar being edited)
    // with a screen to spare, and at least the first 100 bars.
    const int lastBar = std::max({kBars, m.chartSteps(e.chartSlot()).lastBar() + 1, e.currentbar});
    m_vscroll->setRange(1, std::min(kMaxBars, lastBar) - kShownBars + 1);
    const int first = m_vscroll->value();
    m_cells.fill(0);
    m_offGrid.clear();
    const ChartSteps& steps = m.chartSteps(e.chartSlot());
    for (const Note& n :
         steps.notesBetween(tickOf(first, 0), tickOf(first + kShownBars - 1, kFineRows - 1))) {
        if (n.panel > kArrowPanels)
            continue;
        // Notes between the 32nd rows are drawn at their own height.
        if (n.tick % kFinePerRow == 0)
            m_cells[cellSlot(barOfTick(n.tick) - first, n.panel,
                             fineRowOfTick(n.tick) / kFinePerRow + 1)] = std::uint8_t(n.kind);
        else
            m_offGrid.push_back(n);
    }

    if (m_waveStrip->isVisibleTo(this)) {
        // Bar j's 32 rows are the 32 pixels under its separator.
        std::vector<WaveStrip::Span> spans;
        for (int j = 0; j < kShownBars; ++j)
            spans.push_back({twips(15 + kBarPitch * j), twips(15 + kBarPitch * (j + 1)),
                             tickOf(first + j, 0), tickOf(first + j + 1, 0)});
        m_waveStrip->setLayout(TempoMap(m.timingOf(e.chartSlot())), std::move(spans));
    }

    m_indicator->hide();
    for (int i = 1; i <= kShownBars; ++i) {
        if (first + i - 1 == e.currentbar) {
            m_indicator->move(m_indicator->x(), m_barlabels[std::size_t(i - 1)]->y());
            m_indicator->show();
        }
    }
    update();
}

void WideView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Separators: one vertical line left of the cells and one under each bar.
    painter.setPen(palette().color(QPalette::WindowText));
    const int bottom = twips(kBarPitch * kShownBars);
    painter.drawLine(twips(kCellsLeft), 0, twips(kCellsLeft), bottom);
    for (int k = 1; k <= kShownBars; ++k) {
        const int y = twips(kBarPitch * k);
        painter.drawLine(k == kShownBars ? 0 : twips(kCellsLeft), y, twips(kScrollLeft), y);
    }
    // Each non-empty cell is a line one pixel high.
    for (int j = 0; j < kShownBars; ++j) {
        for (int p = 1; p <= kArrowPanels; ++p) {
            for (int r = 1; r <= kRows; ++r) {
                const std::uint8_t v = m_cells[cellSlot(j, p, r)];
                if (v == 0)
                    continue;
                painter.fillRect(twips(kCellsLeft + kPanelPitch * (p - 1)),
                                 twips(15 + kBarPitch * j + 15 * (r - 1)), twips(kCellWidth), 1,
                                 noteKindColour(NoteKind(v)));
            }
        }
    }
    const int first = m_vscroll->value();
    for (const Note& n : m_offGrid) {
        const int j = barOfTick(n.tick) - first;
        // 15 twips a 32nd row: a fine row is 2.5 twips.
        const double y = 15 + kBarPitch * j + 2.5 * fineRowOfTick(n.tick);
        painter.fillRect(twips(kCellsLeft + kPanelPitch * (n.panel - 1)), int(y / kTwipsPerPixel),
                         twips(kCellWidth), 1, noteKindColour(n.kind));
    }
}

void WideView::scrolled() {
    for (int i = 0; i < kShownBars; ++i)
        m_barlabels[std::size_t(i)]->setText(QString::number(m_vscroll->value() + i));
    refreshwideview();
}

void WideView::mousePressEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    const bool right = event->button() == Qt::RightButton;
    if (!left && !right)
        return;
    // Rows are 480 twips high; a press under the twelfth row (on the help
    // text) names no shown bar and is ignored.
    const double yTwips = event->position().y() * double(kTwipsPerPixel);
    const int j = int(std::floor(yTwips / kBarPitch));
    if (j < 0 || j >= kShownBars)
        return;
    pressRow(j, right);
}

void WideView::pressRow(int j, bool play) {
    if (j < 0 || j >= kShownBars)
        return;
    const int bar = std::clamp(m_vscroll->value() + j, 1, kMaxBars);
    m_ctx.session.currentbar = bar;
    if (m_editor)
        m_editor->barnumber()->setText(QString::number(bar));
    if (play)
        playBar(bar);
    refreshwideview();
}

void WideView::playBar(int bar) {
    PlayerLink& player = m_ctx.player;
    if (!player.IsWindow()) {
        m_ctx.boxes.show(this,
                         QStringLiteral("Winamp window not found. Load the file by clicking on the "
                                        "Winamp icon in the step chooser."),
                         QStringLiteral("Winamp not found."), MsgButtons::Ok, MsgIcon::None);
        return;
    }

    const PlayPositionResult where = barPlayPosition(m_ctx.document.song(), bar);
    QString problem;
    switch (where.status) {
    case PlayPositionStatus::Ok:
        break;
    case PlayPositionStatus::BadBpm:
        problem = QStringLiteral("The song's BPM must be a number greater than 0 to play a bar. "
                                 "Please correct the BPM in the song summary.");
        break;
    case PlayPositionStatus::BadGap:
        problem = QStringLiteral("The song's gap must be a number of milliseconds to play a bar. "
                                 "Please correct the gap in the song summary.");
        break;
    case PlayPositionStatus::OutOfRange:
        problem = QStringLiteral("This bar lies too far into the song to be played at the song's "
                                 "BPM. Please check the BPM in the song summary.");
        break;
    }
    if (!problem.isEmpty()) {
        m_ctx.boxes.show(this, problem, QStringLiteral("Cannot play this bar"), MsgButtons::Ok,
                         MsgIcon::Exclamation);
        return;
    }

    QPointer<WideView> self(this);
    player.setSpeed(chosenSpeed(m_speed));
    if (player.state() != 1)
        player.WinampCommand(winamp::Play);
    m_ctx.playbarend = where.position.end;
    // A negative gap puts bar 1 before the music starts; play from 0 then.
    const bool answered =
        player.ask(winamp::JumpToTime, std::max(0, int(std::lround(where.position.start))))
            .has_value();
    if (!self || m_unloaded)
        return;
    if (!answered) { // gone since the look above
        m_ctx.playbarend = 0;
        m_ctx.boxes.show(this,
                         QStringLiteral("Winamp window not found. Load the file by clicking on the "
                                        "Winamp icon in the step chooser."),
                         QStringLiteral("Winamp not found."), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    m_barEndTimer->start();
}

void WideView::pauseAtBarEnd() {
    PlayerLink& player = m_ctx.player;
    if (!player.IsWindow()) {
        m_barEndTimer->stop();
        return;
    }
    const std::optional<int> position = player.positionIfAnswering();
    if (!position) { // a player that has gone is not "at 0": stop waiting
        m_barEndTimer->stop();
        return;
    }
    if (*position > m_ctx.playbarend) {
        player.WinampCommand(winamp::Pause);
        m_ctx.playbarend = 0;
        m_barEndTimer->stop();
    }
}

void WideView::closeEvent(QCloseEvent* event) {
    event->accept();
    m_dock->release();
    unload();
}

void WideView::showWaveStrip(bool shown) {
    m_waveStrip->setVisible(shown);
    setFixedSize(twips(2055) + (shown ? kWaveStripWidth : 0), twips(7035));
    refreshwideview();
}

void WideView::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_barEndTimer->stop();
    m_ctx.playbarend = 0;
    m_ctx.wideviewopen = 0;
    if (m_editor)
        m_editor->toolClosed(EditorTool::WideView);
}

} // namespace kolvo

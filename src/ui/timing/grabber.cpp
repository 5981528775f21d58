#include "ui/timing/grabber.h"

#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/timing/grabbermath.h"
#include "core/timing/tempomap.h"
#include "core/timing/virtualkeys.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"
#include "ui/platform/settings.h"
#include "ui/timing/toolwidgets.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <limits>
#include <optional>

namespace kolvo {

namespace {
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignCenter);
    return l;
}
} // namespace

int grabberSnapSetting() {
    const QString text =
        ReadSetting(QStringLiteral("stepgrabber"), QStringLiteral("option1"), QStringLiteral("0"));
    const double v = numericValue(text);
    if (v != std::floor(v) || v < -1 || v > 3)
        return -1; // not one of the settings: no snapping
    return int(v);
}

int grabberStepsPerBar() {
    const int setting = grabberSnapSetting();
    if (setting != kFinerSnapSetting)
        return grab::stepsOfSnapSetting(setting);
    bool whole = false;
    const int steps =
        ReadSetting(QStringLiteral("stepgrabber"), QStringLiteral("finesnap"), QString())
            .trimmed()
            .toInt(&whole);
    return whole && grab::grabberSnap(steps) ? steps : 0;
}

QString unusableBpmMessage(const QString& bpmText) {
    return QStringLiteral("The song's BPM is \"") + bpmText +
           QStringLiteral("\". Steps can only be placed with a BPM greater than 0: please set the "
                          "BPM in the main window (or with the Synchronisation Checker) first.");
}

Grabber::Grabber(AppContext& ctx, EditorLink link, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_link(std::move(link)),
      m_chart(ctx.session.chartSlot()), m_before(ctx.document.song().chartSteps(m_chart)) {
    setObjectName(QStringLiteral("Grabber"));
    setWindowTitle(QStringLiteral("Now grabbing."));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setFixedWidth(380);

    auto* layout = new QVBoxLayout(this);
    m_escapeHint = makeLabel(this, "Label1", QStringLiteral("Press Escape at any time to stop."));
    m_focusHint =
        makeLabel(this, "Label2",
                  QStringLiteral("Switching to another window will stop the grabbing "
                                 "process. For speed of processing, the Kolvo window will "
                                 "not update as you type steps."));
    m_barDisplay = makeLabel(this, "Label3", QStringLiteral("Stand by..."));
    QFont big = m_barDisplay->font();
    big.setPointSize(big.pointSize() * 2);
    m_barDisplay->setFont(big);
    m_keyIndicator = makeLabel(this, "Label4", QStringLiteral("Key recognised when lit"));
    setFill(m_keyIndicator, QColor());
    m_speed = storedSpeed(QStringLiteral("stepgrabber"));
    m_speedLabel = makeLabel(this, "Label5", QStringLiteral("Speed: ") + speedCaption(m_speed));
    for (QLabel* l : {m_escapeHint, m_focusHint, m_barDisplay, m_keyIndicator, m_speedLabel})
        layout->addWidget(l);

    m_lock.lock(m_link.windows());
    if (m_link.editor)
        connect(m_link.editor.data(), &QObject::destroyed, this, &QWidget::close);

    m_barDisplayTimer = new QTimer(this);
    m_barDisplayTimer->setObjectName(QStringLiteral("Timer1"));
    m_barDisplayTimer->setInterval(50);
    connect(m_barDisplayTimer, &QTimer::timeout, this, &Grabber::updateBarDisplay);
    m_barDisplayTimer->start();

    // A player that ends is news at once, not at the next tick.
    connect(m_ctx.player.events(), &PlayerEvents::ended, this, &Grabber::playerGone,
            Qt::QueuedConnection);
}

Grabber::~Grabber() {
    unload();
}

double Grabber::bpm() const {
    return numericValue(m_ctx.document.song().bpm());
}
double Grabber::gap() const {
    return numericValue(m_ctx.document.song().gap());
}
TempoMap Grabber::tempoMap() const {
    // The song's whole timing: presses land on the right rows across BPM
    // changes and stops.
    return TempoMap(m_ctx.document.song().songTiming());
}

bool Grabber::start() {
    QPointer<Grabber> self(this);
    if (!grab::usableBpm(bpm())) {
        m_ctx.boxes.show(this, unusableBpmMessage(m_ctx.document.song().bpm()),
                         QStringLiteral("Cannot grab steps"), MsgButtons::Ok, MsgIcon::Exclamation);
        if (self)
            close();
        return false;
    }
    if (!FindRunningWinamp(m_ctx, this))
        return false;
    QCoreApplication::processEvents();
    if (!self || m_closing)
        return false;
    m_ctx.player.WinampCommand(winamp::Stop);
    m_ctx.player.setSpeed(m_speed);
    m_ctx.player.WinampCommand(winamp::Play);
    m_playing = true;
    long long target = grab::barStartMs(m_ctx.session.currentbar, tempoMap());
    target = std::clamp<long long>(target, 0, std::numeric_limits<int>::max());
    if (!m_ctx.player.ask(winamp::JumpToTime, int(target))) {
        if (self)
            playerGone();
        return false;
    }
    return bool(self);
}

void Grabber::updateBarDisplay() {
    const double b = bpm();
    if (!grab::usableBpm(b) || m_closing)
        return;
    const std::optional<int> position = m_ctx.player.positionIfAnswering();
    if (m_closing)
        return;
    if (!position) {
        playerGone();
        return;
    }
    const long long bar = grab::barAt(*position, tempoMap());
    m_barDisplay->setText(QStringLiteral("Bar ") + QString::number(bar));
}

void Grabber::playerGone() {
    if (m_closing)
        return;
    // No player, no position: stop grabbing. What was grabbed is already in
    // the song and stays there.
    m_closing = true;
    m_playerGone = true;
    m_barDisplayTimer->stop();
    QPointer<Grabber> self(this);
    ReportPlayerGone(m_ctx, this);
    if (self)
        close();
}

void Grabber::keyDown(int virtualKey) {
    if (m_closing)
        return;
    // Escape leaves at any time, also before the first bar.
    if (virtualKey == vk::Escape) {
        close();
        return;
    }
    setFill(m_keyIndicator, kLitGreen);
    const double b = bpm();
    if (!grab::usableBpm(b)) {
        m_ctx.boxes.show(this, unusableBpmMessage(m_ctx.document.song().bpm()),
                         QStringLiteral("Cannot grab steps"), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    const std::optional<int> answer = m_ctx.player.positionIfAnswering();
    if (m_closing)
        return;
    if (!answer) {
        playerGone();
        return;
    }
    const int position = *answer;
    const grab::ChartPosition heard = grab::positionAt(position, tempoMap());
    const grab::SnappedTick at = grab::snapToSteps(heard.bar, heard.r, grabberStepsPerBar());
    if (at.bar < 1) {
        m_ctx.boxes.show(this,
                         QStringLiteral("Bar number is less than 1. Please wait until song "
                                        "starts."),
                         QStringLiteral("Please wait."), MsgButtons::Ok, MsgIcon::Information);
        return;
    }
    if (at.bar > kMaxBars) {
        QPointer<Grabber> self(this);
        m_ctx.boxes.show(this,
                         QStringLiteral("Bar number is greater than %1: Kolvo cannot cope with "
                                        "songs longer than %1 bars. Exiting Grabber (steps have "
                                        "been saved).")
                             .arg(kMaxBars),
                         QStringLiteral("Buffer full."), MsgButtons::Ok, MsgIcon::Critical);
        if (self)
            close();
        return;
    }
    const int panel = grab::panelForKey(virtualKey, m_ctx.session.currentstyle);
    if (panel == 0)
        return;
    const Tick tick = tickOf(int(at.bar), at.fineRow);
    m_ctx.document.placeLive(m_chart, tick, panel, NoteKind::Arrow);
    emit placed(tick, panel, position);
}

void Grabber::keyUp() {
    setFill(m_keyIndicator, QColor());
}

void Grabber::keyPressEvent(QKeyEvent* event) {
    event->accept();
    // A held key repeats; it is one step, not a run of them.
    if (event->isAutoRepeat())
        return;
    keyDown(vk::fromQtKey(event->key(), event->modifiers()));
}

void Grabber::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (!event->isAutoRepeat())
        keyUp();
}

void Grabber::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    activateWindow();
    setFocus();
}

void Grabber::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void Grabber::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_closing = true;
    m_barDisplayTimer->stop();
    // The music was ours: it stops with the grabbing.
    if (m_playing && !m_playerGone)
        m_ctx.player.WinampCommand(winamp::Stop);
    m_lock.release();
    // Everything recorded since the start is one step of the history.
    m_ctx.document.recordChart(m_chart, std::move(m_before), QStringLiteral("Step Grab"));
    m_link.repaint();
    emit unloaded();
}

} // namespace kolvo

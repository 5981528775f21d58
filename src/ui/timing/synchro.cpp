#include "ui/timing/synchro.h"

#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/timing/grabbermath.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/closeonescape.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"
#include "ui/timing/toolwidgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <optional>

namespace kolvo {

namespace {
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, bool wrap = true) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(wrap);
    return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

int clampToInt(long long v) {
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < 0)
        return 0; // the player cannot go before the start
    return int(v);
}
} // namespace

Synchro::Synchro(AppContext& ctx, QWidget* opener, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx) {
    setObjectName(QStringLiteral("Synchro"));
    setWindowTitle(QStringLiteral("Synchronisation Checker"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedWidth(460);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(
        this, "Label1",
        QStringLiteral("When you press Test, the lights below should light up in time with the "
                       "music (and your computer may also beep). If they light up correctly, "
                       "press OK. Otherwise, choose the problem they have and test again.")));

    auto* loadRow = new QHBoxLayout;
    loadRow->addWidget(
        makeLabel(
            this, "Label5",
            QStringLiteral("First, make sure Winamp is loaded with the correct song. Click on the "
                           "button on the right to load if needed.     Timing will improve if no "
                           "other programs are in use.")),
        1);
    m_loadButton = makeButton(this, "Command8", QStringLiteral("\u25B6 Load"));
    m_loadButton->setToolTip(QStringLiteral("Load the song into the player"));
    loadRow->addWidget(m_loadButton);
    layout->addLayout(loadRow);

    auto* lights = new QHBoxLayout;
    for (int i = 1; i <= timing::SyncBeatCounter::kLights; ++i) {
        auto* shape = new QFrame(this);
        shape->setObjectName(QStringLiteral("Shapes(%1)").arg(i));
        shape->setFrameShape(QFrame::Box);
        shape->setFixedSize(36, 36);
        m_lights[std::size_t(i)] = shape;
        setFill(shape, QColor());
        lights->addWidget(shape);
    }
    layout->addLayout(lights);

    auto* grid = new QGridLayout;
    m_bpmEdit = new QLineEdit(ctx.document.song().bpm(), this);
    m_bpmEdit->setObjectName(QStringLiteral("Text1"));
    m_gapEdit = new QLineEdit(ctx.document.song().gap(), this);
    m_gapEdit->setObjectName(QStringLiteral("Text2"));
    grid->addWidget(makeLabel(this, "Label2", QStringLiteral("BPM"), false), 0, 0);
    grid->addWidget(m_bpmEdit, 0, 1);
    grid->addWidget(makeLabel(this, "Label3", QStringLiteral("Gap"), false), 1, 0);
    grid->addWidget(m_gapEdit, 1, 1);
    grid->addWidget(makeLabel(this, "Label4", QStringLiteral("ms"), false), 1, 2);

    m_testButton = makeButton(this, "Command1", QStringLiteral("Test"));
    m_tooEarlyButton = makeButton(this, "Command2", QStringLiteral("Too early"));
    m_tooLateButton = makeButton(this, "Command4", QStringLiteral("Too late"));
    m_tooSlowButton = makeButton(this, "Command3", QStringLiteral("Too slow"));
    m_tooQuickButton = makeButton(this, "Command6", QStringLiteral("Too quick"));
    m_okButton = makeButton(this, "Command5", QStringLiteral("OK"));
    m_cancelButton = makeButton(this, "Command7", QStringLiteral("Cancel"));
    grid->addWidget(m_tooSlowButton, 0, 3);
    grid->addWidget(m_tooQuickButton, 0, 4);
    grid->addWidget(m_tooEarlyButton, 1, 3);
    grid->addWidget(m_tooLateButton, 1, 4);
    layout->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_testButton);
    auto* speedLabel = makeLabel(this, "Label6", QStringLiteral("Speed"), false);
    m_speedChoice = makeSpeedChoice(this, QStringLiteral("synchro"));
    speedLabel->setBuddy(m_speedChoice);
    buttons->addWidget(speedLabel);
    buttons->addWidget(m_speedChoice);
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);

    m_beatPollTimer = new QTimer(this);
    m_beatPollTimer->setObjectName(QStringLiteral("Timer1"));
    m_beatPollTimer->setInterval(50);
    m_beatPollTimer->setTimerType(Qt::PreciseTimer);
    m_loadTimer = new QTimer(this);
    m_loadTimer->setObjectName(QStringLiteral("Timer2"));
    m_loadTimer->setSingleShot(true);
    m_loadTimer->setInterval(1000);

    m_beatTimer = new QTimer(this);
    m_beatTimer->setObjectName(QStringLiteral("BeatTimer"));
    m_beatTimer->setSingleShot(true);
    m_beatTimer->setTimerType(Qt::PreciseTimer);
    connect(m_beatPollTimer, &QTimer::timeout, this, &Synchro::pollBeat);
    connect(m_beatTimer, &QTimer::timeout, this, &Synchro::pollBeat);
    connect(m_testButton, &QPushButton::clicked, this, &Synchro::test);
    connect(m_tooEarlyButton, &QPushButton::clicked, this, [this] { nudge(m_gapEdit, 10); });
    connect(m_tooLateButton, &QPushButton::clicked, this, [this] { nudge(m_gapEdit, -10); });
    connect(m_tooSlowButton, &QPushButton::clicked, this, [this] { nudge(m_bpmEdit, 1); });
    connect(m_tooQuickButton, &QPushButton::clicked, this, [this] { nudge(m_bpmEdit, -1); });
    connect(m_okButton, &QPushButton::clicked, this, &Synchro::okClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &Synchro::cancelClicked);
    connect(m_loadButton, &QPushButton::clicked, this, &Synchro::loadClicked);
    // A new speed takes effect at once while the lights run.
    connect(m_speedChoice, &QComboBox::currentIndexChanged, this, [this] {
        if (m_beatPollTimer->isActive())
            m_ctx.player.setSpeed(chosenSpeed(m_speedChoice));
    });
    closeOnEscape(this);
    // A player that ends while the lights run is news at once.
    connect(
        m_ctx.player.events(), &PlayerEvents::ended, this,
        [this] {
            if (!m_closing && m_beatPollTimer->isActive())
                playerNotFound();
        },
        Qt::QueuedConnection);
    m_bpmEdit->installEventFilter(this);
    m_gapEdit->installEventFilter(this);

    m_lock.lock(opener);
}

Synchro::~Synchro() {
    unload();
}

double Synchro::bpmValue() const {
    return numericValue(m_bpmEdit->text());
}
double Synchro::gapValue() const {
    return numericValue(m_gapEdit->text());
}

bool Synchro::lightOn(int i) const {
    return i >= 1 && i <= timing::SyncBeatCounter::kLights && isLit(m_lights[std::size_t(i)]);
}

void Synchro::nudge(QLineEdit* box, double by) {
    box->setText(canonicalNumberText(numericValue(box->text()) + by));
}

void Synchro::test() {
    if (m_closing)
        return;
    if (!m_ctx.player.IsWindow()) {
        playerNotFound();
        return;
    }
    const double bpm = bpmValue();
    const std::optional<long long> target = m_counter.testJumpTarget(bpm, gapValue());
    if (!target) {
        // Without a tempo there is no beat to jump to or to light.
        m_ctx.boxes.show(this,
                         QStringLiteral("The BPM is ") + m_bpmEdit->text() +
                             QStringLiteral(", but it must be a number greater than 0 before "
                                            "the lights can follow the beat. Please enter the "
                                            "song's BPM and test again."),
                         QStringLiteral("BPM invalid."), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    QPointer<Synchro> self(this);
    m_ctx.player.setSpeed(chosenSpeed(m_speedChoice));
    if (m_ctx.player.state() != 1)
        m_ctx.player.WinampCommand(winamp::Play);
    m_played = true;
    const bool answered = m_ctx.player.ask(winamp::JumpToTime, clampToInt(*target)).has_value();
    if (!self || m_closing)
        return;
    if (!answered) {
        playerNotFound();
        return;
    }
    m_beatPollTimer->start();
}

void Synchro::playerNotFound() {
    // The lights follow the player; without one they stop.
    m_beatPollTimer->stop();
    m_beatTimer->stop();
    m_ctx.boxes.show(this,
                     QStringLiteral("Winamp window not found. Load the file by clicking on "
                                    "the Winamp icon."),
                     QStringLiteral("Winamp not found."), MsgButtons::Ok, MsgIcon::None);
}

void Synchro::pollBeat() {
    QPointer<Synchro> self(this);
    const std::optional<int> answer = m_ctx.player.ask(winamp::IsPlaying);
    if (!self || m_closing)
        return;
    if (!answer) {
        // Gone while the lights ran: never read that as "stopped at 0".
        if (m_beatPollTimer->isActive())
            playerNotFound();
        return;
    }
    const int playState = *answer;
    m_counter.playerState(playState);
    const double bpm = bpmValue();
    if (!grab::usableBpm(bpm))
        return;
    const std::optional<int> at = m_ctx.player.positionIfAnswering();
    if (!self || m_closing)
        return;
    if (!at) {
        if (m_beatPollTimer->isActive())
            playerNotFound();
        return;
    }
    const int position = *at;
    const bool signalled = m_counter.poll(position, bpm, gapValue());
    if (signalled) {
        ++m_beeps;
        QApplication::beep();
        paintLights();
        emit beat(m_counter.syncbeat, position);
    }
    // A beat due before the next poll gets a poll of its own at that moment,
    // so a light is never up to a whole poll late. The song's time runs
    // slower than ours at a lower speed.
    if (m_beatPollTimer->isActive() && playState == 1) {
        if (const std::optional<double> due = m_counter.nextBeatMs(bpm, gapValue())) {
            const double wait = (*due - position) * 100.0 / m_ctx.player.speed();
            if (wait >= 0 && wait < m_beatPollTimer->interval())
                m_beatTimer->start(int(wait) + 1);
        }
    }
}

void Synchro::paintLights() {
    for (int i = 1; i <= timing::SyncBeatCounter::kLights; ++i)
        setFill(m_lights[std::size_t(i)], m_counter.lights[std::size_t(i)] ? kLitGreen : QColor());
}

bool Synchro::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !m_closing &&
        (watched == m_bpmEdit || watched == m_gapEdit)) {
        // Leaving the box for another control of this window; a message box
        // or another window taking the focus is not leaving it.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
            reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
            // The box is rewritten at once, so a button pressed to leave it
            // sees the clean number; the test runs once the focus has moved.
            auto* box = static_cast<QLineEdit*>(watched);
            box->setText(normalizedNumberText(box->text()));
            QTimer::singleShot(0, this, [this] {
                if (!m_closing)
                    test();
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Synchro::okClicked() {
    m_ctx.player.WinampCommand(winamp::Stop);
    m_ctx.document.closeMerging();
    m_ctx.document.beginStep(QStringLiteral("Synchronisation Checker"));
    m_ctx.document.setField(SummaryField::Bpm, m_bpmEdit->text());
    m_ctx.document.setField(SummaryField::Gap, m_gapEdit->text());
    m_ctx.document.endStep();
    m_ctx.document.closeMerging();
    close();
}

void Synchro::cancelClicked() {
    m_ctx.player.WinampCommand(winamp::Stop);
    close();
}

void Synchro::loadClicked() {
    LoadWinamp(m_ctx, this, m_loadTimer);
}

void Synchro::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void Synchro::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_closing = true;
    const bool lightsRan = m_beatPollTimer->isActive();
    m_beatPollTimer->stop();
    m_beatTimer->stop();
    // Music that Test started stops with the window (OK and Cancel have
    // stopped it already).
    if (m_played && lightsRan)
        m_ctx.player.WinampCommand(winamp::Stop);
    m_lock.release();
    emit unloaded();
}

} // namespace kolvo

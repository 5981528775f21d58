#include "ui/timing/stepgrabbersetup.h"

#include "core/edit/snaps.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/timing/grabbermath.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/closeonescape.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/settings.h"
#include "ui/timing/grabber.h"
#include "ui/timing/keytester.h"
#include "ui/timing/synchro.h"
#include "ui/timing/toolwidgets.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace kolvo {

namespace {
const QString kSection = QStringLiteral("stepgrabber");
constexpr int kSnapDefault = 1;   // half beats
constexpr int kFreezeDefault = 2; // don't create freezes

QLabel* makeLabel(QWidget* parent, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
} // namespace

int storedOption(const QString& text, int fallback, int last) {
    if (!isWellFormedWholeNumber(text.trimmed()))
        return fallback;
    const double v = numericValue(text);
    if (v != std::floor(v) || v < 0 || v > last)
        return fallback;
    return int(v);
}

StepGrabberSetup::StepGrabberSetup(AppContext& ctx, EditorLink link, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_link(std::move(link)) {
    setObjectName(QStringLiteral("StepGrabberSetup"));
    setWindowTitle(QStringLiteral("StepGrabber Setup"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedWidth(620);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(this, QStringLiteral("Before using StepGrabber,")));
    m_syncCheckerButton = makeButton(this, "Command1", QStringLiteral("Synchronise your file"));
    layout->addWidget(m_syncCheckerButton);
    layout->addWidget(makeLabel(
        this, QStringLiteral("If the file isn't synchronised properly, your steps will end up in "
                             "the wrong place - which is near-impossible to fix.")));
    m_keyTesterButton = makeButton(this, "Command2", QStringLiteral("Test your keys"));
    layout->addWidget(m_keyTesterButton);
    layout->addWidget(makeLabel(
        this, QStringLiteral("For single and solo mode, either the numeric keypad or the arrow "
                             "keys will work to enter steps. In double mode, the arrow keys "
                             "handle Player 1, and the numeric keypad Player 2.")));

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    auto* optionsLayout = new QHBoxLayout(options);
    auto* snap = new QGroupBox(QStringLiteral("Snap steps to..."), options);
    auto* snapLayout = new QVBoxLayout(snap);
    const QString snapCaptions[] = {QStringLiteral("Every beat (4 steps/bar)"),
                                    QStringLiteral("Half beats (8 steps/bar)"),
                                    QStringLiteral("Quarter beats (16 steps/bar)")};
    auto* freeze = new QGroupBox(QStringLiteral("Count freeze arrows if button held..."), options);
    auto* freezeLayout = new QVBoxLayout(freeze);
    const QString freezeCaptions[] = {QStringLiteral("for more than 1 beat"),
                                      QStringLiteral("for more than 2 beats"),
                                      QStringLiteral("don't create freezes")};
    auto* snapGroup = new QButtonGroup(this);
    auto* freezeGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* s = new QRadioButton(snapCaptions[i], snap);
        s->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        snapGroup->addButton(s, i);
        snapLayout->addWidget(s);
        m_snapButtons[std::size_t(i)] = s;
        connect(s, &QRadioButton::clicked, this, [this, i] { snapChosen(i); });

        auto* f = new QRadioButton(freezeCaptions[i], freeze);
        f->setObjectName(QStringLiteral("Option3(%1)").arg(i));
        freezeGroup->addButton(f, i);
        freezeLayout->addWidget(f);
        m_freezeButtons[std::size_t(i)] = f;
        connect(f, &QRadioButton::clicked, this, [this, i] { freezeChoiceChosen(i); });
    }
    freezeLayout->addWidget(
        makeLabel(freeze, QStringLiteral("(Freeze arrows not yet implemented)")));
    // The finer snaps: one more choice, its steps a bar picked beside it.
    auto* finerRow = new QHBoxLayout;
    auto* finer = new QRadioButton(QStringLiteral("Finer:"), snap);
    finer->setObjectName(QStringLiteral("Option1(%1)").arg(kFinerSnapSetting));
    snapGroup->addButton(finer, kFinerSnapSetting);
    m_snapButtons[std::size_t(kFinerSnapSetting)] = finer;
    connect(finer, &QRadioButton::clicked, this, [this] { snapChosen(kFinerSnapSetting); });
    m_finerSnapChoice = new QComboBox(snap);
    m_finerSnapChoice->setObjectName(QStringLiteral("FinerSnap"));
    for (int steps : grid::kSnaps) {
        if (steps == 4 || steps == 8 || steps == 16)
            continue; // the choices above
        m_finerSnapChoice->addItem(QStringLiteral("%1 steps/bar").arg(steps), steps);
    }
    connect(m_finerSnapChoice, &QComboBox::activated, this, &StepGrabberSetup::finerSnapChosen);
    finerRow->addWidget(finer);
    finerRow->addWidget(m_finerSnapChoice, 1);
    snapLayout->addLayout(finerRow);
    optionsLayout->addWidget(snap);
    optionsLayout->addWidget(freeze);
    layout->addWidget(options);

    // Slower music for fast passages; the pitch stays.
    auto* speedRow = new QHBoxLayout;
    auto* speedLabel = makeLabel(this, QStringLiteral("Play the song at"));
    speedLabel->setWordWrap(false);
    m_speedChoice = makeSpeedChoice(this, kSection);
    speedLabel->setBuddy(m_speedChoice);
    speedRow->addWidget(speedLabel);
    speedRow->addWidget(m_speedChoice);
    speedRow->addWidget(makeLabel(this, QStringLiteral("speed (the pitch stays the same).")), 1);
    layout->addLayout(speedRow);

    m_startAtCurrentBarButton =
        makeButton(this, "Command3", QStringLiteral("Start grabbing from current bar"));
    m_startAtBarOneButton =
        makeButton(this, "Command4", QStringLiteral("Start grabbing from bar 1"));
    m_closeButton = makeButton(this, "Command5", QStringLiteral("Close"));
    layout->addWidget(m_startAtCurrentBarButton);
    layout->addWidget(m_startAtBarOneButton);
    layout->addWidget(m_closeButton);

    m_playerLoadTimer = new QTimer(this);
    m_playerLoadTimer->setObjectName(QStringLiteral("Timer1"));
    m_playerLoadTimer->setSingleShot(true);
    m_playerLoadTimer->setInterval(1000);

    connect(m_syncCheckerButton, &QPushButton::clicked, this, &StepGrabberSetup::openSynchro);
    connect(m_keyTesterButton, &QPushButton::clicked, this, &StepGrabberSetup::openKeyTester);
    connect(m_startAtCurrentBarButton, &QPushButton::clicked, this,
            [this] { startGrabbing(false); });
    connect(m_startAtBarOneButton, &QPushButton::clicked, this, [this] { startGrabbing(true); });
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    closeOnEscape(this);

    // Load: hold the editor, then the stored options (written straight back,
    // so a first run leaves its defaults in the store).
    m_lock.lock(m_link.windows());
    if (m_link.editor)
        connect(m_link.editor.data(), &QObject::destroyed, this, &QWidget::close);
    ctx.grabsetupopen = 1;
    m_grabberStarted = 0;
    const int storedSnap = storedOption(
        ReadSetting(kSection, QStringLiteral("option1"), QString::number(kSnapDefault)),
        kSnapDefault, kFinerSnapSetting);
    const int storedFreezes = storedOption(
        ReadSetting(kSection, QStringLiteral("option3"), QString::number(kFreezeDefault)),
        kFreezeDefault);
    WriteSetting(kSection, QStringLiteral("option1"), QString::number(storedSnap));
    WriteSetting(kSection, QStringLiteral("option3"), QString::number(storedFreezes));
    m_snapButtons[std::size_t(storedSnap)]->setChecked(true);
    m_freezeButtons[std::size_t(storedFreezes)]->setChecked(true);
    const int finerIndex = m_finerSnapChoice->findData(
        ReadSetting(kSection, QStringLiteral("finesnap"), QString()).trimmed().toInt());
    m_finerSnapChoice->setCurrentIndex(finerIndex >= 0 ? finerIndex
                                                       : m_finerSnapChoice->findData(32));
    WriteSetting(kSection, QStringLiteral("finesnap"), m_finerSnapChoice->currentData().toString());
}

StepGrabberSetup::~StepGrabberSetup() {
    unload();
}

void StepGrabberSetup::snapChosen(int i) {
    if (i == grab::SnapQuarterBeat) {
        m_ctx.boxes.show(this,
                         QStringLiteral("Warning! If your BPM and Gap is not PERFECTLY "
                                        "synchronised, and your arrow timing is not EXTREMELY "
                                        "accurate, using the 16 steps per bar setting may cause a "
                                        "lot of timing errors, which are very hard to fix."),
                         QStringLiteral("Warning"), MsgButtons::Ok, MsgIcon::Critical);
    }
    WriteSetting(kSection, QStringLiteral("option1"), QString::number(i));
}

void StepGrabberSetup::finerSnapChosen() {
    WriteSetting(kSection, QStringLiteral("finesnap"), m_finerSnapChoice->currentData().toString());
    // Picking a finer snap is choosing it.
    m_snapButtons[std::size_t(kFinerSnapSetting)]->setChecked(true);
    snapChosen(kFinerSnapSetting);
}

void StepGrabberSetup::freezeChoiceChosen(int i) {
    WriteSetting(kSection, QStringLiteral("option3"), QString::number(i));
}

void StepGrabberSetup::openSynchro() {
    if (m_closing)
        return;
    auto* w = new Synchro(m_ctx, this);
    m_synchro = w;
    w->show();
}

void StepGrabberSetup::openKeyTester() {
    if (m_closing)
        return;
    auto* w = new KeyTester(this);
    m_keyTester = w;
    w->show();
}

void StepGrabberSetup::startGrabbing(bool fromBarOne) {
    if (m_closing)
        return;
    // Without a tempo no press can be placed: say so before starting anything.
    if (!grab::usableBpm(numericValue(m_ctx.document.song().bpm()))) {
        m_ctx.boxes.show(this, unusableBpmMessage(m_ctx.document.song().bpm()),
                         QStringLiteral("Cannot grab steps"), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    QPointer<StepGrabberSetup> self(this);
    if (LoadWinamp(m_ctx, this, m_playerLoadTimer) != LoadWinampResult::Loaded)
        return; // LoadWinamp has said why (and closed this window if it had to)
    if (!self || m_closing)
        return;
    if (fromBarOne) {
        m_ctx.session.currentbar = 1;
        m_link.showBar(1);
        m_link.repaint();
    }
    auto* grabber = new Grabber(m_ctx, m_link);
    m_grabber = grabber;
    m_grabberStarted = 1;
    grabber->show();
    emit grabberOpened(grabber);
    grabber->start(); // on failure it has said why and closed itself
    // The grabber now holds the editor; this window lets go as it closes.
    if (self)
        close();
}

void StepGrabberSetup::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void StepGrabberSetup::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_closing = true;
    m_ctx.grabsetupopen = 0;
    if (m_keyTester)
        m_keyTester->close();
    if (m_synchro)
        m_synchro->close();
    // Enables the editor and its tool windows again, unless the grabber
    // (which holds them too) is running.
    m_lock.release();
    emit unloaded();
}

} // namespace kolvo

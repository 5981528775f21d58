#include "ui/timing/tappingtool.h"

#include "core/timing/virtualkeys.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/playerlink.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace kolvo {

namespace {
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    l->setMargin(4);
    return l;
}
} // namespace

TappingTool::TappingTool(AppContext& ctx, QWidget* summaryWindow, const QString& objectName,
                         const QString& caption, const QString& intro, const QString& step1,
                         const QString& step2, const QString& step3, const QString& result,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setFixedWidth(420);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel(this, "Label1", intro));
    m_stepOneLabel = makeLabel(this, "Label2", step1);
    m_stepTwoLabel = makeLabel(this, "Label3", step2);
    m_stepThreeLabel = makeLabel(this, "Label4", step3);
    layout->addWidget(m_stepOneLabel);
    layout->addWidget(m_stepTwoLabel);
    layout->addWidget(m_stepThreeLabel);
    m_body = new QVBoxLayout;
    layout->addLayout(m_body);
    m_resultLabel = makeLabel(this, "Label5", result);
    m_resultLabel->setAlignment(Qt::AlignCenter);
    m_resultLabel->hide();
    layout->addWidget(m_resultLabel);

    auto* buttons = new QHBoxLayout;
    m_acceptButton = new QPushButton(QStringLiteral("Accept New Value"), this);
    m_acceptButton->setObjectName(QStringLiteral("Command1"));
    m_rejectButton = new QPushButton(QStringLiteral("Reject New Value"), this);
    m_rejectButton->setObjectName(QStringLiteral("Command2"));
    for (QPushButton* b : {m_acceptButton, m_rejectButton}) {
        b->setAutoDefault(false);
        b->hide();
        b->setEnabled(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    m_escapeHint = makeLabel(this, "Label8", QStringLiteral("Press Escape at any time to cancel."));
    layout->addWidget(m_escapeHint);

    m_playerLoadTimer = new QTimer(this);
    m_playerLoadTimer->setObjectName(QStringLiteral("Timer1"));
    m_playerLoadTimer->setSingleShot(true);
    m_playerLoadTimer->setInterval(1000);

    connect(m_acceptButton, &QPushButton::clicked, this, [this] { acceptResult(); });
    connect(m_rejectButton, &QPushButton::clicked, this, &TappingTool::reject);

    setStep(1);
    m_lock.lock(summaryWindow);

    // A player that ends while the song plays for a step is news at once:
    // the presses would be timed against nothing.
    connect(
        m_ctx.player.events(), &PlayerEvents::ended, this,
        [this] {
            if (m_closing || (m_step != 2 && m_step != 3))
                return;
            QPointer<TappingTool> self(this);
            m_closing = true;
            ReportPlayerGone(m_ctx, this);
            if (self)
                close();
        },
        Qt::QueuedConnection);
}

TappingTool::~TappingTool() {
    unload();
}

void TappingTool::fitHeight() {
    // Each wrapped paragraph is as tall as it needs at the window's width
    // (the layout's own guess uses another width and cuts them short), and
    // the window as tall as they all need.
    QLayout* l = layout();
    if (!l)
        return;
    const QMargins margins = l->contentsMargins();
    const int inner = minimumWidth() - margins.left() - margins.right();
    for (QLabel* label : findChildren<QLabel*>())
        if (label->wordWrap())
            label->setMinimumHeight(label->heightForWidth(inner));
    l->activate();
    resize(minimumWidth(), l->totalMinimumSize().height());
}

void TappingTool::showEvent(QShowEvent* event) {
    fitHeight(); // the font and the scale are known now
    QWidget::showEvent(event);
}

void TappingTool::setStep(int step) {
    m_step = step;
    // A new run: the last run's result goes.
    if (step != 0 && !m_resultLabel->isHidden()) {
        m_resultLabel->hide();
        fitHeight();
    }
    setStepLabel(m_stepOneLabel, step == 1);
    setStepLabel(m_stepTwoLabel, step == 2);
    setStepLabel(m_stepThreeLabel, step == 3);
}

void TappingTool::showResult(const QString& text) {
    m_resultLabel->setText(text);
    m_resultLabel->show();
    fitHeight();
    for (QPushButton* b : {m_acceptButton, m_rejectButton}) {
        b->show();
        b->setEnabled(true);
    }
}

void TappingTool::reject() {
    for (QPushButton* b : {m_acceptButton, m_rejectButton}) {
        b->setEnabled(false);
        b->hide();
    }
    setStep(1);
    setFocus();
}

void TappingTool::keyDown(int virtualKey) {
    if (m_closing)
        return;
    // Escape leaves at any time: while the player is being started (events
    // keep flowing meanwhile), and without a song or a player set up.
    if (virtualKey == vk::Escape) {
        close();
        return;
    }
    if (m_busy)
        return; // nothing else starts a second step
    QPointer<TappingTool> self(this);
    if (CheckSongAndPlayer(m_ctx, this) != LoadWinampResult::Loaded)
        return;
    if (!self || m_closing)
        return;
    if (virtualKey != vk::Enter && virtualKey != vk::Separator)
        return;
    m_busy = true;
    switch (m_step) {
    case 1:
        stepOne();
        break;
    case 2:
        stepTwo();
        break;
    case 3:
        stepThree();
        break;
    default:
        break; // a result is on screen: Enter does nothing
    }
    if (self)
        m_busy = false;
}

void TappingTool::keyPressEvent(QKeyEvent* event) {
    // A held key repeats; only a fresh press is a tap.
    if (!event->isAutoRepeat())
        keyDown(vk::fromQtKey(event->key(), event->modifiers()));
    event->accept();
}

bool TappingTool::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        // The window sees the key first; the control under the focus still
        // gets the keys the window does not act on (Space on a button).
        auto* key = static_cast<QKeyEvent*>(event);
        const int code = vk::fromQtKey(key->key(), key->modifiers());
        QPointer<QObject> target(watched);
        keyPressEvent(key);
        const bool taken = code == vk::Enter || code == vk::Separator || code == vk::Escape;
        return taken || m_closing || target.isNull();
    }
    return QWidget::eventFilter(watched, event);
}

void TappingTool::closeEvent(QCloseEvent* event) {
    // The music a step started stops with the window (a result on screen
    // has stopped it already).
    const bool playing = !m_closing && (m_step == 2 || m_step == 3);
    m_closing = true;
    if (playing)
        m_ctx.player.WinampCommand(winamp::Stop);
    unload();
    event->accept();
}

void TappingTool::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_closing = true;
    m_playerLoadTimer->stop();
    m_lock.release();
    emit unloaded();
}

} // namespace kolvo

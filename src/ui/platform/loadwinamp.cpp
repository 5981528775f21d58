#include "ui/platform/loadwinamp.h"

#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/launcher.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace kolvo {

namespace {

constexpr int kLooks = 5;
constexpr int kWaitMs = 1000;

bool g_loading = false; // one load at a time: the wait lets events in

struct LoadingFlag {
    LoadingFlag() { g_loading = true; }
    ~LoadingFlag() { g_loading = false; }
    LoadingFlag(const LoadingFlag&) = delete;
    LoadingFlag& operator=(const LoadingFlag&) = delete;
};

QTimer* ownerTimer(QWidget* owner) {
    const QString name = QStringLiteral("WinampTimer");
    auto* timer = owner->findChild<QTimer*>(name, Qt::FindDirectChildrenOnly);
    if (!timer) {
        timer = new QTimer(owner);
        timer->setObjectName(name);
    }
    return timer;
}

// Runs the owner's one-shot timer once while events keep being processed;
// its tick sets `timertick`. Returns false if the owner (when there is one)
// or the timer went away meanwhile.
bool waitForTick(PlayerLink& player, bool hasOwner, const QPointer<QWidget>& owner,
                 QTimer* timerIn) {
    QPointer<QTimer> timer = timerIn;
    player.timertick = 0;
    QEventLoop loop;
    QObject scope; // ends the connections below when we return
    QObject::connect(timer.data(), &QTimer::timeout, &scope, [&player, timer] {
        player.timertick = 1;
        if (timer)
            timer->stop();
    });
    QObject::connect(timer.data(), &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(timer.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    if (hasOwner)
        QObject::connect(owner.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    timer->setTimerType(Qt::PreciseTimer); // a full second, not 5 % less
    timer->setSingleShot(true);
    timer->setInterval(kWaitMs);
    timer->start();
    while (player.timertick == 0 && (owner || !hasOwner) && timer)
        loop.exec();
    const bool ownerAlive = (!owner.isNull() || !hasOwner) && !timer.isNull();
    player.timertick = 0;
    return ownerAlive;
}

void exclamation(AppContext& ctx, QWidget* owner, const QString& text, const QString& title) {
    ctx.boxes.show(owner, text, title, MsgButtons::Ok, MsgIcon::Exclamation);
}

// For a moment after the player's window appears the window manager may
// hand it the keyboard; the tool that loaded it takes it straight back, so
// the user's next key reaches the tool.
class FocusKeeper : public QObject {
  public:
    explicit FocusKeeper(QWidget* owner) : QObject(owner), m_owner(owner) {
        owner->installEventFilter(this);
        QTimer::singleShot(kKeepFocusMs, this, [this] { deleteLater(); });
        reclaim();
    }

    static void keep(QWidget* owner) {
        for (QObject* child : owner->children()) {
            if (auto* old = dynamic_cast<FocusKeeper*>(child)) {
                delete old;
                break;
            }
        }
        new FocusKeeper(owner);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_owner && event->type() == QEvent::WindowDeactivate)
            QTimer::singleShot(0, this, [this] {
                // Only when another program took it, not another window of ours.
                if (!QApplication::activeWindow())
                    reclaim();
            });
        return QObject::eventFilter(watched, event);
    }

  private:
    static constexpr int kKeepFocusMs = 2000;

    void reclaim() {
        if (m_owner && m_owner->isVisible())
            m_owner->activateWindow();
    }

    QPointer<QWidget> m_owner;
};

} // namespace

LoadWinampResult CheckSongAndPlayer(AppContext& ctx, QWidget* owner) {
    QPointer<QWidget> guard(owner);
    const QString music = ctx.document.song().musicadd();
    if (music.isEmpty()) {
        exclamation(ctx, owner,
                    QStringLiteral("It would help to specify an MP3 file in the main DWI creator "
                                   "screen."),
                    QStringLiteral("No MP3 file selected"));
        return LoadWinampResult::NoMusic;
    }
    if (!QFileInfo(music).isFile()) {
        exclamation(ctx, owner,
                    music + QStringLiteral(" could not be found. Please check the MP3 file "
                                           "address and the path to your DDR simulator."),
                    QStringLiteral("Could not find MP3 file"));
        return LoadWinampResult::MusicMissing;
    }
    if (!QFileInfo(playerProgramPath(ctx.winamppath)).isFile()) {
        exclamation(ctx, owner,
                    QStringLiteral("Could not find your Winamp program in ") + ctx.winamppath +
                        QStringLiteral(". Please go to Options and double check it!"),
                    QStringLiteral("Could not find winamp.exe"));
        if (guard)
            guard->close();
        return LoadWinampResult::NoPlayer;
    }
    return LoadWinampResult::Loaded;
}

LoadWinampResult LoadWinamp(AppContext& ctx, QWidget* owner, QTimer* timer) {
    if (g_loading)
        return LoadWinampResult::Busy;
    LoadingFlag loading;
    QPointer<QWidget> guard(owner);
    ctx.document.beforeRiskyStep(); // a recovery copy first: a player can take the program down

    const LoadWinampResult checked = CheckSongAndPlayer(ctx, owner);
    if (checked != LoadWinampResult::Loaded)
        return checked;
    // The player runs in its own folder: give it the file the check found.
    const QString music = QFileInfo(ctx.document.song().musicadd()).absoluteFilePath();

    // The player already has this very file: stop it at the start rather
    // than start another (a new player costs time, and the song's place).
    if (ctx.player.playsFile(music)) {
        ctx.player.WinampCommand(winamp::Stop);
        ctx.player.setSpeed(100);
        return LoadWinampResult::Loaded;
    }

    QString launchError;
    if (ctx.player.launch(ctx.launcher, ctx.winamppath, music, &launchError)) {
        const bool hasOwner = owner != nullptr;
        std::unique_ptr<QTimer> ownTimer; // no owner window: a timer of our own
        if (!timer && guard)
            timer = ownerTimer(guard);
        if (!timer && !hasOwner) {
            ownTimer = std::make_unique<QTimer>();
            timer = ownTimer.get();
        }
        for (int look = 1; look <= kLooks; ++look) {
            if (look > 1 && (!timer || !waitForTick(ctx.player, hasOwner, guard, timer))) {
                ctx.player.abandonLaunch();
                return LoadWinampResult::OwnerGone;
            }
            if (ctx.player.FindWindowA()) {
                ctx.player.WinampCommand(winamp::Stop);
                if (guard)
                    FocusKeeper::keep(guard);
                return LoadWinampResult::Loaded;
            }
            // A player that has already ended will not answer later.
            if (ctx.player.launchedPlayerEnded())
                break;
        }
    }
    // A failed start is not worth four seconds of looking: say so at once,
    // with why it failed below when that is known.
    const QString why = launchError.isEmpty() ? ctx.player.launchProblem() : launchError;
    ctx.player.abandonLaunch();
    QString text = QStringLiteral("WinAMP doesn't appear to have loaded!");
    if (!why.isEmpty())
        text += QStringLiteral("\n\n") + why;
    ctx.boxes.show(guard, text, QStringLiteral("Ack!"), MsgButtons::Ok, MsgIcon::Exclamation);
    if (guard)
        guard->close();
    return LoadWinampResult::NotAnswering;
}

void ReportPlayerGone(AppContext& ctx, QWidget* owner) {
    ctx.boxes.show(owner, QStringLiteral("WinAMP doesn't appear to be open!"),
                   QStringLiteral("Ack!"), MsgButtons::Ok, MsgIcon::Exclamation);
}

bool FindRunningWinamp(AppContext& ctx, QWidget* owner) {
    if (ctx.player.FindWindowA())
        return true;
    QPointer<QWidget> guard(owner);
    ctx.boxes.show(owner, QStringLiteral("WinAMP doesn't appear to be open!"),
                   QStringLiteral("Ack!"), MsgButtons::Ok, MsgIcon::Exclamation);
    if (guard)
        guard->close();
    return false;
}

} // namespace kolvo

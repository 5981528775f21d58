#include "loadwinamp.h"

#include "appcontext.h"
#include "launcher.h"
#include "messageboxes.h"
#include "model/songmodel.h"
#include "playerlink.h"

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

} // namespace

LoadWinampResult CheckSongAndPlayer(AppContext& ctx, QWidget* owner) {
    QPointer<QWidget> guard(owner);
    const QString music = ctx.model.musicadd();
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
    const QString music = ctx.model.musicadd();

    if (ctx.player.launch(ctx.launcher, ctx.winamppath, music)) {
        const bool hasOwner = owner != nullptr;
        std::unique_ptr<QTimer> ownTimer; // no owner window: a timer of our own
        if (!timer && guard)
            timer = ownerTimer(guard);
        if (!timer && !hasOwner) {
            ownTimer = std::make_unique<QTimer>();
            timer = ownTimer.get();
        }
        for (int look = 1; look <= kLooks; ++look) {
            if (look > 1 && (!timer || !waitForTick(ctx.player, hasOwner, guard, timer)))
                return LoadWinampResult::OwnerGone;
            if (ctx.player.FindWindowA()) {
                ctx.player.WinampCommand(winamp::Stop);
                return LoadWinampResult::Loaded;
            }
        }
    }
    // A failed start is not worth four seconds of looking: say so at once.
    ctx.boxes.show(guard, QStringLiteral("WinAMP doesn't appear to have loaded!"),
                   QStringLiteral("Ack!"), MsgButtons::Ok, MsgIcon::None);
    if (guard)
        guard->close();
    return LoadWinampResult::NotAnswering;
}

bool FindRunningWinamp(AppContext& ctx, QWidget* owner) {
    if (ctx.player.FindWindowA())
        return true;
    QPointer<QWidget> guard(owner);
    ctx.boxes.show(owner, QStringLiteral("WinAMP doesn't appear to be open!"),
                   QStringLiteral("Ack!"), MsgButtons::Ok, MsgIcon::None);
    if (guard)
        guard->close();
    return false;
}

} // namespace kolvo

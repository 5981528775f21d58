#include "timing/playerchecks.h"

#include "model/songmodel.h"
#include "platform/appcontext.h"
#include "platform/messageboxes.h"
#include "platform/playerlink.h"

#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace kolvo {

LoadWinampResult PlayerChecks(AppContext& ctx, QWidget* owner) {
    const QString music = ctx.model.musicadd();
    if (music.isEmpty()) {
        ctx.boxes.show(owner,
                       QStringLiteral("It would help to specify an MP3 file in the main DWI "
                                      "creator screen."),
                       QStringLiteral("No MP3 file selected"), MsgButtons::Ok,
                       MsgIcon::Exclamation);
        return LoadWinampResult::NoMusic;
    }
    if (!QFileInfo(music).isFile()) {
        ctx.boxes.show(owner,
                       music + QStringLiteral(" could not be found. Please check the MP3 file "
                                              "address and the path to your DDR simulator."),
                       QStringLiteral("Could not find MP3 file"), MsgButtons::Ok,
                       MsgIcon::Exclamation);
        return LoadWinampResult::MusicMissing;
    }
    if (!QFileInfo(playerProgramPath(ctx.winamppath)).isFile()) {
        QPointer<QWidget> guard(owner);
        ctx.boxes.show(owner,
                       QStringLiteral("Could not find your Winamp program in ") + ctx.winamppath +
                           QStringLiteral(". Please go to Options and double check it!"),
                       QStringLiteral("Could not find winamp.exe"), MsgButtons::Ok,
                       MsgIcon::Exclamation);
        if (guard)
            guard->close();
        return LoadWinampResult::NoPlayer;
    }
    return LoadWinampResult::Loaded;
}

} // namespace kolvo

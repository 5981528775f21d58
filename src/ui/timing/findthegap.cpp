#include "ui/timing/findthegap.h"

#include "core/song/songmodel.h"
#include "core/timing/timingmath.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/playerlink.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>

namespace kolvo {

FindTheGap::FindTheGap(AppContext& ctx, QWidget* summaryWindow, QWidget* parent)
    : TappingTool(ctx, summaryWindow, QStringLiteral("FindTheGap"), QStringLiteral("Find The Gap"),
                  QStringLiteral("This feature will help you find your song's gap value to within "
                                 "0.1 second. It'll still need some manual finetuning, but it'll "
                                 "be fairly close."),
                  QStringLiteral("Press Enter to load Winamp, go into standby mode and prepare to "
                                 "begin timing."),
                  QStringLiteral("Press Enter to begin playback and timing."),
                  QStringLiteral("Press Enter on the first beat of the music; alternatively, on "
                                 "the first beat after the intro."),
                  QStringLiteral("Gap is 0ms."), parent) {
    installKeyPreview(this);
}

void FindTheGap::stepOne() {
    QPointer<FindTheGap> self(this);
    if (LoadWinamp(m_ctx, this, playerLoadTimer()) != LoadWinampResult::Loaded)
        return;
    if (!self || closing())
        return;
    // Loaded and stopped: play and pause at once, so the song waits at its start.
    m_ctx.player.WinampCommand(winamp::Play);
    m_ctx.player.WinampCommand(winamp::Pause);
    setStep(2);
}

void FindTheGap::stepTwo() {
    QPointer<FindTheGap> self(this);
    if (!FindRunningWinamp(m_ctx, this))
        return;
    QCoreApplication::processEvents();
    if (!self || closing())
        return;
    m_ctx.player.WinampCommand(winamp::Play);
    m_starttime = now();
    setStep(3);
}

void FindTheGap::stepThree() {
    const qint64 elapsed = now() - m_starttime;
    // Timed against a player that has since gone, the press means nothing.
    if (!FindRunningWinamp(m_ctx, this))
        return;
    m_foundgap = QString::number(timing::gapMsFromElapsed(elapsed));
    m_ctx.player.WinampCommand(winamp::Stop);
    setStep(0);
    showResult(QStringLiteral("Gap is ") + m_foundgap + QStringLiteral("ms."));
}

void FindTheGap::acceptResult() {
    m_ctx.document.closeMerging();
    m_ctx.document.setField(SummaryField::Gap, m_foundgap);
    close();
}

} // namespace kolvo

#include "ui/timing/findbpm.h"

#include "core/song/songmodel.h"
#include "core/timing/timingmath.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace kolvo {

FindBPM::FindBPM(AppContext& ctx, QWidget* summaryWindow, QWidget* parent)
    : TappingTool(ctx, summaryWindow, QStringLiteral("FindBPM"), QStringLiteral("BPM Finder"),
                  QStringLiteral("This feature will help you find your song's BPM value to within "
                                 "1 - 2 beats. It'll still need some manual finetuning, but it'll "
                                 "be fairly close."),
                  QStringLiteral("Press Enter to start the music (and load Winamp, if needed) and "
                                 "prepare to begin timing."),
                  QStringLiteral("When the song has reached a steady BPM, press Enter to start "
                                 "timing."),
                  QStringLiteral("Now press Enter on every beat for four bars. The timing of your "
                                 "LAST beat is most important."),
                  QStringLiteral("BPM is 0."), parent) {
    // The bar: a fixed frame with a filled rectangle growing inside it.
    m_progressTrack = new QFrame(this);
    m_progressTrack->setObjectName(QStringLiteral("Shape1"));
    m_progressTrack->setFrameShape(QFrame::Box);
    m_progressTrack->setFixedSize(twipsToPixels(timing::kProgressFullTwips) + 2, 18);
    m_progressBar = new QFrame(m_progressTrack);
    m_progressBar->setObjectName(QStringLiteral("progressbar1"));
    setFill(m_progressBar, QColor(0, 0, 192));
    m_progressBar->move(1, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_progressTrack);
    row->addStretch();
    body()->addLayout(row);
    setProgress(0);
    installKeyPreview(this);
}

void FindBPM::setProgress(double twips) {
    m_progressTwips = twips;
    m_progressBar->setGeometry(1, 1, twipsToPixels(twips), 16);
    m_progressBar->setVisible(twips > 0);
}

void FindBPM::stepOne() {
    QPointer<FindBPM> self(this);
    if (LoadWinamp(m_ctx, this, playerLoadTimer()) != LoadWinampResult::Loaded)
        return;
    if (!self || closing())
        return;
    m_ctx.player.WinampCommand(winamp::Play);
    QCoreApplication::processEvents();
    if (!self || closing())
        return;
    setStep(2);
    setProgress(0);
}

void FindBPM::stepTwo() {
    QPointer<FindBPM> self(this);
    if (!FindRunningWinamp(m_ctx, this))
        return;
    QCoreApplication::processEvents();
    if (!self || closing())
        return;
    m_starttime = now();
    m_tapcount = 0;
    setStep(3);
    // The press that starts timing is also the first tap.
    stepThree();
}

void FindBPM::stepThree() {
    if (m_tapcount < timing::kBpmTaps - 1) {
        m_tapcount += 1;
        setProgress(timing::progressWidthTwips(m_tapcount));
        return;
    }
    const qint64 elapsed = now() - m_starttime;
    // Taps timed against a player that has since gone mean nothing.
    if (!FindRunningWinamp(m_ctx, this))
        return;
    setProgress(timing::kProgressFullTwips);
    m_ctx.player.WinampCommand(winamp::Stop);
    const std::optional<qint64> bpm = timing::bpmFromElapsed(elapsed);
    if (!bpm) {
        // Sixteen presses inside a hundredth of a second time nothing.
        m_ctx.boxes.show(this,
                         QStringLiteral("The presses came too close together to time a BPM. "
                                        "Please try again, one press on each beat."),
                         QStringLiteral("BPM Finder"), MsgButtons::Ok, MsgIcon::Exclamation);
        setStep(1);
        return;
    }
    m_foundbpm = QString::number(*bpm);
    setStep(0);
    showResult(QStringLiteral("BPM is ") + m_foundbpm + QStringLiteral("."));
}

void FindBPM::acceptResult() {
    m_ctx.document.closeMerging();
    m_ctx.document.setField(SummaryField::Bpm, m_foundbpm);
    close();
}

} // namespace kolvo

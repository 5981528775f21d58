// The summary window's entries that open the other windows: the timing
// tools, the update check, the folder dialogs, help, about, the music file
// notice and the tick test in the simulator. Each window is shown without
// waiting for it and sets aside (disables) this window itself where it must;
// none is a child of this window, since disabling a window disables its
// children too.
#include "ui/summary/songsummarywindow.h"

#include "ui/analysis/detecttempo.h"
#include "ui/app/aboutform.h"
#include "ui/app/checkforupdates.h"
#include "ui/app/folderdialogs.h"
#include "ui/app/infowindows.h"
#include "ui/dwi/simulatortest.h"
#include "ui/summary/clicklabel.h"
#include "ui/timing/findbpm.h"
#include "ui/timing/findthegap.h"
#include "ui/timing/synchro.h"

#include <QAction>

namespace kolvo {

void SongSummaryWindow::connectOpeners() {
    AppContext& ctx = m_ctx;
    auto onMenu = [this](QAction* a, auto open) { connect(a, &QAction::triggered, this, open); };
    auto onLabel = [this](ClickLabel* l, auto open) {
        connect(l, &ClickLabel::clicked, this, open);
    };

    auto findGap = [this, &ctx] { (new FindTheGap(ctx, this))->show(); };
    auto findBpm = [this, &ctx] { (new FindBPM(ctx, this))->show(); };
    auto sync = [this, &ctx] { (new Synchro(ctx, this))->show(); };
    auto music = [] { (new MusicInfo)->show(); };

    onMenu(m_menus.findGap, findGap);
    onLabel(m_labels.findGap, findGap);
    onMenu(m_menus.findBpm, findBpm);
    onLabel(m_labels.findBpm, findBpm);
    onMenu(m_menus.detectTempo, [this, &ctx] {
        (new DetectTempo(ctx, this, [this](SummaryField f, const QString& text) {
            commitField(f, text);
        }))->show();
    });
    onMenu(m_menus.synchro, sync);
    onLabel(m_labels.syncCheck, sync);
    onLabel(m_labels.musicInfo, music);
    onLabel(m_labels.fileTag, music);
    onLabel(m_labels.tickTest, [this, &ctx] { TickTest(ctx, this); });
    onMenu(m_menus.checkUpdates, [this, &ctx] { (new CheckForUpdates(ctx, this))->show(); });
    onMenu(m_menus.simulatorAddress, [this, &ctx] { (new DDRLocation(ctx, this))->show(); });
    onMenu(m_menus.playerAddress, [this, &ctx] { (new WinampLocation(ctx, this))->show(); });
    onMenu(m_menus.helpInfo, [this, &ctx] { (new HelpInformation(ctx, this))->show(); });
    onMenu(m_menus.about, [&ctx] { (new AboutForm(ctx))->show(); });
}

} // namespace kolvo

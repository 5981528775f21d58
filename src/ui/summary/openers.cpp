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
    auto onMenu = [this](const char* name, auto open) {
        if (QAction* a = menuAction(QLatin1String(name)))
            connect(a, &QAction::triggered, this, open);
    };
    auto onLabel = [this](const char* name, auto open) {
        if (ClickLabel* l = clickLabel(QLatin1String(name)))
            connect(l, &ClickLabel::clicked, this, open);
    };

    auto findGap = [this, &ctx] { (new FindTheGap(ctx, this))->show(); };
    auto findBpm = [this, &ctx] { (new FindBPM(ctx, this))->show(); };
    auto sync = [this, &ctx] { (new Synchro(ctx, this))->show(); };
    auto music = [] { (new MusicInfo)->show(); };

    onMenu("findgapmenu", findGap);
    onLabel("findgaplabel", findGap);
    onMenu("findbpmmenu", findBpm);
    onLabel("findbpmlabel", findBpm);
    onMenu("detecttempomenu", [this, &ctx] {
        (new DetectTempo(ctx, this, [this](SummaryField f, const QString& text) {
            commitField(f, text);
        }))->show();
    });
    onMenu("synchromenu", sync);
    onLabel("Synchroloader", sync);
    onLabel("musicinfolabel", music);
    onLabel("filetaglabel", music);
    onLabel("Label27", [this, &ctx] { TickTest(ctx, this); });
    onMenu("checkupdatesmenu", [this, &ctx] { (new CheckForUpdates(ctx, this))->show(); });
    onMenu("ddrlocationmenu", [this, &ctx] { (new DDRLocation(ctx, this))->show(); });
    onMenu("winamplocationmenu", [this, &ctx] { (new WinampLocation(ctx, this))->show(); });
    onMenu("helpinfomenu", [this, &ctx] { (new HelpInformation(ctx, this))->show(); });
    onMenu("aboutmenu", [&ctx] { (new AboutForm(ctx))->show(); });
}

} // namespace kolvo

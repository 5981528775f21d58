#include "recovery.h"

#include "document/autosave.h"
#include "document/document.h"
#include "songsummarywindow.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/messageboxes.h"
#include "ui/summary/clsopensave.h"
#include "ui/summary/filecommands.h"

namespace kolvo {

QString recoveryQuestion(const QString& hhmm) {
    return QStringLiteral("Kolvo did not close properly. Restore the song you were working on "
                          "(saved automatically at ") +
           hhmm + QStringLiteral(")?");
}

bool offerRecovery(AppContext& ctx, SongSummaryWindow& window, Autosave& autosave) {
    const auto left = autosave.leftover();
    if (!left)
        return false;
    const QString question = recoveryQuestion(left->savedAt.toString(QStringLiteral("HH:mm")));
    if (ctx.boxes.show(&window, question, QStringLiteral("Kolvo"), MsgButtons::YesNo,
                       MsgIcon::Question) == MsgAnswer::Yes) {
        autosave.setHeld(true);
        const bool read = window.fileCommands().restoreFile(left->copyPath, left->originalPath);
        autosave.setHeld(false);
        if (!read)
            return false;    // told why; the copy stays where it is for another try
        autosave.writeNow(); // the song is unsaved again from this moment
        return true;
    }
    const QString kept = autosave.setAside(*left);
    if (kept.isEmpty())
        ctx.boxes.show(
            &window,
            QStringLiteral("The recovery copy could not be moved aside. It stays at:\n") +
                left->copyPath,
            QStringLiteral("Kolvo"), MsgButtons::Ok, MsgIcon::Exclamation);
    else
        ctx.boxes.show(&window, QStringLiteral("The recovery copy was kept at:\n") + kept,
                       QStringLiteral("Kolvo"), MsgButtons::Ok, MsgIcon::Information);
    return false;
}

} // namespace kolvo

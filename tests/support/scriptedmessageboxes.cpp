#include "scriptedmessageboxes.h"

namespace kolvo {

MsgAnswer ScriptedMessageBoxes::show(QWidget*, const QString& text, const QString& title,
                                     MsgButtons buttons, MsgIcon icon) {
    shown.append({text, title, buttons, icon});
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

} // namespace kolvo

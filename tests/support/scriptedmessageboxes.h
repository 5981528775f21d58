#pragma once

#include "ui/platform/messageboxes.h"

#include <QList>
#include <QString>

namespace kolvo {

// For tests: records every box and answers from a queue. With the queue
// empty it answers Ok to an OK box and Cancel to anything else.
class ScriptedMessageBoxes : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        QString title;
        MsgButtons buttons;
        MsgIcon icon;
    };
    QList<Shown> shown;
    QList<MsgAnswer> answers;

    MsgAnswer show(QWidget* parent, const QString& text, const QString& title,
                   MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None) override;
    const Shown& last() const { return shown.last(); }
};

} // namespace kolvo

#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace kolvo {

enum class MsgIcon { None, Exclamation, Critical, Information, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// Every modal message box of the program goes through this service, so tests
// can read what was said and answer it.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(QWidget* parent, const QString& text, const QString& title,
                           MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None) = 0;
};

class QtMessageBoxes : public MessageBoxes {
  public:
    MsgAnswer show(QWidget* parent, const QString& text, const QString& title,
                   MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None) override;
};

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

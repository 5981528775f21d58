#pragma once

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

} // namespace kolvo

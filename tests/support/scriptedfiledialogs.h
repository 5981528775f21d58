#pragma once

#include "ui/platform/filedialogs.h"

#include <QList>
#include <QString>

#include <optional>

namespace kolvo {

// For tests: records each request and answers from a queue (empty queue:
// cancelled).
class ScriptedFileDialogs : public FileDialogs {
  public:
    QList<FileDialogRequest> asked;
    QList<std::optional<QString>> answers;
    std::optional<QString> ask(QWidget* parent, const FileDialogRequest& request) override;
};

} // namespace kolvo

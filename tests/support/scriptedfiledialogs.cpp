#include "scriptedfiledialogs.h"

namespace kolvo {

std::optional<QString> ScriptedFileDialogs::ask(QWidget*, const FileDialogRequest& request) {
    asked.append(request);
    if (answers.isEmpty())
        return std::nullopt;
    return answers.takeFirst();
}

} // namespace kolvo

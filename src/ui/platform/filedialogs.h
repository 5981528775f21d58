#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace kolvo {

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    // Filter pairs in the old common-dialog form: "Description|*.a;*.b|Other|*.c".
    QString filter;
    QString initialDir;
    QString fileName;
    QString defaultExt;           // appended when the user types a name without one
    bool overwritePrompt = false; // ask before replacing an existing file
    bool fileMustExist = false;   // refuse names of files that do not exist
};

// Every common file dialog goes through this service. No value means the
// user cancelled.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    virtual std::optional<QString> ask(QWidget* parent, const FileDialogRequest& request) = 0;
};

class QtFileDialogs : public FileDialogs {
  public:
    std::optional<QString> ask(QWidget* parent, const FileDialogRequest& request) override;
    // "Music File (*.wav)|*.wav" -> "Music File (*.wav) (*.wav)" etc. for Qt.
    static QString qtFilter(const QString& filter);
};

} // namespace kolvo

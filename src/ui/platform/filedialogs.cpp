#include "ui/platform/filedialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace kolvo {

QString QtFileDialogs::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        // The old descriptions already show their patterns ("Music File
        // (*.wav, *.mp3, *.ogg)"); Qt reads the patterns from the last
        // parentheses, so those are replaced by the real list, not repeated.
        QString description = parts[i].trimmed();
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open >= 0)
                description = description.left(open).trimmed();
        }
        out << description + QStringLiteral(" (") + patterns + u')';
    }
    return out.join(QStringLiteral(";;"));
}

std::optional<QString> QtFileDialogs::ask(QWidget* parent, const FileDialogRequest& r) {
    QFileDialog dlg(parent, r.title, r.initialDir, qtFilter(r.filter));
    dlg.setOption(QFileDialog::DontUseNativeDialog, false);
    if (!r.fileName.isEmpty())
        dlg.selectFile(r.fileName);
    if (!r.defaultExt.isEmpty())
        dlg.setDefaultSuffix(r.defaultExt);
    if (r.mode == FileDialogRequest::Mode::Save) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !r.overwritePrompt);
    } else {
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(r.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().first();
}

} // namespace kolvo

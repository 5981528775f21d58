#include "ui/summary/clsopensave.h"

#include "core/song/editsession.h"
#include "ui/platform/filedialogs.h"

#include <QFileInfo>

#include <optional>

namespace kolvo {

clsOpenSave::clsOpenSave(FileDialogs& dialogs, EditSession& session)
    : m_dialogs(dialogs), m_session(session) {
    setFilter(QStringLiteral("All Files (*.*)|*.*"));
}

void clsOpenSave::setFilter(const QString& v) {
    QString f = v;
    f.replace(u'|', QChar(0));
    while (!f.endsWith(QString(2, QChar(0))))
        f.append(QChar(0));
    m_filter = f;
}

QString clsOpenSave::folderOfFileName() const {
    if (m_fileTitle.size() >= m_fileName.size())
        return QString();
    return m_fileName.left(m_fileName.size() - m_fileTitle.size());
}

void clsOpenSave::ShowSave() {
    show(true);
}
void clsOpenSave::ShowOpen() {
    show(false);
}

void clsOpenSave::show(bool save) {
    FileDialogRequest r;
    r.mode = save ? FileDialogRequest::Mode::Save : FileDialogRequest::Mode::Open;
    r.title = m_dialogTitle;
    // Back from the stored NUL form to the "|" form the service takes.
    QString filter = m_filter;
    while (filter.endsWith(QChar(0)))
        filter.chop(1);
    filter.replace(QChar(0), u'|');
    r.filter = filter;
    r.initialDir = m_initDir;
    r.fileName = m_fileName;
    r.defaultExt = m_defaultExt;
    // Whatever the flags say, no save-type dialog replaces a file without
    // asking first.
    r.overwritePrompt = save;
    r.fileMustExist = !save && (m_flags & OFN_FILEMUSTEXIST);

    const std::optional<QString> chosen = m_dialogs.ask(m_hwnd, r);
    if (!chosen || chosen->trimmed().isEmpty()) {
        m_session.dialogcancelled = 1;
        return;
    }
    const QFileInfo fi(*chosen);
    m_fileName = *chosen;
    m_fileTitle = fi.fileName();
    const qsizetype dot = m_fileTitle.lastIndexOf(u'.');
    m_fileExt =
        dot < 0 ? std::int16_t(0) : std::int16_t(m_fileName.size() - m_fileTitle.size() + dot + 1);
    // InitDir stays as set: the next preparation derives it from FileName.
}

} // namespace kolvo

#include "ui/summary/filecommands.h"

#include "core/formats/builtinformats.h"
#include "core/formats/fileformat.h"
#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/messageboxes.h"
#include "ui/summary/clsopensave.h"
#include "ui/summary/importlosses.h"
#include "ui/summary/process.h"

#include "ui/platform/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace kolvo {

namespace {
const QString kTitle = QStringLiteral("Kolvo");
const QString kRecentSection = QStringLiteral("recentsongs");

QString recentKey(int n) {
    return QStringLiteral("song%1").arg(n);
}

// A message for a box: no control characters or stray bytes from a file,
// and no line longer than a box can show.
QString printable(const QString& text) {
    constexpr qsizetype kLongestLine = 160;
    QStringList lines;
    for (QString line : text.split(u'\n')) {
        for (QChar& c : line)
            if (!c.isPrint() && c != u'\t')
                c = QChar(0xFFFD);
        if (line.size() > kLongestLine)
            line = line.left(kLongestLine) + QChar(0x2026);
        lines << line;
    }
    return lines.join(u'\n');
}

// The window takes no input for as long as this lives.
class InputPause {
  public:
    explicit InputPause(QWidget* w) : m_w(w) {
        if (m_w)
            m_w->setEnabled(false);
    }
    ~InputPause() { resume(); }
    void resume() {
        if (m_w)
            m_w->setEnabled(true);
        m_w = nullptr;
    }
    InputPause(const InputPause&) = delete;
    InputPause& operator=(const InputPause&) = delete;

  private:
    QWidget* m_w;
};
} // namespace

FileCommands::FileCommands(AppContext& ctx, QWidget* window)
    : QObject(window), m_ctx(ctx), m_window(window) {}

FileCommands::~FileCommands() = default;

QString FileCommands::saveQuestion() {
    return QStringLiteral("Do you want to save your current stepfile?");
}

QString FileCommands::saveFirstQuestion(const FileFormat& format) {
    // A step file can be imported again, but not everything comes back
    // (foot levels that are not numbers, text the simulators read as tags).
    return QStringLiteral("A %1 file does not keep everything in your stepfile; do you want to "
                          "save your stepfile as a Kolvo file before exporting?")
        .arg(format.displayName());
}

clsOpenSave& FileCommands::dialog() {
    if (!m_dialog) {
        m_dialog = std::make_unique<clsOpenSave>(m_ctx.dialogs, m_ctx.session);
        m_dialog->setHwnd(m_window);
    }
    return *m_dialog;
}

FileCommands::Answer FileCommands::askSave() {
    switch (m_ctx.boxes.show(m_window, saveQuestion(), kTitle, MsgButtons::YesNoCancel,
                             MsgIcon::Question)) {
    case MsgAnswer::Yes:
        return Answer::Yes;
    case MsgAnswer::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void FileCommands::prepareDialog(const QString& defaultExt, const QString& filter, int flags) {
    clsOpenSave& d = dialog();
    d.setDefaultExt(defaultExt);
    if (!d.FileName().isEmpty())
        d.setInitDir(d.folderOfFileName());
    d.setFileName(QString());
    d.setFilter(filter);
    d.setFlags(flags);
}

void FileCommands::newmenu() {
    if (!mayClose()) { // the song stays: the question was cancelled or the save failed
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    m_ctx.document.newSong();
}

void FileCommands::openmenu() {
    m_ctx.session.dialogcancelled = 0;
    if (!mayClose()) { // the song stays: the question was cancelled or the save failed
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    // Nothing is reset before a file is chosen: a cancelled dialog leaves the
    // song as it was (openFile starts from the reset state).
    prepareDialog(kolvoFormat().extensions().first(), readFilterFor(ReadFor::Open),
                  clsOpenSave::OFN_FILEMUSTEXIST);
    dialog().ShowOpen();
    if (m_ctx.session.dialogcancelled == 1) {
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    openFile(dialog().FileName());
}

void FileCommands::importmenu() {
    m_ctx.session.dialogcancelled = 0;
    if (!mayClose()) { // the song stays: the question was cancelled or the save failed
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    // Unlike Open, nothing is reset before the file is chosen and read: a
    // cancelled dialog or a refused file leaves the song as it was.
    prepareDialog(QString(), readFilterFor(ReadFor::Import), clsOpenSave::OFN_FILEMUSTEXIST);
    dialog().ShowOpen();
    if (m_ctx.session.dialogcancelled == 1) {
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    importFile(dialog().FileName());
}

bool FileCommands::importFile(const QString& path) {
    ReadResult r;
    {
        InputPause pause(m_window);
        r = readSongFile(path, ReadFor::Import);
    }
    if (!r.ok()) {
        reportFailure(QStringLiteral("Kolvo could not import this file."), *r.error);
        return false;
    }
    if (!r.losses.isEmpty()) {
        ImportLosses losses(path, r.losses, m_window);
        losses.exec();
    }
    // No work-file path comes with it: the next Save asks, starting in the
    // imported file's folder (the dialog remembers that file).
    m_ctx.document.loadSong(*r.song, QString());
    remember(path);
    return true;
}

bool FileCommands::openFile(const QString& path, bool recent) {
    ReadResult r;
    {
        InputPause pause(m_window);
        r = readSongFile(path, ReadFor::Open);
    }
    if (!r.ok()) {
        // As before a work file is read: the song is the reset one.
        m_ctx.document.newSong();
        reportFailure(QStringLiteral("Kolvo could not open this file."), *r.error);
        return false;
    }
    m_ctx.document.loadSong(*r.song, path);
    if (recent)
        remember(path);
    return true;
}

bool FileCommands::restoreFile(const QString& copyPath, const QString& originalPath) {
    ReadResult r;
    {
        InputPause pause(m_window);
        r = readSongFile(copyPath, kolvoFormat());
    }
    if (!r.ok()) {
        reportFailure(QStringLiteral("Kolvo could not open this file."), *r.error);
        return false;
    }
    m_ctx.document.restoreSong(*r.song, originalPath);
    // The next Save starts in the work file's folder with its name.
    if (!originalPath.isEmpty())
        startDialogsAt(originalPath);
    return true;
}

void FileCommands::reportFailure(const QString& what, const FileError& error) {
    m_ctx.boxes.show(m_window, what + QStringLiteral("\n\n") + printable(error.message()), kTitle,
                     MsgButtons::Ok, MsgIcon::Critical);
}

QStringList FileCommands::recentSongs() {
    QStringList out;
    for (int n = 1; n <= kRecentSongs; ++n) {
        const QString path = ReadSetting(kRecentSection, recentKey(n), QString());
        if (!path.isEmpty() && !out.contains(path))
            out << path;
    }
    return out;
}

void FileCommands::startDialogsAt(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    clsOpenSave& d = dialog();
    d.setFileName(full);
    d.setFileTitle(QFileInfo(full).fileName());
}

void FileCommands::remember(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    startDialogsAt(full);
    QStringList list = recentSongs();
    list.removeAll(full);
    list.prepend(full);
    for (int n = 1; n <= kRecentSongs; ++n)
        WriteSetting(kRecentSection, recentKey(n), n <= list.size() ? list[n - 1] : QString());
    emit recentChanged();
}

bool FileCommands::openAnyFile(const QString& path) {
    QByteArray head;
    {
        QFile f(path);
        if (QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly))
            head = f.read(4096);
    }
    if (const FileFormat* format = formatForReading(path, head)) {
        if (format->isWorkFile())
            return openFile(path);
        return importFile(path);
    }
    QStringList extensions;
    for (const FileFormat* f : fileFormats())
        if (f->canImport())
            for (const QString& e : f->extensions())
                extensions << u'.' + e;
    m_ctx.boxes.show(m_window,
                     QStringLiteral("Kolvo cannot open \"%1\": it is neither a Kolvo work file "
                                    "(.%2) nor a step file (%3).")
                         .arg(printable(QFileInfo(path).fileName()),
                              kolvoFormat().extensions().first(),
                              extensions.join(QStringLiteral(", "))),
                     kTitle, MsgButtons::Ok, MsgIcon::Critical);
    return false;
}

void FileCommands::openRecent(const QString& path) {
    m_ctx.session.dialogcancelled = 0;
    if (!mayClose()) { // the song stays: the question was cancelled or the save failed
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    openAnyFile(path);
}

void FileCommands::savemenu() {
    m_ctx.session.dialogcancelled = 0;
    prepareDialog(kolvoFormat().extensions().first(), kolvoFormat().writeFilter(),
                  clsOpenSave::OFN_OVERWRITEPROMPT);
    dialog().ShowSave();
    if (m_ctx.session.dialogcancelled == 1)
        return; // nothing is written; the caller sees the 1
    saveFile(dialog().FileName());
}

bool FileCommands::saveFile(const QString& path) {
    std::optional<FileError> err;
    {
        InputPause pause(m_window);
        Process process;
        m_process = &process;
        process.show();
        // Let the window appear before the work starts.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        err = writeSongFile(kolvoFormat(), path, m_ctx.document.song(), [this](int chartsDone) {
            m_process->setChartsDone(chartsDone);
            emit chartWritten(chartsDone);
        });
        m_process = nullptr;
    }
    if (err) {
        m_ctx.session.dialogcancelled = 1; // a failed save stops New, Open and closing
        reportFailure(QStringLiteral("Kolvo could not save your stepfile."), *err);
        return false;
    }
    m_ctx.document.markSaved(path);
    remember(path);
    return true;
}

void FileCommands::exportmenu(const FileFormat& format) {
    const SongModel& m = m_ctx.document.song();
    m_ctx.session.dialogcancelled = 0;
    // Some text is written as typed though the simulators read it
    // differently; the user hears first what they will make of it.
    if (const std::optional<QString> misread = format.misreadWarning(m))
        if (m_ctx.boxes.show(m_window, *misread + QStringLiteral("\n\nExport anyway?"), kTitle,
                             MsgButtons::OkCancel, MsgIcon::Exclamation) != MsgAnswer::Ok)
            return;
    // Everything the format cannot carry, in one list, before anything is
    // written.
    if (const std::optional<QString> missing = cannotCarryWarning(format, m))
        if (m_ctx.boxes.show(m_window, *missing + QStringLiteral("\n\nExport anyway?"), kTitle,
                             MsgButtons::OkCancel, MsgIcon::Exclamation) != MsgAnswer::Ok)
            return;
    if (m_ctx.boxes.show(m_window, saveFirstQuestion(format), QStringLiteral("Warning"),
                         MsgButtons::YesNo, MsgIcon::None) == MsgAnswer::Yes)
        savemenu();
    if (m_ctx.session.dialogcancelled == 1) {
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    clsOpenSave& d = dialog();
    d.setDefaultExt(format.extensions().first());
    d.setInitDir(d.folderOfFileName());
    d.setFileName(QString());
    d.setFilter(format.writeFilter());
    d.setFlags(clsOpenSave::OFN_OVERWRITEPROMPT);
    d.ShowSave();
    if (m_ctx.session.dialogcancelled == 1) {
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    InputPause pause(m_window);
    const std::optional<FileError> err = writeSongFile(format, d.FileName(), m);
    // The box is modal; the window is enabled again so the box is not
    // disabled along with it.
    pause.resume();
    if (err) {
        reportFailure(
            QStringLiteral("Kolvo could not export the %1 file.").arg(format.displayName()), *err);
        return;
    }
    m_ctx.boxes.show(m_window, QStringLiteral("%1 export complete!").arg(format.displayName()),
                     kTitle, MsgButtons::Ok, MsgIcon::None);
}

bool FileCommands::mayClose() {
    switch (askSave()) {
    case Answer::Yes:
        savemenu();
        if (m_ctx.session.dialogcancelled == 1) {
            m_ctx.session.dialogcancelled = 0;
            return false;
        }
        return true;
    case Answer::No:
        return true;
    case Answer::Cancel:
        return false;
    }
    return false;
}

} // namespace kolvo

#include "filecommands.h"

#include "clsopensave.h"
#include "dwi/dwiwriter.h"
#include "files/kolvofile.h"
#include "model/songmodel.h"
#include "platform/appcontext.h"
#include "platform/messageboxes.h"
#include "process.h"

#include <QCoreApplication>
#include <QWidget>

namespace kolvo {

namespace {
const QString kTitle = QStringLiteral("Kolvo");
const QString kSaveFilter = QStringLiteral("Kolvo Work In Progress (*.kolvo)|*.kolvo");
const QString kOpenFilter = QStringLiteral("Kolvo Work In Progress File (*.kolvo)|*.kolvo");
const QString kDwiFilter = QStringLiteral("Dance With Intensity Datafile (*.dwi)|*.dwi");

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

QString FileCommands::exportWarning() {
    return QStringLiteral("Kolvo cannot currently import DWI files; do you want to save your "
                          "stepfile as an Kolvo file before exporting?");
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
    SongModel& m = m_ctx.model;
    switch (askSave()) {
    case Answer::Yes:
        savemenu();
        if (m_ctx.session.dialogcancelled == 1) {
            m_ctx.session.dialogcancelled = 0;
            return;
        }
        m.resetparameters();
        m_ctx.document.startFresh();
        return;
    case Answer::No:
        m.resetparameters();
        m_ctx.document.startFresh();
        return;
    case Answer::Cancel:
        m_ctx.session.dialogcancelled = 0;
        return;
    }
}

void FileCommands::openmenu() {
    SongModel& m = m_ctx.model;
    m_ctx.session.dialogcancelled = 0;
    switch (askSave()) {
    case Answer::Yes:
        savemenu();
        if (m_ctx.session.dialogcancelled == 1) {
            m_ctx.session.dialogcancelled = 0;
            return;
        }
        break;
    case Answer::Cancel:
        m_ctx.session.dialogcancelled = 0;
        return;
    case Answer::No:
        break;
    }
    // Emptied before the file is chosen: cancelling the dialog leaves a new song.
    m.resetparameters();
    m_ctx.document.startFresh();
    prepareDialog(QStringLiteral("kolvo"), kOpenFilter, clsOpenSave::OFN_FILEMUSTEXIST);
    dialog().ShowOpen();
    if (m_ctx.session.dialogcancelled == 1) {
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    openFile(dialog().FileName());
}

bool FileCommands::openFile(const QString& path) {
    SongModel& m = m_ctx.model;
    m.resetparameters();
    std::optional<FileError> err;
    {
        InputPause pause(m_window);
        err = readKolvoFile(path, m);
    }
    m_ctx.document.startFresh();
    if (!err)
        m_ctx.document.setFilePath(path);
    emit fileLoaded();
    if (err) {
        reportFailure(QStringLiteral("Kolvo could not open this file."), *err);
        return false;
    }
    return true;
}

void FileCommands::reportFailure(const QString& what, const FileError& error) {
    m_ctx.boxes.show(m_window, what + QStringLiteral("\n\n") + error.message(), kTitle,
                     MsgButtons::Ok, MsgIcon::Critical);
}

void FileCommands::savemenu() {
    m_ctx.session.dialogcancelled = 0;
    prepareDialog(QStringLiteral("kolvo"), kSaveFilter, clsOpenSave::OFN_OVERWRITEPROMPT);
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
        err = writeKolvoFile(path, m_ctx.model, [this](int chartsDone) {
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
    return true;
}

void FileCommands::dwimenu() {
    const SongModel& m = m_ctx.model;
    m_ctx.session.dialogcancelled = 0;
    if (m_ctx.boxes.show(m_window, exportWarning(), QStringLiteral("Warning"), MsgButtons::YesNo,
                         MsgIcon::None) == MsgAnswer::Yes)
        savemenu();
    if (m_ctx.session.dialogcancelled == 1) {
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    clsOpenSave& d = dialog();
    d.setDefaultExt(QStringLiteral("dwi"));
    d.setInitDir(d.folderOfFileName());
    d.setFileName(QString());
    d.setFilter(kDwiFilter);
    d.setFlags(0); // an existing .dwi is replaced without a question
    d.ShowSave();
    if (m_ctx.session.dialogcancelled == 1) {
        m_ctx.session.dialogcancelled = 0;
        return;
    }
    InputPause pause(m_window);
    const std::optional<FileError> err = WriteDwiFile(m, d.FileName(), DwiMode::Export);
    // The box is modal; the window is enabled again so the box is not
    // disabled along with it.
    pause.resume();
    if (err) {
        reportFailure(QStringLiteral("Kolvo could not export the DWI file."), *err);
        return;
    }
    m_ctx.boxes.show(m_window, QStringLiteral("DWI export complete!"), kTitle, MsgButtons::Ok,
                     MsgIcon::None);
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

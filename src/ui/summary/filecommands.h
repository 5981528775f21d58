#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace kolvo {

struct AppContext;
struct FileError;
class FileFormat;
class clsOpenSave;
class Process;

// The File menu of the summary window: New, Open, Save, Export and the
// question asked before the window closes. Every dialog goes through the one
// clsOpenSave the window owns, and the window takes no input while a file is
// read or written.
class FileCommands : public QObject {
    Q_OBJECT
  public:
    // `window` is the summary window: owner of the dialogs and message boxes,
    // disabled while a file operation runs.
    FileCommands(AppContext& ctx, QWidget* window);
    ~FileCommands() override;

    // The shared file dialog wrapper, created on first use.
    clsOpenSave& dialog();

    void newmenu();
    void openmenu();
    void savemenu();
    // File > Import Step File: the save question, a .dwi/.sm/.ssc file, the
    // list of what the song cannot hold (when anything), then the song.
    void importmenu();
    // File > Export to ...: the warnings about text the format's readers
    // take differently and about what the format cannot carry, the
    // save-first question, the dialog, the write, and the completion or
    // failure message.
    void exportmenu(const FileFormat& format);
    // The save question of the close box and File > Exit: true when the
    // window may close (No, or Yes with a completed save).
    bool mayClose();

    // Reads the work file at `path` as the song (Open after its dialog; also
    // used for a file named on the command line). False, after telling the
    // user why, when the file could not be read: the song is then the reset
    // one. With `recent` false the file is not remembered.
    bool openFile(const QString& path, bool recent = true);
    // Puts back the recovery copy at `copyPath` as an unsaved song that is
    // saved to `originalPath` next ("" for none). False, after telling the
    // user why, when the copy could not be read: the song stays as it was.
    bool restoreFile(const QString& copyPath, const QString& originalPath);
    // The next file dialog starts in the folder of `path`, with its name.
    void startDialogsAt(const QString& path);
    // Replaces the song with the step file at `path`. A file that cannot be
    // read is told to the user and leaves the song exactly as it was.
    bool importFile(const QString& path);
    // A song named outside the File menu's dialogs (the command line, File >
    // Recent Songs): a work file is opened, a step file imported, anything
    // else refused with a short message. False when nothing was read.
    bool openAnyFile(const QString& path);
    // File > Recent Songs: the save question, then openAnyFile.
    void openRecent(const QString& path);
    // The work files and step files last opened, imported or saved, newest
    // first (at most kRecentSongs), as kept in the settings.
    static constexpr int kRecentSongs = 10;
    static QStringList recentSongs();
    // Writes the song to `path` with the progress window. A failure is told
    // to the user and counts as a cancelled save (dialogcancelled := 1).
    bool saveFile(const QString& path);

    // The progress window while a work file is being written, else null.
    Process* progressWindow() const { return m_process; }

    static QString saveQuestion();
    // Asked before an export: save as a work file first?
    static QString saveFirstQuestion(const FileFormat& format);

  signals:
    // One more chart of a work file written (1..16), after the progress
    // window was redrawn.
    void chartWritten(int chartsDone);
    // The list of recent songs changed.
    void recentChanged();

  private:
    // A song file now open (read, imported or saved): the next dialog starts
    // in its folder, and it heads the recent songs.
    void remember(const QString& path);
    // A file operation that failed: what failed, then the reason.
    void reportFailure(const QString& what, const FileError& error);
    enum class Answer { Yes, No, Cancel };
    Answer askSave();
    void prepareDialog(const QString& defaultExt, const QString& filter, int flags);

    AppContext& m_ctx;
    QWidget* m_window;
    std::unique_ptr<clsOpenSave> m_dialog;
    Process* m_process = nullptr;
};

} // namespace kolvo

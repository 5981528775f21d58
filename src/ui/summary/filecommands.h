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
    void dwimenu();
    // File > Export to StepMania: as Export to DWI, to a .sm file.
    void smmenu();
    // The save question of the close box and File > Exit: true when the
    // window may close (No, or Yes with a completed save).
    bool mayClose();

    // Puts the song back to its reset state and reads `path` into it (Open
    // after its dialog; also used for a file named on the command line).
    // False, after telling the user why, when the file could not be read.
    // With `recent` false (a recovery copy) the file is not remembered as
    // the song's file.
    bool openFile(const QString& path, bool recent = true);
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
    // The dialog filter of the import: all step files, each format, all files.
    static QString importFilter();
    // Writes the song to `path` with the progress window. A failure is told
    // to the user and counts as a cancelled save (dialogcancelled := 1).
    bool saveFile(const QString& path);

    // The progress window while a work file is being written, else null.
    Process* progressWindow() const { return m_process; }

    static QString saveQuestion();
    static QString exportWarning();
    static QString smExportWarning();

  signals:
    // A work file has been read (or failed to read) into the model; the
    // chart buttons need refreshing.
    void fileLoaded();
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
    // An export: the warning about text the format's readers take
    // differently, the save-first question, the dialog, the write, and the
    // completion or failure message.
    void exportSong(const FileFormat& format, const QString& saveFirst, const QString& done,
                    const QString& failed);

    AppContext& m_ctx;
    QWidget* m_window;
    std::unique_ptr<clsOpenSave> m_dialog;
    Process* m_process = nullptr;
};

} // namespace kolvo

#pragma once

#include "core/files/kolvofile.h"
#include "core/files/regularfile.h"
#include "core/import/stepimport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kolvo {

class SongModel;

// What reading a file gave: a fresh song, or why there is none. `losses`
// lists what the file held that a song of this program cannot, each with
// its place; empty for the program's own files.
struct ReadResult {
    std::unique_ptr<SongModel> song;
    std::optional<FileError> error;
    QList<ImportLoss> losses;

    bool ok() const { return song != nullptr && !error; }
};

// The File menu's entry that exports in a format.
struct ExportCommand {
    QString caption;    // "&Export to DWI..."
    QString objectName; // "dwimenu"
    QString shortcut;   // "Ctrl+D" (QKeySequence text); empty for none
};

// One file format the program reads or writes: one entry of the list every
// command works from (Open and Save take the work file, Import every other
// format that reads, each format that writes has its export). Readers fill
// a fresh song, so a refused file can never touch the song in the window;
// writers turn a song into the file's bytes, leaving the disk to the caller.
class FileFormat {
  public:
    // IsWorkFile: the program's own file, opened and saved rather than
    // imported and exported.
    enum Capability { CanRead = 1, CanWrite = 2, IsWorkFile = 4 };

    virtual ~FileFormat();

    // Short lower-case name used on the command line ("kolvo", "dwi").
    virtual QString shortName() const = 0;
    // File name extensions without the dot, the first one the default.
    virtual QStringList extensions() const = 0;
    virtual int capabilities() const = 0;
    // The format's name in messages ("DWI", "StepMania").
    virtual QString displayName() const = 0;
    // The export's menu entry; none for a format without one.
    virtual std::optional<ExportCommand> exportCommand() const { return std::nullopt; }
    // Dialog filters in the "Description (*.ext)|*.ext" form; empty when the
    // format cannot be read (or written).
    virtual QString readFilter() const { return QString(); }
    virtual QString writeFilter() const { return QString(); }

    // Whether the first bytes of a file say it is of this format. Formats
    // that cannot tell from the content are recognised by extension only.
    virtual bool recognisesContent(const QByteArray& head) const;

    // `name` is the file's path, used in errors and for files the song
    // refers to relative to it.
    virtual ReadResult read(const QByteArray& bytes, const QString& name) const;
    // Reads the file at `path` (a regular file of at most kMaxSongFileSize
    // bytes); by default the whole file, then read().
    virtual ReadResult readFile(const QString& path) const;

    // Why this song cannot be written in this format so that it reads back
    // the same (naming the value), or nothing.
    virtual std::optional<QString> unwritableValue(const SongModel& song) const;
    // A warning for values the format writes as typed but its readers take
    // differently (a ";" in a title ends the tag), or nothing. Export goes on
    // after it when the user agrees.
    virtual std::optional<QString> misreadWarning(const SongModel& song) const;
    // What this song holds that the format cannot carry, one line each
    // ("Single Edit (Mine): its own timing"), or none. Export goes on after
    // it when the user agrees; the file then reads back without these.
    virtual QStringList cannotCarry(const SongModel& song) const;
    // The whole file. Call unwritableValue first. `progress` is called
    // after each chart written, with the count so far (1..16), where the
    // format writes chart by chart.
    virtual QByteArray write(const SongModel& song,
                             const std::function<void(int chartsDone)>& progress = {}) const;

    bool canRead() const { return capabilities() & CanRead; }
    bool canWrite() const { return capabilities() & CanWrite; }
    bool isWorkFile() const { return capabilities() & IsWorkFile; }
    // Import reads it; an export writes it.
    bool canImport() const { return canRead() && !isWorkFile(); }
    bool canExport() const { return canWrite() && !isWorkFile(); }
    bool hasExtension(const QString& path) const;
};

// One warning listing what the format cannot carry for the song, or nothing.
std::optional<QString> cannotCarryWarning(const FileFormat& format, const SongModel& song);

// Every format the program knows, the work file first.
const std::vector<const FileFormat*>& fileFormats();

// The format of that short name, or nullptr.
const FileFormat* formatNamed(const QString& shortName);
// Which formats a command reads: any, the work file (Open), or the others
// (Import).
enum class ReadFor { Any, Open, Import };

// The readable format of a file: by its content where exactly one format
// recognises it, else by its extension; nullptr when neither tells.
const FileFormat* formatForReading(const QString& path, const QByteArray& head,
                                   ReadFor purpose = ReadFor::Any);
// The writable format a path's extension names, or nullptr.
const FileFormat* formatForWriting(const QString& path);

// Reads a whole file for a format's reader: only regular files, at most
// kMaxSongFileSize bytes. On failure returns the error (named with the path).
std::optional<FileError> readWholeFile(const QString& path, QByteArray& bytes);

// Reads a file with `format`.
ReadResult readSongFile(const QString& path, const FileFormat& format);
// Reads a file with the format among those `purpose` allows that fits it
// (see formatForReading).
ReadResult readSongFile(const QString& path, ReadFor purpose = ReadFor::Any);
// The dialog filter of the formats `purpose` reads: with more than one, all
// of them first ("Step files (*.dwi *.sm)|*.dwi;*.sm"), then each format,
// then all files.
QString readFilterFor(ReadFor purpose);
// The formats that export, in menu order.
std::vector<const FileFormat*> exportFormats();
// Writes a song through the atomic writer in the given format.
std::optional<FileError> writeSongFile(const FileFormat& format, const QString& path,
                                       const SongModel& song,
                                       const std::function<void(int chartsDone)>& progress = {});

} // namespace kolvo

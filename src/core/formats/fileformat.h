#pragma once

#include "core/files/kolvofile.h"

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
// lists what the file held that a song of this program cannot (one line
// each, already worded for the user); empty for the program's own files.
struct ReadResult {
    std::unique_ptr<SongModel> song;
    std::optional<FileError> error;
    QStringList losses;

    bool ok() const { return song != nullptr && !error; }
};

// One file format the program reads or writes. Readers fill a fresh song,
// so a refused file can never touch the song in the window; writers turn a
// song into the file's bytes, leaving the disk to the caller.
class FileFormat {
  public:
    enum Capability { CanRead = 1, CanWrite = 2 };

    virtual ~FileFormat();

    // Short lower-case name used on the command line ("kolvo", "dwi").
    virtual QString shortName() const = 0;
    // File name extensions without the dot, the first one the default.
    virtual QStringList extensions() const = 0;
    virtual int capabilities() const = 0;
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
    bool hasExtension(const QString& path) const;
};

// One warning listing what the format cannot carry for the song, or nothing.
std::optional<QString> cannotCarryWarning(const FileFormat& format, const SongModel& song);

// Every format the program knows, the work file first.
const std::vector<const FileFormat*>& fileFormats();

// The format of that short name, or nullptr.
const FileFormat* formatNamed(const QString& shortName);
// The readable format of a file: by its content where exactly one format
// recognises it, else by its extension; nullptr when neither tells.
const FileFormat* formatForReading(const QString& path, const QByteArray& head);
// The writable format a path's extension names, or nullptr.
const FileFormat* formatForWriting(const QString& path);

// Reads a whole file for a format's reader: only regular files, at most
// `limit` bytes. On failure returns the error (named with the path).
std::optional<FileError> readWholeFile(const QString& path, qint64 limit, QByteArray& bytes);

// Reads a file with the format that fits it (see formatForReading).
ReadResult readSongFile(const QString& path);
// Writes a song through the atomic writer in the given format.
std::optional<FileError> writeSongFile(const FileFormat& format, const QString& path,
                                       const SongModel& song,
                                       const std::function<void(int chartsDone)>& progress = {});

} // namespace kolvo

#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>

namespace kolvo {

class SongModel;

// Why a song file could not be read or written.
struct FileError {
    QString file;   // the path as given
    int line = 0;   // 1-based line of the offending field; 0 when none applies
    QString reason; // what is wrong, e.g. "arrow value 7 is not 0, 1 or 2"

    // "song.kolvo:12: arrow value 7 is not 0, 1 or 2", or "song.kolvo: reason"
    // when there is no line; the file is named as given.
    QString message() const;
};

// Reads a work file (keyed or legacy layout) into the model, as Open does
// after resetting it. The model must be in its reset state; on any error it
// is left exactly so (nothing is stored until the whole file has read).
std::optional<FileError> readKolvoFile(const QString& path, SongModel& model);

// Same, from bytes already in memory; `name` is used in the error.
std::optional<FileError> readKolvoData(const QByteArray& data, const QString& name,
                                       SongModel& model);

// Reads a work file as readKolvoFile does and keeps nothing: the same
// refusals, reasons and line numbers, without the cost of a song.
std::optional<FileError> checkKolvoFile(const QString& path);
std::optional<FileError> checkKolvoData(const QByteArray& data, const QString& name);

// How much of a file is read at a time (a multi-byte character may straddle
// two pieces).
inline constexpr std::size_t kKolvoReadPiece = 256 * 1024;

// The keyed layout of the model, UTF-8 with CR LF. A text value holding a
// double quote cannot be written (the format has no escape): check first.
QByteArray kolvoFileText(const SongModel& model,
                         const std::function<void(int chartsDone)>& progress = {});

// Why the model cannot be written as a work file that reads back the same
// (a text holding a double quote, naming the field as the summary window
// shows it and saying what to change), or nothing.
std::optional<QString> unwritableKolvoField(const SongModel& model);

// Writes the keyed layout through a temporary file that replaces `path` only
// when complete. Refuses a text holding a double quote before anything is
// written. `progress` is called after each of the 16 charts (1..16).
std::optional<FileError> writeKolvoFile(const QString& path, const SongModel& model,
                                        const std::function<void(int chartsDone)>& progress = {});

} // namespace kolvo

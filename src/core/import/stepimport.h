#pragma once

#include "core/files/kolvofile.h"
#include "core/files/regularfile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace kolvo {

class SongModel;

// The step files of the simulators that a song can be imported from.
enum class StepFormat { Dwi, Sm, Ssc };

// "DWI", "SM", "SSC".
QString stepFormatName(StepFormat format);
// "dwi", "sm", "ssc".
QString stepFormatExtension(StepFormat format);

// Something in an imported file that the song cannot hold, and where.
struct ImportLoss {
    QString chart; // "Double Maniac"; empty for the song as a whole
    int bar = 0;   // 1-based; 0 when no place applies
    int beat = 0;  // 1..4 within the bar; 0 when only the bar applies
    QString text;  // "a 24th note moved to the nearest 32nd row"

    // "Double Maniac, bar 12 beat 3", "bar 5", "Single Basic" or "".
    QString place() const;
    // "Double Maniac, bar 12 beat 3: a 24th note moved to the nearest 32nd row".
    QString line() const;
    bool operator==(const ImportLoss& o) const = default;
};

// Losses of one kind with every place they happened, in file order.
struct ImportLossGroup {
    QString text;
    QStringList places; // one per loss; "" where a loss has no place
};
QList<ImportLossGroup> groupImportLosses(const QList<ImportLoss>& losses);
// The losses as lines of text, one per loss.
QStringList importLossLines(const QList<ImportLoss>& losses);
// The grouped list as shown to the user: "text (N)" then the places, indented.
QString importLossReport(const QList<ImportLoss>& losses);

struct ImportResult {
    // The song read from the file, in the state New leaves a song in and
    // then filled; null when the file was refused.
    std::unique_ptr<SongModel> song;
    // Why the file was refused (file as given, line, reason).
    std::optional<FileError> error;
    StepFormat format = StepFormat::Dwi;
    QList<ImportLoss> losses;

    bool ok() const { return song != nullptr; }
};

// Which format the bytes are: by their tags where they say it unambiguously
// (SSC's #NOTEDATA or #VERSION, SM's #NOTES, DWI's chart and #GAP tags),
// else by the extension of `path`; nothing when neither tells.
std::optional<StepFormat> detectStepFormat(const QByteArray& bytes, const QString& path);

// Reads a step file from bytes already in memory; `path` names the file in
// errors and is the folder the music file name is resolved against.
ImportResult importStepFile(const QByteArray& bytes, const QString& path, StepFormat format);
// The same, with the format found by detectStepFormat.
ImportResult importStepFile(const QByteArray& bytes, const QString& path);

// Reads the file at `path` (a regular file of at most 64 MiB) and imports it.
ImportResult importStepFileAt(const QString& path);

// Files larger than this are refused unread: the one limit of every reader.
constexpr qint64 kMaxStepFileSize = kMaxSongFileSize;

} // namespace kolvo

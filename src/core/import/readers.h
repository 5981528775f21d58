#pragma once

// The three readers behind importStepFile. Each fills a song that New has
// just reset, lists what it could not hold, and returns why it refused the
// file (nothing stored counts then: the caller drops the song).
#include "core/import/msdtags.h"
#include "core/import/stepimport.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kolvo {

class SongModel;

struct ReadError {
    int line = 0;
    QString reason;
};

struct ReadInput {
    const QByteArray& bytes; // the file without a byte-order mark
    const MsdTags& tags;
    const QString& path;
};

std::optional<ReadError> readDwi(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses);
std::optional<ReadError> readSm(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses);
std::optional<ReadError> readSsc(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses);

// Helpers the readers share.
QString musicPath(const QString& stepFile, const QString& name);
// "abc" as shown in a message: printable, cut after 40 characters.
QString quoted(const QByteArray& value);
// The tag's name as the readers compare it (upper case).
QByteArray tagName(const MsdTags& tags, const MsdTag& tag);
// Everything after the tag's name as read, parameters joined by ":".
QByteArray tagValue(const MsdTags& tags, const MsdTag& tag);
// Pieces of a "a=b,c=d" list: split at `sep`, empty (or blank) pieces left out.
QList<QByteArray> listPieces(const QByteArray& value, char sep);

} // namespace kolvo

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The extended work-file layout: everything a song can hold (charts of any
// length at 192 rows a bar, every note kind, Beginner, Edit and other games'
// charts, timing at any row and per chart, any text). Its first line reads,
// to the original layout's reader, as a legacy file whose "Mark as new"
// value is the words "needs a newer version of Kolvo", so older copies of
// the program refuse it with those words rather than misreading it.
namespace kolvo {

class SongModel;

inline constexpr int kExtendedLayoutVersion = 1;

QByteArray extendedKolvoText(const SongModel& model);

// Whether the bytes start with the extended layout's first field.
bool isExtendedKolvo(QByteArrayView data);

struct ExtendedReadFailure {
    int line = 0;
    QString reason;
};
// Reads the extended layout into the model (replacing the whole song), or
// only checks it when there is no model. On a failure the model is untouched.
std::optional<ExtendedReadFailure> readExtendedKolvo(QByteArrayView data, SongModel* model);

} // namespace kolvo

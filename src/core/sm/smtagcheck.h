#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace kolvo {

class SongModel;

// A header value that holds text a reader takes as the end of a tag or of a
// value: the field as the summary window labels it, and what was found.
struct TagSplitFinding {
    QString field;    // "Name of song", "#FILE tag", ...
    QString splitter; // ":", "//", ...
};

// What splits a tag of a .sm file: ":" starts the next value, ";" ends the
// tag, "//" starts a comment that runs to the end of the line, and "\"
// makes the character after it plain text.
QStringList smTagSplitters();

// The text header values (song name, artist, genre, CD picture, file tag)
// that hold any of `splitters`, each with the first splitter of the list
// that it holds, in the order the summary window shows the fields.
std::vector<TagSplitFinding> findTagSplits(const SongModel& model, const QStringList& splitters);

// The warning shown before a .sm export writes such values as typed; the
// question to export anyway is left to the caller.
QString smTagSplitWarning(const std::vector<TagSplitFinding>& findings);

} // namespace kolvo

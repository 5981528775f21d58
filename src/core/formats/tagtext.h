#pragma once

#include "core/song/songmodel.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kolvo {

// A summary text written into a tag of a "#TAG:value;" file that holds a
// character sequence the simulators read as part of the tag syntax.
struct TagTextProblem {
    SummaryField field;
    QString splitter; // the sequence found first in the text, e.g. ";"
};

// The fields of `fields` whose text holds one of `splitters`, in the order of
// `fields`; each field is named once, with the splitter that comes first in
// its text.
QList<TagTextProblem> tagTextProblems(const SongModel& model, const QList<SummaryField>& fields,
                                      const QStringList& splitters);

// What ends or splits a DWI tag: ":" starts the next part of the tag, ";"
// ends it, "//" starts a comment that runs to the end of the line. DWI files
// are read without escapes, so "\" is plain text there.
const QStringList& dwiTagSplitters();
// What ends or splits an .sm tag: the same, and "\" too, which makes the
// character after it plain text.
const QStringList& smTagSplitters();
// The summary texts the DWI and .sm exports write into tags.
const QList<SummaryField>& dwiTagFields();
// The problems of the song's DWI export, or none.
QList<TagTextProblem> dwiTagTextProblems(const SongModel& model);
// The problems of the song's .sm export, or none.
QList<TagTextProblem> smTagTextProblems(const SongModel& model);

// One warning for all problems, naming each field as the summary window shows
// it and the character: "The simulators will not read these fields as typed,
// because they hold characters that end or split a DWI tag:\n
// "Name of song" holds ":"\n...". `format` names the file type ("DWI").
QString tagTextWarning(const QList<TagTextProblem>& problems, const QString& format);

} // namespace kolvo

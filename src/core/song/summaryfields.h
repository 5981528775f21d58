#pragma once

#include <QString>

#include <array>

namespace kolvo {

// The song's summary texts, in the order the summary window lists them.
enum class SummaryField : int {
    MusicFile,    // the music file's path
    SongName,     // the song's title
    Artist,       //
    Genre,        //
    Bpm,          // the song's starting BPM, as typed
    Gap,          // ms of music before the first beat, as typed
    SampleStart,  // where the song-select preview starts, ms
    SampleLength, // how long the preview plays, ms
    CdTitle,      // the CD title picture's path
    FileTag,      // the text the DWI "#FILE:" tag carries
};
constexpr int kSummaryTextFields = 10;

// Everything the program knows about one summary field, in one place: the
// work file, the summary window, the undo history and a new song all read it
// from here.
struct SummaryFieldInfo {
    SummaryField field;
    const char* key;         // lower-case key in work files ("musicadd", "text1", ...)
    const char* controlName; // object name of the summary window's text box
    const char* caption;     // the summary window's caption ("Name of song", ...)
    const char* undoName;    // the undo entry reads "Edit " + this
    const char* resetValue;  // the value of a new song
    bool keptByReset;        // a new song keeps the previous song's value
    bool isNumber;           // typed as a number and normalised on leaving the box
};

const std::array<SummaryFieldInfo, kSummaryTextFields>& summaryFields();
const SummaryFieldInfo& summaryFieldInfo(SummaryField f);

// The lower-case key of a summary field in work files ("musicadd", "text1", ...).
const char* summaryFieldKey(SummaryField f);
// The field's caption as the summary window shows it ("Name of song", ...),
// for messages about a value the user typed.
QString summaryFieldLabel(SummaryField f);

} // namespace kolvo

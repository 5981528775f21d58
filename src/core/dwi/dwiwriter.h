#pragma once

#include "core/files/kolvofile.h"
#include "core/song/chartsteps.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace kolvo {

class SongModel;

// Export: "#FILE:" from filetag (left out when filetag is empty).
// EditorTest: "#FILE:" from musicadd, every chart with data.
// TickTest: "#FILE:" from musicadd, the fixed tick chart instead of the charts.
enum class DwiMode { Export, EditorTest, TickTest };

// The whole DWI file, CR LF line ends, UTF-8.
QByteArray dwiFileText(const SongModel& model, DwiMode mode);

// What the song holds that a DWI file cannot carry, one line each.
QStringList dwiCannotCarry(const SongModel& model);

// Writes dwiFileText through a temporary file that replaces `path` only when
// complete; a failure leaves any existing file untouched.
std::optional<FileError> WriteDwiFile(const SongModel& model, const QString& path, DwiMode mode);

// A tempo event's place as DWI writes it: 16ths of a bar from the first
// row ("36"), with as few decimals as name a finer row ("36.5").
QString dwiPositionText(Tick tick);

// "#CHANGEBPM:0=150,36=75;" for BPMCHANNEL, "#FREEZE:16=500;" for
// FREEZECHANNEL, or "" when the channel holds no event.
QString BuildTempoList(const SongModel& model, int channel);

// DWI beat index of a tempo event: 16 per bar, 4 per beat.
constexpr int TempoEventPosition(int bar, int beat) {
    return (bar - 1) * 16 + (beat - 1) * 4;
}

// The tick chart line of the tick test (no ";").
QString tickChartLine();

// A value as the exports write it: leading and trailing blanks off; tabs and
// other characters stay as typed.
QString trimmedBlanks(const QString& t);

} // namespace kolvo

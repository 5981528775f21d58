#pragma once

// What the three readers share: numbers read the way the simulators read
// them, and the placing of what a file holds into the song (notes at their
// 1/48-beat rows, charts into their slots, the song's tempo events), with
// every loss listed.
#include "core/import/stepimport.h"
#include "core/song/songmodel.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kolvo {

class SongModel;

// Positions inside the readers are rows of 1/48 beat (192 to a bar).
constexpr int kRowsPerBeat48 = 48;
constexpr int kRowsPerBar48 = 4 * kRowsPerBeat48;
// Readers keep rows up to here (one bar past the last, for freezes that end
// there); past it they only note the last bar they dropped.
constexpr int kKeptRows48 = (kMaxBars + 1) * kRowsPerBar48;
// Losses listed one by one; past this they are only counted.
constexpr qsizetype kMaxListedLosses = 10000;

// The number at the start of a text, after blanks: sign, digits, point,
// digits, exponent. Nothing when no digit starts it or it is not finite.
std::optional<double> leadingNumber(const QByteArray& text);
// The whole number at the start of a text, after blanks ("7.9" gives 7);
// nothing when there is none or it does not fit an int.
std::optional<int> leadingInt(const QByteArray& text);

// A value in plain decimal as the song's fields show it ("140", ".5"),
// rounded to `decimals` places first when given.
QString fieldNumber(double value, int decimals = -1);

// Header text of the file: UTF-8 when the whole file is, else Windows-1252.
class TextDecoder {
  public:
    explicit TextDecoder(const QByteArray& file);
    QString operator()(const QByteArray& bytes) const;

  private:
    bool m_utf8;
};

// One chart of the file as a reader found it, with its notes at their
// ticks. Dance charts (style 1..4) use panels 1..10; another game's chart
// (style 0) keeps its columns as panels 1..columns.
struct ChartNotes {
    int style = 0;
    int level = 0; // Beginner 0 .. S-Maniac 4, Edit 5
    QByteArray stepsType;
    int columns = 0;
    QString description;
    std::optional<int> meter; // below 1 reads as 1; empty in the file stays unset
    KeptTags kept;
    std::shared_ptr<const TimingData> timing;
    std::vector<Note> notes; // in any order; a later one at a place wins
    int droppedUpToBar = 0;  // the last bar of notes past the chart's end
    QString name() const;    // "Single Basic", "pump-single Hard" for losses
};

// A timing event of the file in ticks.
struct TempoEvent {
    int row = 0;
    double value = 0; // new BPM, or stop length in ms
};

// Fills a reset song with what the readers found, listing what it cannot hold.
class SongBuilder {
  public:
    SongBuilder(SongModel& song, QList<ImportLoss>& losses);

    // A loss at a row (-1: no place); past kMaxListedLosses only counted.
    void loss(const QString& chart, int row, const QString& text);
    void songLoss(const QString& text) { loss(QString(), -1, text); }
    // After the last loss: says how many were not listed, if any.
    void closeList();

    // Places one chart: into its slot of the chart table when that is still
    // free, else as an added chart (Edit charts, other games' charts, a
    // second chart of a slot, which becomes an Edit chart).
    void placeChart(ChartNotes&& chart);
    int charts() const { return m_charts; }

    // The song's BPM changes and stops as Single Basic's tempo cells. With
    // `beatZeroIsSongBpm`, a BPM change at tick 0 becomes the song's BPM;
    // otherwise it stays a change at bar 1 beat 1.
    void placeTempo(const std::vector<TempoEvent>& bpms, const std::vector<TempoEvent>& stops,
                    bool beatZeroIsSongBpm);

  private:
    SongModel& m_song;
    QList<ImportLoss>& m_losses;
    qsizetype m_unlisted = 0;
    std::array<bool, kChartSlots> m_taken{};
    int m_charts = 0;
};

// The columns of a steps type the simulators know ("pump-single" 5); 0 when
// the type is unknown.
int columnsOfStepsType(const QByteArray& type);

// The Basic..S-Maniac level of a difficulty name as the simulators accept
// it ("easy", "basic", "light", ...): 1..4, 0 for Beginner, 5 for Edit, -1
// when unknown.
int levelOfDifficulty(const QByteArray& name);

} // namespace kolvo

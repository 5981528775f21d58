#pragma once

// What the three readers share: numbers read the way the simulators read
// them, and the placing of what a file holds onto the song's grid (notes on
// 32nd rows, tempo events on beats, 100 bars), with every loss listed.
#include "core/import/stepimport.h"
#include "core/song/songmodel.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kolvo {

class SongModel;

// Positions inside the readers are rows of 1/48 beat (192 to a bar).
constexpr int kRowsPerBeat48 = 48;
constexpr int kRowsPerBar48 = 4 * kRowsPerBeat48;
// Readers keep notes up to here (bar 101 included, for freezes that end
// there); past it they only note the last bar they dropped.
constexpr int kKeptRows48 = 101 * kRowsPerBar48;
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

// One note of a chart's panel as the simulators read it. A freeze runs from
// `head` to `tail`; its end is written back as `tailValue` (1, or 2 where a
// DWI file marked the end itself as a freeze start). A lone head is a
// freeze start with nothing after it in its panel.
struct NoteUnit {
    enum Kind : std::uint8_t { Tap, Freeze, LoneHead };
    Kind kind = Tap;
    int head = 0; // row in 1/48 beat
    int tail = 0;
    std::uint8_t tailValue = 1;
};

struct ChartNotes {
    int style = 0;
    int level = 0;
    std::optional<int> meter; // below 1 reads as 1; empty in the file stays unset
    // Units of each arrow panel (1..10) in the order of their heads.
    std::array<std::vector<NoteUnit>, 11> panels;
    int droppedUpToBar = 0; // the last bar of notes the reader did not keep
};

// Tempo events of the file in rows of 1/48 beat.
struct TempoEvent {
    int row = 0;
    double value = 0; // new BPM, or stop length in ms
};

// Fills a reset song with what the readers found, listing what it cannot hold.
class SongBuilder {
  public:
    SongBuilder(SongModel& song, QList<ImportLoss>& losses);

    static QString chartName(int style, int level);
    // A loss at a row (-1: no place); past kMaxListedLosses only counted.
    void loss(const QString& chart, int row, const QString& text);
    void songLoss(const QString& text) { loss(QString(), -1, text); }
    // After the last loss: says how many were not listed, if any.
    void closeList();

    // Places one chart's notes; the chart becomes "Data" with its foot level.
    void placeChart(const ChartNotes& chart);

    // For a chart placed from holds (SM, SSC) rather than from DWI freeze
    // marks: makes every hold of a row of three or more arrows on one pad
    // play as a hold. In such a row the song's exports take the first,
    // third, ... freeze start (left to right) as a hold and the second,
    // fourth, ... as a plain arrow, so an arrow between two holds is marked
    // as a freeze start too. Where two holds have no arrow between them the
    // later one cannot be kept: it becomes an arrow, and that is a loss.
    void markHoldsOfGroups(int style, int level);

    // BPM changes and stops. With `beatZeroIsSongBpm`, a BPM change that
    // ends up on beat 0 becomes the song's BPM; otherwise it stays a change
    // at bar 1 beat 1.
    void placeTempo(const std::vector<TempoEvent>& bpms, const std::vector<TempoEvent>& stops,
                    bool beatZeroIsSongBpm);

  private:
    void placeChannel(const std::vector<TempoEvent>& events, int channel, bool beatZeroIsSongBpm);

    SongModel& m_song;
    QList<ImportLoss>& m_losses;
    qsizetype m_unlisted = 0;
};

// Which style and level a chart of the file is, and the losses of the ones
// the song cannot take (another style, Beginner or Edit, a second chart).
class ChartSlots {
  public:
    explicit ChartSlots(SongBuilder& builder) : m_builder(builder) {}
    // True when style/level is free; otherwise lists why the chart is skipped.
    bool take(int style, int level, const QString& what);
    bool any() const { return m_count > 0; }
    // Every chart seen that was skipped, for the "no chart" message.
    const QStringList& skipped() const { return m_skipped; }
    void skip(const QString& what, const QString& why);

  private:
    SongBuilder& m_builder;
    std::array<bool, kChartSlots> m_taken{};
    int m_count = 0;
    QStringList m_skipped;
};

// The Basic..S-Maniac level of a difficulty name as the simulators accept
// it ("easy", "basic", "light", ...): 1..4, 0 for Beginner, 5 for Edit, -1
// when unknown.
int levelOfDifficulty(const QByteArray& name);

} // namespace kolvo

#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace kolvo {

enum StyleIndex : int { Single = 1, Double = 2, Couple = 3, Solo = 4 };
enum LevelIndex : int { Basic = 1, Another = 2, Maniac = 3, SManiac = 4 };

// Panels 1..10 are arrows; 11 and 12 carry the song-wide tempo events.
enum PanelIndex : int {
    PanelLeft = 1,
    PanelUpLeft = 2,
    PanelDown = 3,
    PanelUp = 4,
    PanelUpRight = 5,
    PanelRight = 6,
    PanelLeft2 = 7,
    PanelDown2 = 8,
    PanelUp2 = 9,
    PanelRight2 = 10,
};
constexpr int BPMCHANNEL = 11;
constexpr int FREEZECHANNEL = 12;

enum StepValue : std::uint8_t { StepEmpty = 0, StepArrow = 1, StepFreezeStart = 2 };

constexpr int kStyles = 4;
constexpr int kLevels = 4;
constexpr int kBars = 100;
constexpr int kRows = 32;
constexpr int kArrowPanels = 10;
constexpr int kPanels = 12;

// One chart of the song. A table with a slot per chart has kChartSlots
// entries and keeps a chart at index() (style 0 and level 0 stay unused).
struct ChartId {
    int style = 0;
    int level = 0;

    constexpr bool valid() const {
        return style >= 1 && style <= kStyles && level >= 1 && level <= kLevels;
    }
    constexpr std::size_t index() const {
        return std::size_t(style) * (kLevels + 1) + std::size_t(level);
    }
    friend constexpr bool operator==(ChartId, ChartId) = default;
};
inline constexpr std::size_t kChartSlots = (kStyles + 1) * (kLevels + 1);

// One cell of a chart: an arrow panel 1..10 or a tempo channel 11..12.
struct StepPosition {
    ChartId chart;
    int bar = 0;
    int row = 0;
    int panel = 0;

    // A row of a valid chart's grid (the panel is not judged).
    constexpr bool onGrid() const {
        return chart.valid() && bar >= 1 && bar <= kBars && row >= 1 && row <= kRows;
    }
};

QString styleName(int style); // "Single", "Double", "Couple", "Solo"
QString levelName(int level); // "Basic", "Another", "Maniac", "S-Maniac"

// A value the song files can carry: never assigned, a number, or a text.
// Foot levels and chart flags keep which of the three they are, because the
// work file writes each form differently.
class Value {
  public:
    enum class Kind : std::uint8_t { Unassigned, Number, Text };

    Value() = default;
    static Value number(double v);
    static Value text(const QString& t);

    Kind kind() const { return m_kind; }
    bool isUnassigned() const { return m_kind == Kind::Unassigned; }
    bool isNumber() const { return m_kind == Kind::Number; }
    bool isText() const { return m_kind == Kind::Text; }

    double asNumber() const { return m_number; } // only meaningful for numbers
    const QString& asText() const { return m_text; }

    // Unassigned counts as 0 and as the empty text in every comparison.
    bool isZeroOrEmpty() const;
    // The numeric value as the rest of the program uses it (text through
    // the number-text rule, unassigned as 0).
    double toNumber() const;
    // The value as decimal text ("" for unassigned).
    QString toText() const;

    bool operator==(const Value& o) const;

  private:
    Kind m_kind = Kind::Unassigned;
    double m_number = 0.0;
    QString m_text;
};

enum class SummaryField : int {
    Musicadd,
    Songname,
    Artist,
    Genre,
    Bpm,
    Gap,
    Samplestart,
    Samplelength,
    Text1,
    Filetag,
};
constexpr int kSummaryTextFields = 10;

// The lower-case key of a summary field in work files ("musicadd", "text1", ...).
const char* summaryFieldKey(SummaryField f);
// The field's caption as the summary window shows it ("Name of song", ...),
// for messages about a value the user typed.
QString summaryFieldLabel(SummaryField f);

// The arrow cells of one chart: 100 bars of 32 rows of panels 1..10, kept in
// one block so a whole chart is a value that copies in one go and swaps in
// constant time. Bar operations run on a copy and are applied by a swap.
class ChartSteps {
  public:
    ChartSteps();

    // Out-of-range cells read as 0 and ignore writes.
    std::uint8_t at(int bar, int row, int panel) const;
    void set(int bar, int row, int panel, std::uint8_t value);
    // Panels 0..10 of one row (0 unused); nullptr outside the chart.
    const std::uint8_t* row(int bar, int row) const;
    // Every arrow cell empty.
    void clear();
    bool empty() const;
    // The cells themselves, for a reader that fills a whole song in place.
    std::span<std::uint8_t> cells() { return m_cells; }
    // Where a valid cell lives in cells() (panel 0 is the row's start).
    static std::size_t cellIndex(int bar, int row, int panel) { return index(bar, row, panel); }
    bool barHasSteps(int bar) const;

    void swap(ChartSteps& other) noexcept { m_cells.swap(other.m_cells); }
    bool operator==(const ChartSteps& other) const { return m_cells == other.m_cells; }

    // Bytes of cell storage a copy costs.
    static constexpr std::size_t kCells = std::size_t(kBars + 1) * (kRows + 1) * (kArrowPanels + 1);

  private:
    static bool valid(int bar, int row, int panel) {
        return bar >= 1 && bar <= kBars && row >= 1 && row <= kRows && panel >= 1 &&
               panel <= kArrowPanels;
    }
    static std::size_t index(int bar, int row, int panel) {
        return (std::size_t(bar) * (kRows + 1) + std::size_t(row)) * (kArrowPanels + 1) +
               std::size_t(panel);
    }
    std::vector<std::uint8_t> m_cells; // [101][33][11]
};

// What one change of the song touched, so windows refresh only what they
// show. style/level 0 mean every chart; bars are 1..100.
struct SongChange {
    enum What : unsigned {
        Steps = 1,  // arrow cells of the charts named
        Tempo = 2,  // BPM changes and freezes
        Flags = 4,  // dataexists / footlevels of the charts named
        Fields = 8, // summary texts and Mark as new
        Everything = Steps | Tempo | Flags | Fields,
    };
    unsigned what = 0;
    int style = 0;
    int level = 0;
    int firstBar = 1;
    int lastBar = kBars;

    static SongChange steps(int style, int level, int firstBar = 1, int lastBar = kBars) {
        return {Steps, style, level, firstBar, lastBar};
    }
    static SongChange tempo(int firstBar = 1, int lastBar = kBars) {
        return {Tempo, 0, 0, firstBar, lastBar};
    }
    static SongChange flags(int style, int level) { return {Flags, style, level, 1, kBars}; }
    static SongChange everything() { return {Everything, 0, 0, 1, kBars}; }

    bool touches(unsigned kinds) const { return (what & kinds) != 0; }
    // The change may touch the chart (style, level).
    bool touchesChart(int s, int l) const {
        return (style == 0 || style == s) && (level == 0 || level == l);
    }
    bool touchesBar(int bar) const { return bar >= firstBar && bar <= lastBar; }
};

// The one song being edited: sixteen charts, their flags and foot levels,
// the song-wide tempo events and the summary values. Which chart and bar
// the user is on lives in the editing session, not here.
class SongModel : public QObject {
    Q_OBJECT
  public:
    explicit SongModel(QObject* parent = nullptr);
    ~SongModel() override;

    // ---- steps(style, level, bar, row, panel) ----
    // Arrow panels 1..10: a StepValue. Out-of-range indices read as 0 and
    // are ignored on writing, so no caller can step outside the arrays.
    std::uint8_t step(int style, int level, int bar, int row, int panel) const;
    void setStep(int style, int level, int bar, int row, int panel, std::uint8_t value);

    // Tempo panels 11..12: empty, or a number (new BPM / freeze ms). Stored
    // for every chart and every row so that any file reads back as written;
    // the program itself uses style 1, level 1, rows 1..4 as the beat.
    bool hasTempo(int style, int level, int bar, int row, int channel) const;
    double tempo(int style, int level, int bar, int row, int channel) const; // 0 when empty
    void setTempo(int style, int level, int bar, int row, int channel, double value);
    void clearTempo(int style, int level, int bar, int row, int channel);

    // A cell that is neither empty, nor the empty text, nor 0 (any panel 1..12).
    bool cellSet(int style, int level, int bar, int row, int panel) const;

    // Read-only views of one row for scans over the whole song: the arrow
    // panels indexed 0..10 (0 unused), and the two tempo channels (BPMCHANNEL
    // first; NaN when empty). nullptr outside the arrays.
    const std::uint8_t* arrowRow(int style, int level, int bar, int row) const;
    const double* tempoRow(int style, int level, int bar, int row) const;
    // Any arrow panel 1..10 of an arrowRow() set.
    static bool anyArrow(const std::uint8_t* row) {
        std::uint64_t first8;
        std::memcpy(&first8, row + 1, 8);
        return (first8 | row[9] | row[10]) != 0;
    }
    // A tempo cell holding an event: neither empty (NaN) nor 0.
    static bool tempoEvent(double v) { return v != 0 && !std::isnan(v); }

    // The step and tempo arrays themselves, for a reader that fills a whole
    // song in place: each chart's arrows indexed by ChartSteps::cellIndex(),
    // the tempo cells by tempoIndex() (NaN marks an empty tempo cell); nothing
    // is announced (call notifyChanged() after).
    struct CellArrays {
        std::array<std::span<std::uint8_t>, kChartSlots> charts; // at ChartId::index()
        std::span<double> tempo;
    };
    CellArrays cellArrays();
    // Every cell empty (no arrow, no tempo value), as after resetparameters().
    bool cellsEmpty() const;
    // Empties every cell without a signal.
    void clearCells();
    // Where a valid cell lives in CellArrays::tempo (channel BPMCHANNEL or
    // FREEZECHANNEL).
    static std::size_t tempoIndex(int s, int l, int b, int r, int channel) {
        return rowIndex(s, l, b, r) * 2 + std::size_t(channel - BPMCHANNEL);
    }

    // ---- per-chart flags ----
    const Value& dataexists(int style, int level) const;
    void setDataexists(int style, int level, const Value& v);
    bool hasData(int style, int level) const; // dataexists is the number 1 (or text "1")
    const Value& footlevels(int style, int level) const;
    void setFootlevels(int style, int level, const Value& v);

    // ---- summary values ----
    const QString& field(SummaryField f) const;
    void setField(SummaryField f, const QString& text);
    int Check1() const { return m_check1; }
    void setCheck1(int v);

    const QString& musicadd() const { return field(SummaryField::Musicadd); }
    const QString& songname() const { return field(SummaryField::Songname); }
    const QString& artist() const { return field(SummaryField::Artist); }
    const QString& genre() const { return field(SummaryField::Genre); }
    const QString& bpm() const { return field(SummaryField::Bpm); }
    const QString& gap() const { return field(SummaryField::Gap); }
    const QString& samplestart() const { return field(SummaryField::Samplestart); }
    const QString& samplelength() const { return field(SummaryField::Samplelength); }
    const QString& Text1() const { return field(SummaryField::Text1); }
    const QString& filetag() const { return field(SummaryField::Filetag); }

    // ---- whole charts ----
    // The arrow cells of a chart (an empty chart outside 1..4 x 1..4).
    const ChartSteps& chartSteps(int style, int level) const;
    // Exchanges the chart's cells with `steps` (silent, like the cell setters).
    void swapChartSteps(int style, int level, ChartSteps& steps);

    // ---- whole-song operations ----
    // Empties every chart, flag and foot level and puts the summary values
    // back to their reset texts; filetag is kept.
    void resetparameters();
    // Empties the arrows of one chart and clears its flag; its foot level and
    // the tempo events stay.
    void clearChart(int style, int level);
    // What the editor does when it opens a chart: a chart without data gets
    // data and foot level 1.
    void openChart(int style, int level);

    // Copies the whole song from another model.
    void copySongFrom(const SongModel& other);

    // The whole song, field by field (for checks and undo tests).
    bool sameSongAs(const SongModel& other) const;

    // Announces a batch of changes made through the silent cell setters
    // (setStep/setTempo/swapChartSteps stay silent so bulk edits cost
    // nothing; every batch ends in one announcement).
    void notifyChanged(const kolvo::SongChange& change) { emit changed(change); }

    static bool validChart(int style, int level) { return ChartId{style, level}.valid(); }

  signals:
    void summaryFieldChanged(kolvo::SummaryField field);
    void check1Changed(int value);
    // Every change to the steps, tempo events or chart flags ends in this.
    void changed(const kolvo::SongChange& change);
    void songReset();

  private:
    static bool validCell(int s, int l, int b, int r);
    static std::size_t rowIndex(int s, int l, int b, int r) {
        return (ChartId{s, l}.index() * (kBars + 1) + std::size_t(b)) * (kRows + 1) +
               std::size_t(r);
    }

    // Per chart, at ChartId::index().
    std::array<ChartSteps, kChartSlots> m_charts;
    std::array<Value, kChartSlots> m_dataexists;
    std::array<Value, kChartSlots> m_footlevels;
    std::vector<double> m_tempo; // [5][5][101][33][2], NaN = empty
    std::array<QString, kSummaryTextFields> m_fields;
    int m_check1 = 2;
};

} // namespace kolvo

#pragma once

#include <QByteArray>
#include <QString>

#include "core/song/chartsteps.h"
#include "core/song/summaryfields.h"
#include "core/song/timingdata.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kolvo {

enum StyleIndex : int { Single = 1, Double = 2, Couple = 3, Solo = 4 };
enum LevelIndex : int {
    Beginner = 0,
    Basic = 1,
    Another = 2,
    Maniac = 3,
    SManiac = 4,
    Edit = 5,
};

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
constexpr int kArrowPanels = 10;
constexpr int kPanels = 12;

// One of the sixteen charts of the song's chart table (style 1..4, level
// 1..4). A table with a slot per chart has kChartSlots entries and keeps a
// chart at index(); level 0 (Beginner) has a slot there too, style 0 none.
struct ChartId {
    int style = 0;
    int level = 0;

    constexpr bool valid() const {
        return style >= 1 && style <= kStyles && level >= 1 && level <= kLevels;
    }
    constexpr std::size_t index() const {
        return std::size_t(style) * (kLevels + 1) + std::size_t(level);
    }
    // One of the sixteen or a Beginner chart of a style: a chart with a slot.
    constexpr bool hasSlot() const {
        return style >= 1 && style <= kStyles && level >= 0 && level <= kLevels;
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
        return chart.valid() && bar >= 1 && bar <= kMaxBars && row >= 1 && row <= kRows;
    }
};

QString styleName(int style); // "Single", "Double", "Couple", "Solo"
QString levelName(int level); // "Basic", "Another", "Maniac", "S-Maniac"; "Beginner", "Edit"

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

// What one change of the song touched, so windows refresh only what they
// show. style/level 0 mean every chart (and a change of a chart without a
// place in the chart table: an Edit chart or another game's); bars are
// 1..kMaxBars. Everything also says the whole song was replaced.
struct SongChange {
    enum What : unsigned {
        Steps = 1,  // notes of the charts named
        Tempo = 2,  // BPM changes and freezes, the song's or a chart's timing
        Flags = 4,  // dataexists / footlevels / descriptions; charts added or removed
        Fields = 8, // summary texts and Mark as new
        Everything = Steps | Tempo | Flags | Fields,
    };
    unsigned what = 0;
    int style = 0;
    int level = 0;
    int firstBar = 1;
    int lastBar = kMaxBars;
    // For Fields: the one summary field changed; none: every field and
    // Mark as new.
    std::optional<SummaryField> field = std::nullopt;
    // The one chart changed, by its slot (see ChartSlot below); -1: the
    // charts style/level name.
    int slot = -1;

    static SongChange steps(int style, int level, int firstBar = 1, int lastBar = kMaxBars) {
        return {Steps, style, level, firstBar, lastBar};
    }
    static SongChange tempo(int firstBar = 1, int lastBar = kMaxBars) {
        return {Tempo, 0, 0, firstBar, lastBar};
    }
    static SongChange flags(int style, int level) { return {Flags, style, level, 1, kMaxBars}; }
    // A change of the chart at `slot`: a chart of the table is also named by
    // style and level, an added chart only by its slot.
    static SongChange ofSlot(unsigned what, int slot, int firstBar = 1, int lastBar = kMaxBars) {
        SongChange c{what, 0, 0, firstBar, lastBar};
        if (slot >= 0 && std::size_t(slot) < kChartSlots) {
            c.style = slot / (kLevels + 1);
            c.level = slot % (kLevels + 1);
        }
        c.slot = slot;
        return c;
    }
    static SongChange everything() { return {Everything, 0, 0, 1, kMaxBars}; }
    static SongChange summaryField(SummaryField f) { return {Fields, 0, 0, 1, kMaxBars, f}; }
    static SongChange markAsNew() { return {Fields, 0, 0, 1, kMaxBars}; }

    bool touches(unsigned kinds) const { return (what & kinds) != 0; }
    bool replacedEverything() const {
        return what == Everything && style == 0 && level == 0 && slot < 0;
    }
    // The change may touch the chart (style, level).
    bool touchesChart(int s, int l) const {
        return (style == 0 || style == s) && (level == 0 || level == l);
    }
    // The change may touch the chart at `s` (a slot).
    bool touchesSlot(int s) const {
        if (slot >= 0)
            return slot == s;
        if (s >= 0 && std::size_t(s) < kChartSlots)
            return touchesChart(s / (kLevels + 1), s % (kLevels + 1));
        return style == 0 && level == 0;
    }
    bool touchesBar(int bar) const { return bar >= firstBar && bar <= lastBar; }
    bool touchesField(SummaryField f) const { return touches(Fields) && (!field || *field == f); }
};

// A value of a tempo channel (BPMCHANNEL, FREEZECHANNEL) at a row of a chart,
// as the work file carries them: the song's BPM changes and freezes live in
// Single Basic; other charts keep what a file put there.
struct TempoCell {
    Tick tick = 0;
    std::uint8_t channel = 0;
    double value = 0;
    friend bool operator==(const TempoCell& a, const TempoCell& b) {
        return a.tick == b.tick && a.channel == b.channel &&
               std::memcmp(&a.value, &b.value, sizeof(double)) == 0;
    }
};

// A chart of the song with everything beside its notes.
struct Chart {
    int style = 0;        // 1..4; 0 for a chart of another game
    int level = 0;        // Beginner 0, Basic 1 .. S-Maniac 4, Edit 5
    QByteArray stepsType; // another game's chart type as read ("pump-single")
    int columns = 0;      // another game's panels (1..columns)
    QString description;  // an Edit chart's name; kept as read for the others
    Value footlevels;     // the meter
    Value dataexists;     // the number 1: the chart holds data
    ChartSteps steps;
    std::vector<TempoCell> tempo; // sorted by tick, then channel
    // Tempo cells the original work-file layout had at rows 5..32 of a bar,
    // where its tempo channels name no beat (tick: that 32nd row). Nothing
    // plays them; they are kept so that such a file reads back as written.
    std::vector<TempoCell> offBeatTempo;
    // The chart's own timing; null: it plays to the song's.
    std::shared_ptr<const TimingData> timing;
    KeptTags kept; // other tags of the chart, as read (radar values, credit, ...)

    bool operator==(const Chart& o) const;
    // A chart of one of the four dance styles.
    bool dance() const { return style >= 1 && style <= kStyles; }
    // Whether the chart is marked as holding data (the number 1, or the text "1").
    bool hasData() const { return !dataexists.isUnassigned() && dataexists.toNumber() == 1.0; }
    // "Single Basic", "Double Edit (My edit)", "pump-single Hard".
    QString name() const;
};

// The slot of a chart in the song: the chart table's charts at
// ChartId::index(), further charts (Edit charts, other games') from
// kChartSlots on.
using ChartSlot = int;

// The one song being edited: the charts, their flags and foot levels, the
// song's timing and the summary values. Which chart and bar the user is on
// lives in the editing session, not here.
//
// A plain value: it announces nothing. The document owns the one song a
// window shows and says what each change touched.
class SongModel {
  public:
    SongModel();
    ~SongModel();
    SongModel(const SongModel&) = delete;
    SongModel& operator=(const SongModel&) = delete;

    // ---- steps(style, level, bar, row, panel): the old grid's view ----
    // A 32nd row (1..32) of bar 1..kMaxBars of one of the sixteen charts;
    // panels 1..10 hold a NoteKind as a byte. Out-of-range indices read as 0
    // and are ignored on writing, so no caller can step outside the song.
    std::uint8_t step(int style, int level, int bar, int row, int panel) const;
    void setStep(int style, int level, int bar, int row, int panel, std::uint8_t value);

    // Tempo panels 11..12 as the original layout addresses them: rows 1..4
    // of a bar are its beats; empty, or a number (new BPM / freeze ms). Kept
    // for every chart so that any file reads back as written; the song's
    // own events are Single Basic's (songTempoCells()).
    bool hasTempo(int style, int level, int bar, int row, int channel) const;
    double tempo(int style, int level, int bar, int row, int channel) const; // 0 when empty
    void setTempo(int style, int level, int bar, int row, int channel, double value);
    void clearTempo(int style, int level, int bar, int row, int channel);
    std::optional<double> oldLayoutTempo(int style, int level, int bar, int row, int channel) const;
    void setOldLayoutTempo(int style, int level, int bar, int row, int channel,
                           std::optional<double> value);

    // A cell that is neither empty, nor the empty text, nor 0 (any panel 1..12).
    bool cellSet(int style, int level, int bar, int row, int panel) const;

    // Panels 0..10 of a 32nd row (0 unused), for scans over the old grid.
    std::array<std::uint8_t, 11> arrowRow(int style, int level, int bar, int row) const;
    // Any arrow panel 1..10 of an arrowRow() set.
    static bool anyArrow(const std::array<std::uint8_t, 11>& row) {
        std::uint64_t first8;
        std::memcpy(&first8, row.data() + 1, 8);
        return (first8 | row[9] | row[10]) != 0;
    }
    // A tempo cell holding an event: neither empty (NaN) nor 0.
    static bool tempoEvent(double v) { return v != 0 && !std::isnan(v); }

    // Every cell empty (no note, no tempo value), as after resetparameters().
    bool cellsEmpty() const;
    // Empties every note and tempo cell and removes the charts beyond the
    // table, without a signal.
    void clearCells();

    // ---- per-chart flags ----
    const Value& dataexists(int style, int level) const;
    void setDataexists(int style, int level, const Value& v);
    bool hasData(int style, int level) const; // dataexists is the number 1 (or text "1")
    const Value& footlevels(int style, int level) const;
    void setFootlevels(int style, int level, const Value& v);

    // ---- summary values ----
    const QString& field(SummaryField f) const;
    void setField(SummaryField f, const QString& text);
    // "Mark as new": 0 Never, 1 Always, 2 Normal.
    int markAsNew() const { return m_markAsNew; }
    void setMarkAsNew(int v);

    const QString& musicadd() const { return field(SummaryField::MusicFile); }
    const QString& songname() const { return field(SummaryField::SongName); }
    const QString& artist() const { return field(SummaryField::Artist); }
    const QString& genre() const { return field(SummaryField::Genre); }
    const QString& bpm() const { return field(SummaryField::Bpm); }
    const QString& gap() const { return field(SummaryField::Gap); }
    const QString& samplestart() const { return field(SummaryField::SampleStart); }
    const QString& samplelength() const { return field(SummaryField::SampleLength); }
    const QString& cdTitle() const { return field(SummaryField::CdTitle); }
    const QString& filetag() const { return field(SummaryField::FileTag); }

    // Header tags of a step file the song has no field for (#SUBTITLE,
    // #CREDIT, #BANNER, ...), kept as read and written back by the step
    // file writers that carry them.
    const KeptTags& keptHeader() const { return m_keptHeader; }
    void setKeptHeader(const KeptTags& tags) { m_keptHeader = tags; }

    // ---- whole charts ----
    // The notes of a chart of the table (an empty chart outside it).
    const ChartSteps& chartSteps(int style, int level) const;
    // Exchanges the chart's notes with `steps` (silent, like the cell setters).
    void swapChartSteps(int style, int level, ChartSteps& steps);

    // Every chart by slot: kChartSlots table slots (style 0 and levels past
    // S-Maniac unused), then the added charts.
    int chartSlots() const { return int(m_charts.size()); }
    // A slot that holds a chart: Beginner or one of the sixteen of a dance
    // style, or an added chart.
    bool usedSlot(ChartSlot slot) const;
    const Chart& chart(ChartSlot slot) const;
    static constexpr ChartSlot slotOf(int style, int level) {
        return ChartSlot(ChartId{style, level}.index());
    }
    // The slot of a chart with the same style or steps type, level and
    // description; -1 when there is none.
    ChartSlot findChart(int style, const QByteArray& stepsType, int level,
                        const QString& description) const;
    // Adds an Edit chart or another game's chart (silent); returns its slot.
    ChartSlot addChart(Chart chart);
    // Puts an added chart at `slot` (kChartSlots..chartSlots()); the charts
    // from there on move up by one. Returns the slot, or -1 when it is
    // outside that range.
    ChartSlot insertChart(ChartSlot slot, Chart chart);
    // Removes an added chart (later slots move down by one), or empties a
    // table chart as clearChart() does (silent).
    void removeChart(ChartSlot slot);
    // The chart's notes, exchanged as swapChartSteps() does.
    void swapSteps(ChartSlot slot, ChartSteps& steps);
    void setChartFlags(ChartSlot slot, const Value& footlevels, const Value& dataexists);
    void setFootlevels(ChartSlot slot, const Value& v);
    void setDataexists(ChartSlot slot, const Value& v);
    bool hasData(ChartSlot slot) const { return chart(slot).hasData(); }
    // The notes of any chart by slot (an empty chart for an unused slot).
    const ChartSteps& chartSteps(ChartSlot slot) const { return chart(slot).steps; }
    // The 32nd-row view of any chart by slot, as step()/setStep()/arrowRow()
    // give it for a chart of the table.
    std::uint8_t step(ChartSlot slot, int bar, int row, int panel) const;
    void setStep(ChartSlot slot, int bar, int row, int panel, std::uint8_t value);
    std::array<std::uint8_t, 11> arrowRow(ChartSlot slot, int bar, int row) const;
    // clearChart() and openChart() for any chart by slot.
    void clearChart(ChartSlot slot);
    void openChart(ChartSlot slot);
    void setDescription(ChartSlot slot, const QString& description);
    void setChartKept(ChartSlot slot, const KeptTags& kept);
    // The chart's own timing (nullptr: none, it plays to the song's).
    void setChartTiming(ChartSlot slot, std::shared_ptr<const TimingData> timing);
    // Tempo cells of any chart (BPMCHANNEL / FREEZECHANNEL) at a tick.
    const std::vector<TempoCell>& tempoCells(ChartSlot slot) const;
    void setTempoCells(ChartSlot slot, std::vector<TempoCell> cells);
    std::optional<double> tempoAt(ChartSlot slot, Tick tick, int channel) const;
    // The cells of Chart::offBeatTempo (tick: the 32nd row they stand on).
    void setOffBeatTempoCells(ChartSlot slot, std::vector<TempoCell> cells);
    void setTempoAt(ChartSlot slot, Tick tick, int channel, std::optional<double> value);

    // ---- timing ----
    // The song's BPM changes and freezes: Single Basic's tempo cells.
    const std::vector<TempoCell>& songTempoCells() const {
        return tempoCells(slotOf(Single, Basic));
    }
    // Delays, warps and kept segments of the song beside its BPM changes and
    // freezes (from step files; the editor does not make them).
    const TimingData& songTimingExtras() const { return m_songTimingExtras; }
    void setSongTimingExtras(const TimingData& extras) { m_songTimingExtras = extras; }
    // The song's whole timing: gap, BPM, the tempo cells and the extras.
    TimingData songTiming() const;
    // The timing a chart plays to: its own or the song's.
    TimingData timingOf(ChartSlot slot) const;

    // ---- whole-song operations ----
    // Empties every chart, flag and foot level, removes the added charts and
    // puts the summary values back to their reset texts; filetag is kept.
    void resetparameters();
    // Empties the notes of one chart and clears its flag; its foot level and
    // the tempo events stay.
    void clearChart(int style, int level);
    // What the editor does when it opens a chart: a chart without data gets
    // data and foot level 1.
    void openChart(int style, int level);

    // Copies the whole song from another model.
    void copySongFrom(const SongModel& other);

    // The whole song, field by field (for checks and undo tests).
    bool sameSongAs(const SongModel& other) const;

    // Whether the song fits the old limits of the work file: every note and
    // tempo cell within 100 bars on 32nd rows of panels 1..12 (arrows and
    // freezes), the sixteen charts and no other, no chart timing, no kept
    // tags and no double quote in a text.
    bool withinOldLimits() const;

    // Bytes the song's notes and cells take (for the memory figures).
    std::size_t noteBytes() const;

    static bool validChart(int style, int level) { return ChartId{style, level}.valid(); }

  private:
    Chart* slotChart(ChartSlot slot);
    Chart* tableChart(int s, int l);
    const Chart* tableChart(int s, int l) const;

    std::vector<Chart> m_charts; // kChartSlots table slots, then the added charts
    std::array<QString, kSummaryTextFields> m_fields;
    int m_markAsNew = 2;
    KeptTags m_keptHeader;
    TimingData m_songTimingExtras;
};

} // namespace kolvo

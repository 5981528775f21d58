// The bar tools' plain functions: moving, clearing, copying and rewriting
// bars, and where a bar lies in the music.
#include "core/edit/barops.h"
#include "core/edit/clipboardbar.h"
#include "core/edit/playposition.h"
#include "core/edit/transform.h"
#include "core/song/songmodel.h"

#include <gtest/gtest.h>

#include <random>

using namespace kolvo;

namespace {

// A bar's arrow cells, for comparing whole bars.
std::vector<int> barCells(const SongModel& m, int s, int l, int bar) {
    std::vector<int> out;
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            out.push_back(m.step(s, l, bar, r, p));
    return out;
}

// Marks each bar with one arrow whose row tells the bar apart
// (bar b: row 1 + (b - 1) % 32, panel 1 + (b - 1) / 32).
void markBars(SongModel& m, int s, int l) {
    for (int b = 1; b <= kBars; ++b)
        m.setStep(s, l, b, 1 + (b - 1) % 32, 1 + (b - 1) / 32, StepArrow);
}
bool barHasMark(const SongModel& m, int s, int l, int bar, int mark) {
    return m.step(s, l, bar, 1 + (mark - 1) % 32, 1 + (mark - 1) / 32) == StepArrow;
}

class BarOps : public ::testing::Test {
  protected:
    void SetUp() override { model.resetparameters(); }
    SongModel model;
};

} // namespace

TEST_F(BarOps, InsertMovesLaterBarsDownAndEmptiesTheBar) {
    markBars(model, Double, Maniac);
    insertBar(model, Double, Maniac, 40);
    for (int b = 1; b < 40; ++b)
        EXPECT_TRUE(barHasMark(model, Double, Maniac, b, b)) << b;
    EXPECT_FALSE(barHasSteps(model, Double, Maniac, 40));
    for (int b = 41; b <= 100; ++b)
        EXPECT_TRUE(barHasMark(model, Double, Maniac, b, b - 1)) << b;
    // Other charts are untouched.
    EXPECT_FALSE(barHasSteps(model, Double, Basic, 41));
}

TEST_F(BarOps, InsertAndDeleteAtTheLastBarOnlyEmptyTheLastBar) {
    model.setStep(Single, Basic, kMaxBars - 1, 1, PanelLeft, StepArrow);
    model.setStep(Single, Basic, kMaxBars, 1, PanelLeft, StepArrow);
    insertBar(model, Single, Basic, kMaxBars);
    EXPECT_FALSE(barHasSteps(model, Single, Basic, kMaxBars));
    EXPECT_TRUE(barHasSteps(model, Single, Basic, kMaxBars - 1));

    model.setStep(Single, Basic, kMaxBars, 1, PanelLeft, StepArrow);
    deleteBar(model, Single, Basic, kMaxBars);
    EXPECT_FALSE(barHasSteps(model, Single, Basic, kMaxBars));
    EXPECT_TRUE(barHasSteps(model, Single, Basic, kMaxBars - 1));
}

TEST_F(BarOps, DeleteMovesLaterBarsUpAndEmptiesBar100) {
    markBars(model, Solo, SManiac);
    deleteBar(model, Solo, SManiac, 1);
    for (int b = 1; b < 100; ++b)
        EXPECT_TRUE(barHasMark(model, Solo, SManiac, b, b + 1)) << b;
    EXPECT_FALSE(barHasSteps(model, Solo, SManiac, 100));
}

TEST_F(BarOps, TempoEventsStayAtTheirBarsInSingleBasic) {
    model.setTempo(Single, Basic, 5, 2, BPMCHANNEL, 150);
    model.setTempo(Single, Basic, 6, 3, FREEZECHANNEL, 250);
    model.setStep(Single, Basic, 5, 1, PanelLeft, StepArrow);
    insertBar(model, Single, Basic, 3);
    deleteBar(model, Single, Basic, 1);
    deleteBar(model, Single, Basic, 1);
    // The arrow moved with its bar (5 -> 6 -> 4); the events did not.
    EXPECT_EQ(model.step(Single, Basic, 4, 1, PanelLeft), StepArrow);
    clearBar(model, Single, Basic, 4);
    EXPECT_FALSE(barHasSteps(model, Single, Basic, 4));
    EXPECT_EQ(model.tempo(Single, Basic, 5, 2, BPMCHANNEL), 150);
    EXPECT_EQ(model.tempo(Single, Basic, 6, 3, FREEZECHANNEL), 250);
    EXPECT_FALSE(model.hasTempo(Single, Basic, 4, 2, BPMCHANNEL));
}

TEST_F(BarOps, BarsOutsideTheChartChangeNothing) {
    markBars(model, Single, Basic);
    for (int bar : {0, 101, -5}) {
        insertBar(model, Single, Basic, bar);
        deleteBar(model, Single, Basic, bar);
        clearBar(model, Single, Basic, bar);
    }
    for (int b = 1; b <= 100; ++b)
        EXPECT_TRUE(barHasMark(model, Single, Basic, b, b));
}

// ---- clipboard text ----

TEST_F(BarOps, ClipboardTextOfAnEmptyBar) {
    QString expected = QStringLiteral("KOLVO-BAR-DEF-v09");
    for (int i = 0; i < 320; ++i)
        expected += QStringLiteral("0,");
    const QString text = clipboardTextFromBar(model, Couple, Another, 7);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.size(), 657);
}

TEST_F(BarOps, ClipboardFieldsRunRowByRowOverAllTenPanels) {
    model.setStep(Single, Basic, 3, 1, 10, StepArrow);      // field 9
    model.setStep(Single, Basic, 3, 2, 1, StepFreezeStart); // field 10
    model.setStep(Single, Basic, 3, 32, 10, StepArrow);     // field 319
    const QString text = clipboardTextFromBar(model, Single, Basic, 3);
    const QStringList fields = text.mid(17).split(QLatin1Char(','));
    ASSERT_EQ(fields.size(), 321);
    EXPECT_EQ(fields[9], "1");
    EXPECT_EQ(fields[10], "2");
    EXPECT_EQ(fields[319], "1");
    EXPECT_EQ(fields[320], "");
}

TEST_F(BarOps, ClipboardRoundTripReproducesTheBarAcrossCharts) {
    std::mt19937 rng(7);
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            model.setStep(Double, Maniac, 12, r, p, std::uint8_t(rng() % 3));
    const auto cells = barCellsFromClipboardText(clipboardTextFromBar(model, Double, Maniac, 12));
    ASSERT_TRUE(cells.has_value());
    model.setStep(Single, Basic, 50, 4, 4, StepArrow); // overwritten by Replace
    pasteBarCells(model, Single, Basic, 50, *cells, PasteMode::Replace);
    EXPECT_EQ(barCells(model, Single, Basic, 50), barCells(model, Double, Maniac, 12));
}

TEST_F(BarOps, MergeFillsOnlyEmptyCellsAndKeepsAFreezeStart) {
    model.setStep(Single, Basic, 1, 1, PanelLeft, StepArrow);
    model.setStep(Single, Basic, 1, 9, PanelDown, StepArrow);
    const auto cells = barCellsFromClipboardText(clipboardTextFromBar(model, Single, Basic, 1));
    ASSERT_TRUE(cells);

    model.setStep(Single, Basic, 2, 1, PanelLeft, StepFreezeStart);
    model.setStep(Single, Basic, 2, 17, PanelUp, StepArrow); // clipboard 0 never removes it
    pasteBarCells(model, Single, Basic, 2, *cells, PasteMode::Merge);
    EXPECT_EQ(model.step(Single, Basic, 2, 1, PanelLeft), StepFreezeStart);
    EXPECT_EQ(model.step(Single, Basic, 2, 9, PanelDown), StepArrow);
    EXPECT_EQ(model.step(Single, Basic, 2, 17, PanelUp), StepArrow);
}

TEST(ClipboardText, RefusesAnythingButAWholeBar) {
    const QString good = clipboardTextFromBar(SongModel(), Single, Basic, 1);
    QString badField = good;
    badField[17 + 2 * 100] = QLatin1Char('3');
    QString spacedField = good;
    spacedField.insert(17 + 2 * 5, QLatin1Char(' '));
    QString emptyField = good;
    emptyField.insert(17 + 2 * 5, QLatin1Char(','));
    const struct {
        const char* what;
        QString text;
    } refused[] = {
        {"empty", QString()},
        {"lower-case header", QStringLiteral("kolvo-bar-def-v09") + good.mid(17)},
        {"older header", QStringLiteral("KOLVO-BAR-DEF-v08") + good.mid(17)},
        {"header only", good.left(17)},
        {"319 fields", good.left(17 + 2 * 319)},
        {"last comma missing", good.left(good.size() - 1)},
        {"field 3", badField},
        {"field with a blank", spacedField},
        {"empty field", emptyField},
        {"text before header", QStringLiteral(" ") + good},
    };
    for (const auto& c : refused)
        EXPECT_FALSE(barCellsFromClipboardText(c.text).has_value()) << c.what;

    // Anything after the 320th comma is ignored.
    EXPECT_TRUE(barCellsFromClipboardText(good + QStringLiteral("1,2,x\r\n")).has_value());
}

// A bar the bar form cannot carry goes in the note form, which Paste reads
// back exactly and the bar-form reader refuses.
TEST_F(BarOps, ABarOfFineRowsAndNewKindsTravelsInTheNoteForm) {
    ChartSteps steps;
    for (const Note& n : {Note{tickOf(7, 0), PanelLeft, NoteKind::Arrow},
                          Note{tickOf(7, 16), PanelDown, NoteKind::Mine},
                          Note{tickOf(7, 16), PanelRight, NoteKind::RollStart},
                          Note{tickOf(7, 191), PanelRight2, NoteKind::Fake},
                          Note{tickOf(8, 0), PanelUp, NoteKind::Arrow}})
        steps.append(n);
    steps.finish();
    model.swapChartSteps(Double, Maniac, steps);

    const QString text = clipboardTextFromBar(model, Double, Maniac, 7);
    EXPECT_EQ(text, "KOLVO-BAR-NOTES-v1"
                    "0:1:1,16:3:4,16:6:3,191:10:6,");
    EXPECT_FALSE(barCellsFromClipboardText(text).has_value());

    // Replace empties the whole bar first, notes between the 32nd rows too.
    model.setStep(Double, Basic, 120, 4, PanelUp, StepArrow);
    ChartSteps target = model.chartSteps(Double, Basic);
    target.setKindAtTick(tickOf(120, 100), PanelDown, NoteKind::Lift);
    const auto notes = barNotesFromClipboardText(text);
    ASSERT_TRUE(notes.has_value());
    pasteBarNotes(target, 120, *notes, PasteMode::Replace);
    ASSERT_EQ(target.notesOfBar(120).size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const Note& from = model.chartSteps(Double, Maniac).notesOfBar(7)[i];
        const Note& to = target.notesOfBar(120)[i];
        EXPECT_EQ(to.tick - tickOf(120, 0), from.tick - tickOf(7, 0));
        EXPECT_EQ(to.panel, from.panel);
        EXPECT_EQ(to.kind, from.kind);
    }
    // Merge leaves every note already there.
    ChartSteps merged;
    merged.setKindAtTick(tickOf(3, 16), PanelDown, NoteKind::Arrow);
    pasteBarNotes(merged, 3, *notes, PasteMode::Merge);
    EXPECT_EQ(merged.kindAtTick(tickOf(3, 16), PanelDown), NoteKind::Arrow);
    EXPECT_EQ(merged.kindAtTick(tickOf(3, 16), PanelRight), NoteKind::RollStart);
    EXPECT_EQ(merged.size(), 4u);

    // A bar of the bar form reads through the same call.
    model.setStep(Single, Basic, 2, 9, PanelDown, StepFreezeStart);
    const auto old = barNotesFromClipboardText(clipboardTextFromBar(model, Single, Basic, 2));
    ASSERT_TRUE(old.has_value());
    EXPECT_EQ(*old, (std::vector<Note>{{48, PanelDown, NoteKind::FreezeStart}}));
}

TEST(ClipboardText, RefusesANoteFormThatIsNotWhole) {
    const QString header = QStringLiteral("KOLVO-BAR-NOTES-v1");
    const struct {
        const char* fields;
        bool read;
    } cases[] = {
        {"", true},           {"0:1:1,191:10:6,", true},
        {"0:1:1,\r\n", true}, {"192:1:1,", false},
        {"0:11:1,", false},   {"0:0:1,", false},
        {"0:1:0,", false},    {"0:1:7,", false},
        {"-1:1:1,", false},   {"0001:1:1,", false},
        {"0:1,", false},      {"0:1:1:1,", false},
        {"x:1:1,", false},    {" 0:1:1,", false},
        {"0:1:1", false},     {"0:1:1,0:1:2,", false},
        {"0:1:1,,", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(barNotesFromClipboardText(header + QString::fromLatin1(c.fields)).has_value(),
                  c.read)
            << c.fields;
    }
    EXPECT_FALSE(barNotesFromClipboardText(QStringLiteral("kolvo-bar-notes-v1")).has_value());
}

// ---- transformations ----

namespace {

void fillArrows(SongModel& m, int s, int l, int bar, unsigned seed) {
    std::mt19937 rng(seed);
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            m.setStep(s, l, bar, r, p, std::uint8_t(rng() % 2));
}

} // namespace

TEST_F(BarOps, TransformsGiveTheArrowsBack) {
    const struct {
        BarTransform t;
        int times;
    } cases[] = {{BarTransform::Mirror, 2}, {BarTransform::Flip, 2}, {BarTransform::Turn, 4}};
    for (const auto& c : cases) {
        fillArrows(model, Double, Basic, 8, 11);
        const auto before = barCells(model, Double, Basic, 8);
        for (int i = 1; i < c.times; ++i) {
            transformBar(model, Double, Basic, 8, c.t);
            EXPECT_NE(barCells(model, Double, Basic, 8), before) << int(c.t) << " after " << i;
        }
        transformBar(model, Double, Basic, 8, c.t);
        EXPECT_EQ(barCells(model, Double, Basic, 8), before) << int(c.t);
    }
}

TEST_F(BarOps, EachTransformMovesArrowsWithinTheirPad) {
    // One arrow at row 5 on `from`, expected on `to` afterwards.
    const struct {
        BarTransform t;
        int from, to;
    } cases[] = {
        {BarTransform::Mirror, PanelLeft, PanelRight},
        {BarTransform::Mirror, PanelUpLeft, PanelUpRight},
        {BarTransform::Mirror, PanelLeft2, PanelRight2},
        {BarTransform::Mirror, PanelDown, PanelDown},
        {BarTransform::Flip, PanelDown, PanelUp},
        {BarTransform::Flip, PanelUp2, PanelDown2},
        {BarTransform::Flip, PanelUpLeft, PanelUpLeft},
        {BarTransform::Flip, PanelRight, PanelRight},
        {BarTransform::Turn, PanelLeft, PanelUp},
        {BarTransform::Turn, PanelUp, PanelRight},
        {BarTransform::Turn, PanelRight, PanelDown},
        {BarTransform::Turn, PanelDown, PanelLeft},
        {BarTransform::Turn, PanelLeft2, PanelUp2},
        {BarTransform::Turn, PanelDown2, PanelLeft2},
        {BarTransform::Turn, PanelUpRight, PanelUpRight},
    };
    for (const auto& c : cases) {
        clearBar(model, Solo, Basic, 1);
        model.setStep(Solo, Basic, 1, 5, c.from, StepArrow);
        transformBar(model, Solo, Basic, 1, c.t);
        for (int p = 1; p <= kArrowPanels; ++p)
            EXPECT_EQ(model.step(Solo, Basic, 1, 5, p), p == c.to ? 1 : 0)
                << "transform " << int(c.t) << " from " << c.from << " panel " << p;
    }
}

TEST_F(BarOps, FreezeStartsTravelWithTheirPanels) {
    // Every transform moves a freeze start exactly as it moves an arrow.
    const struct {
        BarTransform t;
        int from, to;
    } cases[] = {
        {BarTransform::Mirror, PanelLeft, PanelRight},
        {BarTransform::Flip, PanelDown, PanelUp},
        {BarTransform::Turn, PanelLeft, PanelUp},
        {BarTransform::Turn, PanelDown2, PanelLeft2},
    };
    for (const auto& c : cases) {
        clearBar(model, Double, Basic, 3);
        model.setStep(Double, Basic, 3, 7, c.from, StepFreezeStart);
        transformBar(model, Double, Basic, 3, c.t);
        for (int p = 1; p <= kArrowPanels; ++p)
            EXPECT_EQ(model.step(Double, Basic, 3, 7, p), p == c.to ? StepFreezeStart : StepEmpty)
                << "transform " << int(c.t) << " from " << c.from << " panel " << p;
    }

    // An arrow and a freeze start trading places both survive; a panel the
    // transform does not move keeps its freeze start.
    clearBar(model, Single, Basic, 3);
    model.setStep(Single, Basic, 3, 9, PanelUp, StepArrow);
    model.setStep(Single, Basic, 3, 9, PanelDown, StepFreezeStart);
    model.setStep(Single, Basic, 3, 9, PanelLeft, StepFreezeStart);
    transformBar(model, Single, Basic, 3, BarTransform::Flip);
    EXPECT_EQ(model.step(Single, Basic, 3, 9, PanelDown), StepArrow);
    EXPECT_EQ(model.step(Single, Basic, 3, 9, PanelUp), StepFreezeStart);
    EXPECT_EQ(model.step(Single, Basic, 3, 9, PanelLeft), StepFreezeStart);
}

// Every note travels with its panel, keeping its kind and its row, also
// between the 32nd rows.
TEST_F(BarOps, EveryNoteKindTravelsWithItsPanel) {
    model.setStep(Single, Basic, 3, 7, PanelLeft, StepFreezeStart);
    model.setStep(Single, Basic, 3, 7, PanelDown, StepFreezeStart);
    transformBar(model, Single, Basic, 3, BarTransform::Mirror);
    EXPECT_EQ(model.step(Single, Basic, 3, 7, PanelLeft), StepEmpty);
    EXPECT_EQ(model.step(Single, Basic, 3, 7, PanelRight), StepFreezeStart);
    EXPECT_EQ(model.step(Single, Basic, 3, 7, PanelDown), StepFreezeStart);

    ChartSteps steps;
    steps.setKind(3, 5, PanelLeft, NoteKind::Mine);
    steps.setKind(3, 100, PanelUp, NoteKind::RollStart);
    steps.setKind(4, 0, PanelLeft, NoteKind::Lift); // another bar: stays
    model.swapChartSteps(Double, Another, steps);
    transformBar(model, Double, Another, 3, BarTransform::Turn);
    const ChartSteps& after = model.chartSteps(Double, Another);
    EXPECT_EQ(after.kindAt(3, 5, PanelUp), NoteKind::Mine);
    EXPECT_EQ(after.kindAt(3, 100, PanelRight), NoteKind::RollStart);
    EXPECT_EQ(after.kindAt(4, 0, PanelLeft), NoteKind::Lift);
    EXPECT_EQ(after.size(), 3u);
}

// Bar operations move every note of a bar past bar 100 and at any row.
TEST_F(BarOps, InsertAndDeleteMoveFineNotesPastBar100) {
    ChartSteps steps;
    steps.setKind(150, 7, PanelRight, NoteKind::Mine);
    steps.setKind(kMaxBars, 0, PanelLeft, NoteKind::Arrow);
    model.swapChartSteps(Single, Maniac, steps);
    insertBar(model, Single, Maniac, 120);
    EXPECT_EQ(model.chartSteps(Single, Maniac).kindAt(151, 7, PanelRight), NoteKind::Mine);
    // The chart's last bar moved past its end and is gone.
    EXPECT_EQ(model.chartSteps(Single, Maniac).size(), 1u);
    deleteBar(model, Single, Maniac, 2);
    EXPECT_EQ(model.chartSteps(Single, Maniac).kindAt(150, 7, PanelRight), NoteKind::Mine);
    clearBar(model, Single, Maniac, 150);
    EXPECT_TRUE(model.chartSteps(Single, Maniac).empty());
}

// ---- play position ----

namespace {

struct PositionCase {
    const char* what;
    int bar;
    double start, end;
};

} // namespace

TEST_F(BarOps, PlayPositionsFollowBpmGapAndTempoEvents) {
    model.setField(SummaryField::Bpm, QStringLiteral("120"));
    model.setField(SummaryField::Gap, QStringLiteral("1000"));
    // Whatever chart is being edited, tempo events are read from Single Basic.

    const PositionCase plain[] = {
        {"bar 1 starts at the gap", 1, 1000, 3000},
        {"bar 3", 3, 5000, 7000},
        {"bar 100", 100, 1000 + 99 * 2000, 1000 + 100 * 2000},
    };
    for (const auto& c : plain) {
        const auto r = barPlayPosition(model, c.bar);
        ASSERT_EQ(r.status, PlayPositionStatus::Ok) << c.what;
        EXPECT_DOUBLE_EQ(r.position.start, c.start) << c.what;
        EXPECT_DOUBLE_EQ(r.position.end, c.end) << c.what;
    }

    model.setTempo(Single, Basic, 2, 1, BPMCHANNEL, 60);
    auto r = barPlayPosition(model, 3);
    EXPECT_DOUBLE_EQ(r.position.start, 1000 + 4 * 500 + 4 * 1000);
    EXPECT_DOUBLE_EQ(r.position.end, 1000 + 4 * 500 + 8 * 1000);
    model.clearTempo(Single, Basic, 2, 1, BPMCHANNEL);

    // A change on beat 3 of the played bar shortens only its last two beats.
    model.setTempo(Single, Basic, 3, 3, BPMCHANNEL, 240);
    r = barPlayPosition(model, 3);
    EXPECT_DOUBLE_EQ(r.position.start, 5000);
    EXPECT_DOUBLE_EQ(r.position.end, 5000 + 2 * 500 + 2 * 250);
    model.clearTempo(Single, Basic, 3, 3, BPMCHANNEL);

    model.setTempo(Single, Basic, 1, 3, FREEZECHANNEL, 250);
    r = barPlayPosition(model, 2);
    EXPECT_DOUBLE_EQ(r.position.start, 3250);
    EXPECT_DOUBLE_EQ(r.position.end, 5250);
    r = barPlayPosition(model, 1); // a freeze inside the played bar moves only its end
    EXPECT_DOUBLE_EQ(r.position.start, 1000);
    EXPECT_DOUBLE_EQ(r.position.end, 3250);

    // Events in the edited chart's own tempo panels are not the song's.
    model.setTempo(Double, Maniac, 1, 1, BPMCHANNEL, 30);
    EXPECT_DOUBLE_EQ(barPlayPosition(model, 2).position.start, 3250);
}

TEST_F(BarOps, PlayPositionRefusesABpmOrGapWithoutANumber) {
    const struct {
        const char* bpm;
        const char* gap;
        PlayPositionStatus status;
    } cases[] = {
        {"0", "0", PlayPositionStatus::BadBpm},          {"", "0", PlayPositionStatus::BadBpm},
        {"abc", "0", PlayPositionStatus::BadBpm},        {"-120", "0", PlayPositionStatus::BadBpm},
        {"120", "", PlayPositionStatus::BadGap},         {"120", "ms", PlayPositionStatus::BadGap},
        {"120", "-250", PlayPositionStatus::Ok},         {"120", "0", PlayPositionStatus::Ok},
        {"1e-300", "0", PlayPositionStatus::OutOfRange},
    };
    for (const auto& c : cases) {
        model.setField(SummaryField::Bpm, QString::fromLatin1(c.bpm));
        model.setField(SummaryField::Gap, QString::fromLatin1(c.gap));
        EXPECT_EQ(barPlayPosition(model, 2).status, c.status) << c.bpm << " / " << c.gap;
    }
}

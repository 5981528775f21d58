// The press-to-cell arithmetic of the step grid and the press table.
#include "core/edit/gridgeometry.h"
#include "core/edit/snaps.h"
#include "core/song/songmodel.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

using namespace kolvo;
using namespace kolvo::grid;

namespace {

struct PressCase {
    float x, y;
    int style;
    std::optional<Cell> expected;
};

class CellAtTwips : public ::testing::TestWithParam<PressCase> {};

TEST_P(CellAtTwips, MapsPressToCell) {
    const PressCase& c = GetParam();
    EXPECT_EQ(cellAtTwips(c.x, c.y, c.style), c.expected)
        << "x=" << c.x << " y=" << c.y << " style=" << c.style;
}

constexpr float kRow1 = 1200.f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kHuge = 3.0e38f;

INSTANTIATE_TEST_SUITE_P(
    Edges, CellAtTwips,
    ::testing::Values(
        // Columns of the first pad and the gap between the pads.
        PressCase{1440.f, kRow1, Double, Cell{1, 1}},
        PressCase{1439.f, kRow1, Double, std::nullopt},
        PressCase{1919.f, kRow1, Double, Cell{1, 1}}, PressCase{4319.f, kRow1, Double, Cell{1, 6}},
        PressCase{4320.f, kRow1, Double, Cell{1, 6}}, // the gap lands in 6
        PressCase{4400.f, kRow1, Double, Cell{1, 6}}, PressCase{4559.f, kRow1, Double, Cell{1, 6}},
        PressCase{4560.f, kRow1, Double, Cell{1, 7}}, PressCase{6479.f, kRow1, Double, Cell{1, 10}},
        PressCase{6480.f, kRow1, Double, std::nullopt},
        // Rows: the first and last pixel lines of the grid, and one past.
        PressCase{1500.f, 1199.f, Double, std::nullopt},
        PressCase{1500.f, 1200.f, Double, Cell{1, 1}},
        PressCase{1500.f, 1319.f, Double, Cell{1, 1}},
        PressCase{1500.f, 1320.f, Double, Cell{2, 1}},
        PressCase{1500.f, 5039.f, Double, Cell{32, 1}},
        PressCase{1500.f, 5040.f, Double, std::nullopt},
        // Fractions of a twip (pixel positions times 15 are not always whole).
        PressCase{1439.5f, kRow1, Double, std::nullopt},
        PressCase{1500.f, 1199.9f, Double, std::nullopt},
        // Far outside the window, and values that are not numbers.
        PressCase{-kHuge, kRow1, Double, std::nullopt},
        PressCase{kHuge, kRow1, Double, std::nullopt},
        PressCase{1500.f, kHuge, Double, std::nullopt},
        PressCase{kNaN, kRow1, Double, std::nullopt}, PressCase{1500.f, kNaN, Double, std::nullopt},
        // Columns a style does not use change nothing.
        PressCase{1440.f + 480.f * 1, kRow1, Single, std::nullopt}, // 2
        PressCase{1440.f + 480.f * 4, kRow1, Single, std::nullopt}, // 5
        PressCase{4560.f, kRow1, Single, std::nullopt},             // 7
        PressCase{6000.f, kRow1, Single, std::nullopt},             // 10
        PressCase{4400.f, kRow1, Single, Cell{1, 6}},
        PressCase{1440.f + 480.f * 1, kRow1, Couple, std::nullopt},
        PressCase{1440.f + 480.f * 1, kRow1, Solo, Cell{1, 2}},
        PressCase{1440.f + 480.f * 4, kRow1, Solo, Cell{1, 5}},
        PressCase{4560.f, kRow1, Solo, std::nullopt}, PressCase{6479.f, kRow1, Solo, std::nullopt},
        PressCase{2000.f, kRow1, 0, std::nullopt}));

TEST(StyleColumns, EachStyleUsesItsPanels) {
    // Per style, a character per column 1..10: the column number when used.
    const char* used[] = {nullptr, "1.34.6....", "1.34.67890", "1.34.67890", "123456...."};
    for (int style = 1; style <= 4; ++style)
        for (int column = 1; column <= 10; ++column)
            EXPECT_EQ(styleUsesColumn(style, column), used[style][column - 1] != '.')
                << "style " << style << " column " << column;
    EXPECT_FALSE(styleUsesColumn(1, 0));
    EXPECT_FALSE(styleUsesColumn(4, 11));
}

TEST(PressTable, LeftTogglesArrowRightTogglesFreezeStart) {
    struct Row {
        std::uint8_t value;
        PressButton button;
        std::optional<std::uint8_t> written;
    };
    const Row rows[] = {
        {0, PressButton::Left, 1},
        {0, PressButton::Right, 2},
        {1, PressButton::Left, 0},
        {1, PressButton::Right, 2},
        {2, PressButton::Left, 1},
        {2, PressButton::Right, 0},
        {0, PressButton::Other, std::nullopt},
        {2, PressButton::Other, std::nullopt},
        {3, PressButton::Left, std::nullopt},
        {7, PressButton::Right, std::nullopt},
    };
    for (const Row& r : rows)
        EXPECT_EQ(valueAfterPress(r.value, r.button), r.written)
            << "value " << int(r.value) << " button " << int(r.button);
}

} // namespace

namespace {

TEST(Snaps, PressLandsOnTheSnapsRow) {
    struct Row {
        float x, y;
        int snap;
        std::optional<Place> expected;
    };
    const Row rows[] = {
        {1500.f, 1200.f, 12, Place{1, 0}},  {1500.f, 1519.f, 12, Place{1, 0}},
        {1500.f, 1520.f, 12, Place{1, 16}}, {1500.f, 5039.f, 12, Place{1, 176}},
        {1500.f, 5040.f, 12, std::nullopt}, {1500.f, 1199.f, 12, std::nullopt},
        {1500.f, 1360.f, 24, Place{1, 8}},  {1500.f, 1219.f, 192, Place{1, 0}},
        {1500.f, 1220.f, 192, Place{1, 1}}, {1500.f, 5039.f, 192, Place{1, 191}},
        {1500.f, 2160.f, 4, Place{1, 48}},  {4400.f, 1500.f, 64, Place{6, 15}},
        {1500.f, 1500.f, 5, std::nullopt},  {kNaN, 1500.f, 48, std::nullopt},
        {1500.f, kHuge, 64, std::nullopt},  {2400.f, 1500.f, 16, Place{3, 12}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(placeAtTwips(r.x, r.y, Double, r.snap), r.expected)
            << "x=" << r.x << " y=" << r.y << " snap " << r.snap;
    // A column the style does not use takes no press at any snap.
    EXPECT_EQ(placeAtTwips(1920.f, 1500.f, Single, 12), std::nullopt);
}

TEST(Snaps, At32RowsAPressLandsWhereTheOldGridPutIt) {
    for (float y = 1190.f; y <= 5050.f; y += 7.5f)
        for (float x : {1430.f, 1440.f, 4330.f, 4560.f, 6479.f}) {
            const auto cell = cellAtTwips(x, y, Double);
            const auto place = placeAtTwips(x, y, Double, kDefaultSnap);
            ASSERT_EQ(cell.has_value(), place.has_value()) << x << "," << y;
            if (cell) {
                EXPECT_EQ(*place, (Place{cell->column, (cell->row - 1) * kFinePerRow}));
            }
        }
}

TEST(Snaps, EachRowBelongsToItsCoarsestSnapAndTheKeysStepThroughThem) {
    const std::pair<int, int> ofRow[] = {{0, 4},   {48, 4}, {24, 8},  {16, 12}, {32, 12},
                                         {12, 16}, {8, 24}, {6, 32},  {18, 32}, {4, 48},
                                         {3, 64},  {9, 64}, {1, 192}, {2, 192}, {191, 192}};
    for (auto [fine, snap] : ofRow)
        EXPECT_EQ(snapOfFineRow(fine), snap) << "fine row " << fine;

    const std::tuple<int, int, int> steps[] = {{4, -1, 4},    {4, 1, 8},           {32, -1, 24},
                                               {32, 1, 48},   {64, 1, 192},        {192, 1, 192},
                                               {192, -1, 64}, {7, 1, kDefaultSnap}};
    for (auto [from, direction, to] : steps)
        EXPECT_EQ(stepSnap(from, direction), to) << from << " " << direction;
}

TEST(Snaps, APressWritesTheChosenKindOrRemovesTheSameOne) {
    // The old grid's buttons: left chooses an arrow, right a freeze start.
    for (std::uint8_t v : {0, 1, 2})
        for (auto [button, chosen] : {std::pair{PressButton::Left, NoteKind::Arrow},
                                      std::pair{PressButton::Right, NoteKind::FreezeStart}})
            EXPECT_EQ(std::uint8_t(kindAfterPress(NoteKind(v), chosen)),
                      valueAfterPress(v, button).value())
                << int(v);
    EXPECT_EQ(kindAfterPress(NoteKind::Mine, NoteKind::Mine), NoteKind::None);
    EXPECT_EQ(kindAfterPress(NoteKind::Mine, NoteKind::Arrow), NoteKind::Arrow);
    EXPECT_EQ(kindAfterPress(NoteKind::None, NoteKind::Fake), NoteKind::Fake);
}

} // namespace

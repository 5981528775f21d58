// The press-to-cell arithmetic of the step grid and the press table.
#include "core/edit/gridgeometry.h"
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

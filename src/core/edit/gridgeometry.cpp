#include "core/edit/gridgeometry.h"

#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <cmath>

namespace kolvo::grid {

bool styleUsesColumn(int style, int column) {
    // Column n shows panel n.
    return column >= 1 && column <= kColumnsShown && styleUsesPanel(style, column);
}

namespace {

// Int() of the old arithmetic: the largest whole number not above v, kept
// as a float so a press far outside the window cannot overflow an int.
float wholePart(float v) {
    return std::floor(v);
}

bool inRange(float v, int low, int high) {
    return v >= float(low) && v <= float(high); // false for NaN too
}

} // namespace

std::optional<Cell> cellAtTwips(float x, float y, int style) {
    const float origin = float(kOriginX);
    const float pitch = float(kColumnPitch);
    float column = wholePart((x - origin) / pitch + 1.0f);
    if (column > 6.0f)
        column = wholePart((x - origin - float(kGapWidth)) / pitch + 1.0f);
    const float row = wholePart((y - float(kOriginY)) / float(kRowPitch) + 1.0f);
    if (!inRange(column, 1, kColumnsShown) || !inRange(row, 1, kRowsShown))
        return std::nullopt;
    const Cell cell{int(row), int(column)};
    if (!styleUsesColumn(style, cell.column))
        return std::nullopt;
    return cell;
}

std::optional<std::uint8_t> valueAfterPress(std::uint8_t value, PressButton button) {
    if (button == PressButton::Other)
        return std::nullopt;
    const bool left = button == PressButton::Left;
    switch (value) {
    case StepEmpty:
        return left ? StepArrow : StepFreezeStart;
    case StepArrow:
        return left ? StepEmpty : StepFreezeStart;
    case StepFreezeStart:
        return left ? StepArrow : StepEmpty;
    default:
        return std::nullopt;
    }
}

} // namespace kolvo::grid

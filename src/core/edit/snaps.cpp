#include "core/edit/snaps.h"

#include <cmath>

namespace kolvo::grid {

int snapOfFineRow(int fineRow) {
    for (int snap : kSnaps)
        if (fineRow % fineStep(snap) == 0)
            return snap;
    return kFineRows;
}

int stepSnap(int snap, int direction) {
    std::size_t i = 0;
    while (i < kSnaps.size() && kSnaps[i] != snap)
        ++i;
    if (i == kSnaps.size())
        return kDefaultSnap;
    if (direction > 0 && i + 1 < kSnaps.size())
        return kSnaps[i + 1];
    if (direction < 0 && i > 0)
        return kSnaps[i - 1];
    return snap;
}

std::optional<Place> placeAtTwips(float x, float y, int style, int snap) {
    if (!validSnap(snap))
        return std::nullopt;
    if (snap == kDefaultSnap) {
        const auto cell = cellAtTwips(x, y, style);
        if (!cell)
            return std::nullopt;
        return Place{cell->column, (cell->row - 1) * kFinePerRow};
    }
    // The column arithmetic is the old grid's; only the rows change pitch.
    const auto cell = cellAtTwips(x, float(kOriginY), style);
    if (!cell)
        return std::nullopt;
    const float row = std::floor((y - float(kOriginY)) / float(rowPitchAt(snap)));
    if (!(row >= 0.0f && row <= float(snap - 1))) // false for NaN too
        return std::nullopt;
    return Place{cell->column, int(row) * fineStep(snap)};
}

NoteKind kindAfterPress(NoteKind current, NoteKind chosen) {
    return current == chosen ? NoteKind::None : chosen;
}

} // namespace kolvo::grid

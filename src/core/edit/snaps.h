#pragma once

#include "core/edit/gridgeometry.h"
#include "core/song/chartsteps.h"

#include <array>
#include <optional>

// Snaps: how many rows of a bar the step grid shows. The whole bar always
// fills the grid's height; at 32 rows (the default) the grid is the old one,
// cell for cell.
namespace kolvo::grid {

inline constexpr std::array<int, 9> kSnaps{4, 8, 12, 16, 24, 32, 48, 64, 192};
constexpr int kDefaultSnap = 32;
constexpr int kGridHeight = kGridBottom - kOriginY; // twips, a whole bar

constexpr bool validSnap(int snap) {
    for (int s : kSnaps)
        if (s == snap)
            return true;
    return false;
}
// Fine rows between two rows of the snap, and the rows' pitch in twips.
constexpr int fineStep(int snap) {
    return kFineRows / snap;
}
constexpr int rowPitchAt(int snap) {
    return kGridHeight / snap;
}
// The coarsest snap a fine row (0..191) of a bar lies on: 4 on a beat, 192
// on a row no coarser snap has. Notes are coloured by it.
int snapOfFineRow(int fineRow);
// The next finer (direction > 0) or coarser (< 0) snap; the ends stay.
int stepSnap(int snap, int direction);

// A place of the grid at a snap: a column (1..10) and the fine row (0..191)
// of the snap's row under the press.
struct Place {
    int column = 0;
    int fineRow = 0;
    bool operator==(const Place&) const = default;
};
// The place under a press at (x, y) twips at `snap`, or nothing outside the
// grid or on a column the style does not use. At 32 rows this is exactly
// cellAtTwips().
std::optional<Place> placeAtTwips(float x, float y, int style, int snap);

// What a press that chose `chosen` writes on a place holding `current`: the
// chosen kind, or nothing (removal) when the place already holds it. With
// Arrow for the left button and FreezeStart for the right one this is
// valueAfterPress() on the old grid's values.
NoteKind kindAfterPress(NoteKind current, NoteKind chosen);

} // namespace kolvo::grid

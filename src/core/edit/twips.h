#pragma once

namespace kolvo {

// Window layouts and the step grid's cells are given in twips, 15 to a
// pixel on the screen.
constexpr int kTwipsPerPixel = 15;

// A length or position in twips, in whole pixels (rounded down).
constexpr int twips(int t) {
    return t / kTwipsPerPixel;
}

} // namespace kolvo

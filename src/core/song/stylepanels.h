#pragma once

#include "core/song/songmodel.h"

#include <algorithm>
#include <span>

namespace kolvo {

// The arrow panels each style's charts use, left to right in the order the
// simulators number their columns. Single uses one pad's four arrows,
// Double and Couple both pads' (the first pad, then the second), Solo the
// six of one pad with its diagonals.
inline constexpr int kTwoPadPanels[] = {PanelLeft,  PanelDown,  PanelUp,  PanelRight,
                                        PanelLeft2, PanelDown2, PanelUp2, PanelRight2};
inline constexpr int kSoloPanels[] = {PanelLeft, PanelUpLeft,  PanelDown,
                                      PanelUp,   PanelUpRight, PanelRight};
inline constexpr std::span<const int> kFirstPadPanels = std::span(kTwoPadPanels).first<4>();
inline constexpr std::span<const int> kSecondPadPanels = std::span(kTwoPadPanels).last<4>();

// Empty for a style outside 1..4.
constexpr std::span<const int> stylePanels(int style) {
    switch (style) {
    case Single:
        return kFirstPadPanels;
    case Double:
    case Couple:
        return kTwoPadPanels;
    case Solo:
        return kSoloPanels;
    default:
        return {};
    }
}

constexpr bool styleUsesPanel(int style, int panel) {
    const std::span<const int> panels = stylePanels(style);
    return std::find(panels.begin(), panels.end(), panel) != panels.end();
}

} // namespace kolvo

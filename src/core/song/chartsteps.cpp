#include "core/song/chartsteps.h"

#include <algorithm>

namespace kolvo {

namespace {
bool before(const Note& a, Tick t, int panel) {
    return a.tick < t || (a.tick == t && a.panel < panel);
}
} // namespace

NoteKind ChartSteps::kindAtTick(Tick t, int panel) const {
    if (!validPlace(t, panel))
        return NoteKind::None;
    const auto it = std::lower_bound(m_notes.begin(), m_notes.end(), 0,
                                     [&](const Note& n, int) { return before(n, t, panel); });
    return it != m_notes.end() && it->tick == t && it->panel == panel ? it->kind : NoteKind::None;
}

void ChartSteps::setKindAtTick(Tick t, int panel, NoteKind kind) {
    if (!validPlace(t, panel) || std::uint8_t(kind) >= kNoteKinds)
        return;
    if (m_unsorted)
        finish();
    const auto it = std::lower_bound(m_notes.begin(), m_notes.end(), 0,
                                     [&](const Note& n, int) { return before(n, t, panel); });
    const bool found = it != m_notes.end() && it->tick == t && it->panel == panel;
    if (kind == NoteKind::None) {
        if (found)
            m_notes.erase(it);
    } else if (found) {
        it->kind = kind;
    } else {
        m_notes.insert(it, Note{t, std::uint8_t(panel), kind});
    }
}

NoteKind ChartSteps::kindAt(int bar, int fineRow, int panel) const {
    if (bar < 1 || bar > kMaxBars || fineRow < 0 || fineRow >= kFineRows)
        return NoteKind::None;
    return kindAtTick(tickOf(bar, fineRow), panel);
}

void ChartSteps::setKind(int bar, int fineRow, int panel, NoteKind kind) {
    if (bar < 1 || bar > kMaxBars || fineRow < 0 || fineRow >= kFineRows)
        return;
    setKindAtTick(tickOf(bar, fineRow), panel, kind);
}

void ChartSteps::set(int bar, int row, int panel, std::uint8_t value) {
    if (bar < 1 || bar > kMaxBars || row < 1 || row > kRows || value >= kNoteKinds)
        return;
    setKindAtTick(tickOfRow(bar, row), panel, NoteKind(value));
}

std::span<const Note> ChartSteps::notesBetween(Tick first, Tick last) const {
    const auto lo = std::lower_bound(m_notes.begin(), m_notes.end(), first,
                                     [](const Note& n, Tick t) { return n.tick < t; });
    const auto hi =
        std::upper_bound(lo, m_notes.end(), last, [](Tick t, const Note& n) { return t < n.tick; });
    return {lo, hi};
}

bool ChartSteps::withinOldLimits() const {
    if (!m_notes.empty() && m_notes.back().tick >= tickOf(kBars + 1, 0))
        return false;
    return std::all_of(m_notes.begin(), m_notes.end(), [](const Note& n) {
        return n.tick % kFinePerRow == 0 && n.panel <= 10 &&
               (n.kind == NoteKind::Arrow || n.kind == NoteKind::FreezeStart);
    });
}

void ChartSteps::append(const Note& n) {
    if (!validPlace(n.tick, n.panel) || std::uint8_t(n.kind) >= kNoteKinds)
        return;
    if (!m_notes.empty() && !m_unsorted && !before(m_notes.back(), n.tick, n.panel))
        m_unsorted = true;
    m_notes.push_back(n);
}

void ChartSteps::finish() {
    if (m_unsorted) {
        // Stable, so of two notes at one place the later one is kept.
        std::stable_sort(m_notes.begin(), m_notes.end(),
                         [](const Note& a, const Note& b) { return before(a, b.tick, b.panel); });
        std::vector<Note> kept;
        kept.reserve(m_notes.size());
        for (const Note& n : m_notes) {
            if (!kept.empty() && kept.back().tick == n.tick && kept.back().panel == n.panel)
                kept.back() = n;
            else
                kept.push_back(n);
        }
        m_notes.swap(kept);
        m_unsorted = false;
    }
    std::erase_if(m_notes, [](const Note& n) { return n.kind == NoteKind::None; });
}

} // namespace kolvo

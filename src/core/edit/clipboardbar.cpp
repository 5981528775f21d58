#include "core/edit/clipboardbar.h"

#include "core/song/songmodel.h"

#include <QStringView>

#include <algorithm>
#include <span>

namespace kolvo {

namespace {

// Whether the bar's notes fit the bar form: arrows and freeze starts on the
// 32nd rows of panels 1..10.
bool fitsBarForm(std::span<const Note> notes) {
    for (const Note& n : notes)
        if (n.panel <= kArrowPanels &&
            (n.tick % kFinePerRow != 0 || n.kind > NoteKind::FreezeStart))
            return false;
    return true;
}

QString notesText(std::span<const Note> notes) {
    QString text = QLatin1String(kClipboardNotesHeader);
    for (const Note& n : notes) {
        if (n.panel > kArrowPanels)
            continue;
        text += QStringLiteral("%1:%2:%3,")
                    .arg(fineRowOfTick(n.tick))
                    .arg(int(n.panel))
                    .arg(int(n.kind));
    }
    return text;
}

// A whole number lo..hi written in plain digits (at most three).
std::optional<int> smallNumber(QStringView t, int lo, int hi) {
    if (t.isEmpty() || t.size() > 3)
        return std::nullopt;
    int v = 0;
    for (QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
    }
    if (v < lo || v > hi)
        return std::nullopt;
    return v;
}

std::optional<std::vector<Note>> notesFromNotesText(QStringView body) {
    std::vector<Note> notes;
    std::vector<bool> taken(std::size_t(kFineRows) * (kArrowPanels + 1), false);
    qsizetype pos = 0;
    while (pos < body.size()) {
        const qsizetype comma = body.indexOf(QLatin1Char(','), pos);
        if (comma < 0) {
            // Only a line end may follow the last field.
            if (!body.mid(pos).trimmed().isEmpty())
                return std::nullopt;
            break;
        }
        const QStringView field = body.mid(pos, comma - pos);
        pos = comma + 1;
        const qsizetype c1 = field.indexOf(QLatin1Char(':'));
        const qsizetype c2 = c1 < 0 ? -1 : field.indexOf(QLatin1Char(':'), c1 + 1);
        if (c2 < 0)
            return std::nullopt;
        const auto row = smallNumber(field.left(c1), 0, kFineRows - 1);
        const auto panel = smallNumber(field.mid(c1 + 1, c2 - c1 - 1), 1, kArrowPanels);
        const auto kind = smallNumber(field.mid(c2 + 1), 1, kNoteKinds - 1);
        if (!row || !panel || !kind)
            return std::nullopt;
        const std::size_t place = std::size_t(*row) * (kArrowPanels + 1) + std::size_t(*panel);
        if (taken[place])
            return std::nullopt;
        taken[place] = true;
        notes.push_back({Tick(*row), std::uint8_t(*panel), NoteKind(*kind)});
    }
    std::sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.panel < b.panel;
    });
    return notes;
}

} // namespace

QString clipboardTextFromBar(const SongModel& m, int s, int l, int bar) {
    return ChartId{s, l}.hasSlot() ? clipboardTextFromBar(m, SongModel::slotOf(s, l), bar)
                                   : clipboardTextFromBar(m, -1, bar);
}

QString clipboardTextFromBar(const SongModel& m, int slot, int bar) {
    const std::span<const Note> notes = m.chartSteps(slot).notesOfBar(bar);
    if (!fitsBarForm(notes))
        return notesText(notes);
    QString text;
    text.reserve(int(sizeof kClipboardBarHeader) - 1 + 2 * kClipboardBarFields);
    text += QLatin1String(kClipboardBarHeader);
    for (int r = 1; r <= kRows; ++r) {
        for (int p = 1; p <= kArrowPanels; ++p) {
            text += QString::number(m.step(slot, bar, r, p));
            text += QLatin1Char(',');
        }
    }
    return text;
}

std::optional<BarCells> barCellsFromClipboardText(const QString& text) {
    const QLatin1String header(kClipboardBarHeader);
    if (!text.startsWith(header, Qt::CaseSensitive))
        return std::nullopt;

    BarCells cells{};
    int field = 0;
    qsizetype pos = header.size();
    while (field < kClipboardBarFields) {
        const qsizetype comma = text.indexOf(QLatin1Char(','), pos);
        if (comma < 0)
            return std::nullopt; // fewer than 320 complete fields
        if (comma - pos != 1)
            return std::nullopt;
        const QChar c = text.at(pos);
        if (c < QLatin1Char('0') || c > QLatin1Char('2'))
            return std::nullopt;
        cells[std::size_t(field)] = std::uint8_t(c.unicode() - '0');
        ++field;
        pos = comma + 1;
    }
    return cells;
}

void pasteBarCells(ChartSteps& c, int bar, const BarCells& cells, PasteMode mode) {
    std::size_t i = 0;
    for (int r = 1; r <= kRows; ++r) {
        for (int p = 1; p <= kArrowPanels; ++p, ++i) {
            if (mode == PasteMode::Merge && c.at(bar, r, p) != 0)
                continue;
            c.set(bar, r, p, cells[i]);
        }
    }
}

std::optional<std::vector<Note>> barNotesFromClipboardText(const QString& text) {
    const QLatin1String notesHeader(kClipboardNotesHeader);
    if (text.startsWith(notesHeader, Qt::CaseSensitive))
        return notesFromNotesText(QStringView(text).mid(notesHeader.size()));
    const auto cells = barCellsFromClipboardText(text);
    if (!cells)
        return std::nullopt;
    std::vector<Note> notes;
    std::size_t i = 0;
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p, ++i)
            if ((*cells)[i] != 0)
                notes.push_back(
                    {Tick((r - 1) * kFinePerRow), std::uint8_t(p), NoteKind((*cells)[i])});
    return notes;
}

void pasteBarNotes(ChartSteps& c, int bar, const std::vector<Note>& notes, PasteMode mode) {
    if (bar < 1 || bar > kMaxBars)
        return;
    if (mode == PasteMode::Replace) {
        std::vector<Note> gone;
        for (const Note& n : c.notesOfBar(bar))
            if (n.panel <= kArrowPanels)
                gone.push_back(n);
        for (const Note& n : gone)
            c.setKindAtTick(n.tick, n.panel, NoteKind::None);
    }
    for (const Note& n : notes) {
        const Tick t = tickOf(bar, int(n.tick));
        if (mode == PasteMode::Merge && c.kindAtTick(t, n.panel) != NoteKind::None)
            continue;
        c.setKindAtTick(t, n.panel, n.kind);
    }
}

void pasteBarCells(SongModel& m, int s, int l, int bar, const BarCells& cells, PasteMode mode) {
    if (!ChartId{s, l}.hasSlot())
        return;
    ChartSteps copy = m.chartSteps(s, l);
    pasteBarCells(copy, bar, cells, mode);
    m.swapChartSteps(s, l, copy);
}

} // namespace kolvo

#include "core/edit/clipboardbar.h"

#include "core/song/songmodel.h"

namespace kolvo {

QString clipboardTextFromBar(const SongModel& m, int s, int l, int bar) {
    QString text;
    text.reserve(int(sizeof kClipboardBarHeader) - 1 + 2 * kClipboardBarFields);
    text += QLatin1String(kClipboardBarHeader);
    for (int r = 1; r <= kRows; ++r) {
        for (int p = 1; p <= kArrowPanels; ++p) {
            text += QString::number(m.step(s, l, bar, r, p));
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

void pasteBarCells(SongModel& m, int s, int l, int bar, const BarCells& cells, PasteMode mode) {
    if (!ChartId{s, l}.hasSlot())
        return;
    ChartSteps copy = m.chartSteps(s, l);
    pasteBarCells(copy, bar, cells, mode);
    m.swapChartSteps(s, l, copy);
}

} // namespace kolvo

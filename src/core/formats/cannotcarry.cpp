#include "core/formats/cannotcarry.h"

#include "core/dwi/dwiwriter.h"
#include "core/sm/smwriter.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <algorithm>
#include <span>

namespace kolvo {

namespace {

QString counted(int n, const char* one, const char* many) {
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                  : QStringLiteral("%1 %2").arg(n).arg(QLatin1String(many));
}

QString tagNames(const KeptTags& tags, const QByteArrayList& skip) {
    QStringList names;
    for (const auto& [tag, value] : tags)
        if (!skip.contains(tag) && !names.contains(QLatin1Char('#') + QString::fromLatin1(tag)))
            names << QLatin1Char('#') + QString::fromLatin1(tag);
    return names.join(QStringLiteral(", "));
}

// Freezes of one pad's rows that a DWI group of three or more arrows cannot
// hold: the second, fourth, ... freeze of such a row.
int groupFreezesLost(const Chart& c) {
    if (!c.dance())
        return 0;
    const std::span<const int> panels = stylePanels(c.style);
    const int halves = c.style == Double || c.style == Couple ? 2 : 1;
    const std::size_t width = panels.size() / std::size_t(halves);
    int lost = 0;
    const std::span<const Note> notes = c.steps.notes();
    for (std::size_t i = 0; i < notes.size();) {
        std::size_t j = i;
        while (j < notes.size() && notes[j].tick == notes[i].tick)
            ++j;
        for (int h = 0; h < halves; ++h) {
            const std::span<const int> half = panels.subspan(std::size_t(h) * width, width);
            int struck = 0, freezes = 0;
            for (std::size_t k = i; k < j; ++k) {
                const NoteKind kind = notes[k].kind;
                if (std::find(half.begin(), half.end(), int(notes[k].panel)) == half.end())
                    continue;
                if (kind == NoteKind::Arrow || kind == NoteKind::Lift)
                    ++struck;
                if (kind == NoteKind::FreezeStart || kind == NoteKind::RollStart) {
                    ++struck;
                    ++freezes;
                }
            }
            if (struck >= 3)
                lost += freezes / 2;
        }
        i = j;
    }
    return lost;
}

} // namespace

QStringList cannotCarryLines(const SongModel& m, const CarryRules& rules) {
    QStringList lines;
    const TimingData& extras = rules.timing ? *rules.timing : m.songTimingExtras();
    if (rules.delays && !extras.delays.empty())
        lines << QStringLiteral("the song's delays (%1)").arg(extras.delays.size());
    if (rules.warps && !extras.warps.empty())
        lines << QStringLiteral("the song's warps (%1)").arg(extras.warps.size());
    if (!rules.anyKeptTiming) {
        const QString names = tagNames(extras.kept, rules.keptTimingTags);
        if (!names.isEmpty())
            lines << QStringLiteral("the song's timing segments %1").arg(names);
    }
    if (rules.keptHeader) {
        const QString names = tagNames(m.keptHeader(), {});
        if (!names.isEmpty())
            lines << QStringLiteral("the song's tags %1").arg(names);
    }
    for (ChartSlot s = 0; s < m.chartSlots(); ++s) {
        if (!m.usedSlot(s) || !m.chart(s).hasData())
            continue;
        const Chart& c = m.chart(s);
        const QString name = c.name();
        if (rules.editCharts && c.level == Edit && c.dance()) {
            lines << QStringLiteral("%1: the whole chart (Edit charts have no place)").arg(name);
            continue;
        }
        if (rules.otherGames && !c.dance()) {
            lines << QStringLiteral("%1: the whole chart (another game's charts have no place)")
                         .arg(name);
            continue;
        }
        const QString meter = trimmedBlanks(c.footlevels.toText());
        // An empty foot level (never set) is simply 1; anything else that is
        // not a whole number changes.
        if (rules.wholeMeter && !meter.isEmpty() &&
            QString::number(smMeterOfFootLevel(meter)) != meter)
            lines << QStringLiteral("%1: the foot level \"%2\" (written as %3)")
                         .arg(name, c.footlevels.toText())
                         .arg(smMeterOfFootLevel(meter));
        if (rules.chartTiming && c.timing)
            lines << QStringLiteral("%1: its own timing (it plays to the song's)").arg(name);
        if (rules.keptChartTags) {
            const QString names = tagNames(c.kept, {"RADARVALUES"});
            if (!names.isEmpty())
                lines << QStringLiteral("%1: the tags %2").arg(name, names);
        }
        int mines = 0, fakes = 0, rolls = 0, lifts = 0;
        for (const Note& n : c.steps.notes()) {
            mines += n.kind == NoteKind::Mine;
            fakes += n.kind == NoteKind::Fake;
            rolls += n.kind == NoteKind::RollStart;
            lifts += n.kind == NoteKind::Lift;
        }
        QStringList what;
        if (rules.mines && mines)
            what << counted(mines, "mine", "mines");
        if (rules.mines && fakes)
            what << counted(fakes, "fake", "fakes");
        if (rules.rolls && rolls)
            what << counted(rolls, "roll (written as a freeze)", "rolls (written as freezes)");
        if (rules.lifts && lifts)
            what << counted(lifts, "lift (written as an arrow)", "lifts (written as arrows)");
        if (rules.groupFreezes)
            if (const int lost = groupFreezesLost(c))
                what << counted(lost, "freeze in a row of three or more arrows (plays as an arrow)",
                                "freezes in rows of three or more arrows (play as arrows)");
        if (!what.isEmpty())
            lines << QStringLiteral("%1: %2").arg(name, what.join(QStringLiteral(", ")));
    }
    return lines;
}

} // namespace kolvo

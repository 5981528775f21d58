#include "core/import/songbuilder.h"

#include "core/files/textcodec.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <span>

namespace kolvo {

namespace {

constexpr int kRowsPer32nd = kRowsPerBar48 / kRows; // 6
constexpr int kLastCell = kBars * kRows;            // cells 0..3199

int cellOf(int row) {
    return (row + 2) / kRowsPer32nd; // nearest 32nd row, ties to the earlier one
}

bool isSpaceByte(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// "24th" for a row 8/192 into a bar, "12th" for 16/192, ...
QString noteName(int row) {
    const int within = row % kRowsPerBar48;
    const int denominator = kRowsPerBar48 / std::gcd(within, kRowsPerBar48);
    const int lastTwo = denominator % 100;
    const char* suffix = (lastTwo >= 11 && lastTwo <= 13) ? "th"
                         : denominator % 10 == 1          ? "st"
                         : denominator % 10 == 2          ? "nd"
                         : denominator % 10 == 3          ? "rd"
                                                          : "th";
    return QString::number(denominator) + QLatin1String(suffix);
}

} // namespace

std::optional<double> leadingNumber(const QByteArray& text) {
    const char* p = text.constData();
    const char* end = p + text.size();
    while (p < end && isSpaceByte(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    const char* start = p;
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9')
        ++p, ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < end && (*q == '+' || *q == '-'))
            ++q;
        if (q < end && *q >= '0' && *q <= '9') {
            while (q < end && *q >= '0' && *q <= '9')
                ++q;
            p = q;
        }
    }
    double v = 0;
    const auto r = std::from_chars(start, p, v, std::chars_format::general);
    if (r.ec != std::errc() || !std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
}

std::optional<int> leadingInt(const QByteArray& text) {
    const char* p = text.constData();
    const char* end = p + text.size();
    while (p < end && isSpaceByte(*p))
        ++p;
    if (p < end && *p == '+')
        ++p; // from_chars takes "-" but not "+"
    int v = 0;
    const auto r = std::from_chars(p, end, v);
    if (r.ec != std::errc())
        return std::nullopt;
    return v;
}

QString fieldNumber(double value, int decimals) {
    if (decimals >= 0) {
        const double scale = std::pow(10.0, decimals);
        value = std::round(value * scale) / scale;
    }
    if (value == 0)
        value = 0; // no "-0"
    return canonicalNumberText(value);
}

TextDecoder::TextDecoder(const QByteArray& file)
    : m_utf8(isValidUtf8(file.constData(), std::size_t(file.size()))) {}

QString TextDecoder::operator()(const QByteArray& bytes) const {
    if (m_utf8)
        return QString::fromUtf8(bytes);
    return fromWindows1252(bytes.constData(), std::size_t(bytes.size()));
}

// ---------------------------------------------------------------- SongBuilder

SongBuilder::SongBuilder(SongModel& song, QList<ImportLoss>& losses)
    : m_song(song), m_losses(losses) {}

QString SongBuilder::chartName(int style, int level) {
    return styleName(style) + u' ' + levelName(level);
}

void SongBuilder::loss(const QString& chart, int row, const QString& text) {
    if (m_losses.size() >= kMaxListedLosses) {
        ++m_unlisted;
        return;
    }
    ImportLoss l;
    l.chart = chart;
    if (row >= 0) {
        l.bar = row / kRowsPerBar48 + 1;
        l.beat = row % kRowsPerBar48 / kRowsPerBeat48 + 1;
    }
    l.text = text;
    m_losses.append(l);
}

void SongBuilder::closeList() {
    if (m_unlisted > 0)
        m_losses.append(
            {QString(), -1, 0, QStringLiteral("%1 more losses not listed").arg(m_unlisted)});
}

void SongBuilder::placeChart(const ChartNotes& chart) {
    const int s = chart.style;
    const int l = chart.level;
    const QString name = chartName(s, l);
    if (chart.meter) {
        int meter = std::max(*chart.meter, 1);
        if (meter > 20) {
            loss(name, -1,
                 QStringLiteral("the meter %1 is above 20, the highest foot level; it became 20")
                     .arg(meter));
            meter = 20;
        }
        m_song.setFootlevels(s, l, Value::text(QString::number(meter)));
    }
    m_song.setDataexists(s, l, Value::number(1));

    int droppedUpTo = chart.droppedUpToBar;
    auto dropBar = [&](int row) { droppedUpTo = std::max(droppedUpTo, row / kRowsPerBar48 + 1); };
    for (int p = 1; p <= kArrowPanels; ++p) {
        int lastTail = -1; // cell of the end of the freeze placed last
        auto get = [&](int cell) {
            return m_song.step(s, l, cell / kRows + 1, cell % kRows + 1, p);
        };
        auto set = [&](int cell, std::uint8_t v) {
            m_song.setStep(s, l, cell / kRows + 1, cell % kRows + 1, p, v);
        };
        auto moved = [&](int row, const char* what) {
            if (row % kRowsPer32nd != 0)
                loss(name, row,
                     QStringLiteral("a %1 %2 moved to the nearest 32nd row")
                         .arg(noteName(row), QLatin1String(what)));
        };
        auto merged = [&](int row) {
            loss(name, row, QStringLiteral("two notes landed on one 32nd row and became one"));
        };
        // A tap or a freeze start on a cell; a start on a tap makes it a start.
        auto put = [&](int cell, int row, std::uint8_t v) {
            const std::uint8_t was = get(cell);
            if (was == 0) {
                set(cell, v);
                return;
            }
            merged(row);
            if (v == StepFreezeStart && cell != lastTail)
                set(cell, v);
        };
        for (const NoteUnit& u : chart.panels[std::size_t(p)]) {
            const int head = cellOf(u.head);
            if (head >= kLastCell) {
                dropBar(u.head);
                continue;
            }
            moved(u.head, "note");
            if (u.kind == NoteUnit::Tap) {
                put(head, u.head, StepArrow);
                continue;
            }
            if (u.kind == NoteUnit::LoneHead) {
                put(head, u.head, StepFreezeStart);
                continue;
            }
            const int tail = cellOf(u.tail);
            if (tail >= kLastCell) {
                loss(name, u.head, QStringLiteral("a freeze ending past bar 100 became an arrow"));
                dropBar(u.tail);
                put(head, u.head, StepArrow);
                continue;
            }
            moved(u.tail, "freeze end");
            if (head == tail) {
                loss(name, u.head,
                     QStringLiteral("a freeze shorter than a 32nd note became an arrow"));
                put(head, u.head, StepArrow);
                continue;
            }
            if (get(head) != 0 && head == lastTail) {
                loss(name, u.head,
                     QStringLiteral("a freeze start landed on the end of the freeze before it; "
                                    "the freeze became an arrow"));
                put(tail, u.tail, StepArrow);
                continue;
            }
            put(head, u.head, StepFreezeStart);
            put(tail, u.tail, u.tailValue);
            lastTail = tail;
        }
    }
    if (droppedUpTo > kBars) {
        const qsizetype before = m_losses.size();
        loss(name, kBars * kRowsPerBar48,
             droppedUpTo == kBars + 1
                 ? QStringLiteral("notes past bar 100 dropped (bar 101)")
                 : QStringLiteral("notes past bar 100 dropped (bars 101 to %1)").arg(droppedUpTo));
        if (m_losses.size() > before)
            m_losses.back().beat = 0; // only the bar applies
    }
}

void SongBuilder::markHoldsOfGroups(int style, int level) {
    // The panels of each pad, left to right, as the exports write a row.
    std::span<const int> pads[2] = {stylePanels(style), {}};
    if (style == Double || style == Couple)
        pads[0] = kFirstPadPanels, pads[1] = kSecondPadPanels;
    const QString name = chartName(style, level);
    for (int b = 1; b <= kBars; ++b)
        for (int r = 1; r <= kRows; ++r) {
            for (const std::span<const int> pad : pads) {
                const std::array<std::uint8_t, 11> row = m_song.arrowRow(style, level, b, r);
                int struck = 0;
                for (int p : pad)
                    struck += row[p] > 0;
                if (struck < 3)
                    continue;
                bool holdBefore = false; // a hold to the left waits for an arrow between
                int between = 0;         // the first arrow after it; 0 while none
                for (int p : pad) {
                    const std::uint8_t v = row[p];
                    if (v == 0)
                        continue;
                    if (v != StepFreezeStart) {
                        if (holdBefore && between == 0)
                            between = p;
                        continue;
                    }
                    if (holdBefore && between == 0) {
                        loss(name, ((b - 1) * kRows + r - 1) * kRowsPer32nd,
                             QStringLiteral("a hold right after another hold in a row of three or "
                                            "more arrows became an arrow"));
                        m_song.setStep(style, level, b, r, p, StepArrow);
                        between = p; // it now stands between this hold and the next
                        continue;
                    }
                    if (holdBefore)
                        m_song.setStep(style, level, b, r, between, StepFreezeStart);
                    holdBefore = true;
                    between = 0;
                }
            }
        }
}

void SongBuilder::placeTempo(const std::vector<TempoEvent>& bpms,
                             const std::vector<TempoEvent>& stops, bool beatZeroIsSongBpm) {
    placeChannel(bpms, BPMCHANNEL, beatZeroIsSongBpm);
    placeChannel(stops, FREEZECHANNEL, false);
}

void SongBuilder::placeChannel(const std::vector<TempoEvent>& events, int channel,
                               bool beatZeroIsSongBpm) {
    const bool bpm = channel == BPMCHANNEL;
    const QString what = bpm ? QStringLiteral("a BPM change") : QStringLiteral("a stop");
    std::vector<TempoEvent> sorted = events;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TempoEvent& a, const TempoEvent& b) { return a.row < b.row; });
    std::array<int, kBars * 4 + 1> setBy;
    setBy.fill(-1);
    int songBpmRow = -1;
    for (const TempoEvent& e : sorted) {
        if (e.row < 0) {
            loss(QString(), -1, what + QStringLiteral(" before the first beat dropped"));
            continue;
        }
        const int beat = (e.row + kRowsPerBeat48 / 2 - 1) / kRowsPerBeat48;
        if (e.row % kRowsPerBeat48 != 0)
            loss(QString(), e.row, what + QStringLiteral(" moved to the nearest beat"));
        if (beat == 0 && bpm && beatZeroIsSongBpm) {
            loss(QString(), e.row, QStringLiteral("a BPM change at beat 0 became the song's BPM"));
            if (songBpmRow >= 0 && songBpmRow != e.row)
                loss(QString(), e.row,
                     QStringLiteral("two BPM changes landed on one beat; the later one is kept"));
            songBpmRow = e.row;
            m_song.setField(SummaryField::Bpm, fieldNumber(e.value));
            continue;
        }
        if (beat >= kBars * 4) {
            loss(QString(), e.row, what + QStringLiteral(" past bar 100 dropped"));
            continue;
        }
        int& by = setBy[std::size_t(beat)];
        if (by >= 0 && by != e.row)
            loss(QString(), e.row,
                 (bpm ? QStringLiteral("two BPM changes") : QStringLiteral("two stops")) +
                     QStringLiteral(" landed on one beat; the later one is kept"));
        by = e.row;
        m_song.setTempo(Single, Basic, beat / 4 + 1, beat % 4 + 1, channel, e.value);
    }
}

// ---------------------------------------------------------------- ChartSlots

void ChartSlots::skip(const QString& what, const QString& why) {
    m_skipped << what;
    m_builder.songLoss(QStringLiteral("%1 chart skipped: %2").arg(what, why));
}

bool ChartSlots::take(int style, int level, const QString& what) {
    bool& t = m_taken[ChartId{style, level}.index()];
    if (t) {
        skip(what, QStringLiteral("a second %1 chart").arg(SongBuilder::chartName(style, level)));
        return false;
    }
    t = true;
    ++m_count;
    return true;
}

int levelOfDifficulty(const QByteArray& name) {
    const QByteArray n = name.toLower();
    static const struct {
        const char* name;
        int level;
    } names[] = {{"beginner", 0},  {"easy", 1},    {"basic", 1},     {"light", 1},
                 {"medium", 2},    {"another", 2}, {"trick", 2},     {"standard", 2},
                 {"difficult", 2}, {"hard", 3},    {"ssr", 3},       {"maniac", 3},
                 {"heavy", 3},     {"smaniac", 4}, {"challenge", 4}, {"expert", 4},
                 {"oni", 4},       {"edit", 5}};
    for (const auto& e : names)
        if (n == e.name)
            return e.level;
    return -1;
}

} // namespace kolvo

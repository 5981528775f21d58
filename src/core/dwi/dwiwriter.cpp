#include "core/dwi/dwiwriter.h"

#include "core/dwi/dwiencoder_p.h"
#include "core/files/atomicwrite.h"
#include "core/files/filenumber.h"
#include "core/formats/cannotcarry.h"
#include "core/song/songmodel.h"

#include <cmath>
#include <string>

namespace kolvo {

namespace {

void appendLine(std::string& out, const QString& line) {
    out += line.toStdString(); // UTF-8
    out += "\r\n";
}

void appendTag(std::string& out, const char* tag, const QString& value) {
    out += tag;
    out += trimmedBlanks(value).toStdString();
    out += ";\r\n";
}

} // namespace

QString dwiPositionText(Tick tick) {
    // 12 ticks to a position; a finer row needs decimals, as few as still
    // name its tick.
    if (tick % 12 == 0)
        return QString::number(tick / 12);
    for (int decimals = 1;; ++decimals) {
        const QString text = QString::number(double(tick) / 12.0, 'f', decimals);
        if (std::llround(text.toDouble() * 12.0) == tick && decimals >= 1)
            return text;
    }
}

QString BuildTempoList(const SongModel& model, int channel) {
    QString list;
    for (const TempoCell& c : model.songTempoCells()) {
        if (c.channel != channel || !SongModel::tempoEvent(c.value))
            continue;
        list += list.isEmpty() ? (channel == BPMCHANNEL ? QStringLiteral("#CHANGEBPM:")
                                                        : QStringLiteral("#FREEZE:"))
                               : QStringLiteral(",");
        list += dwiPositionText(c.tick) + u'=' + fileNumberText(c.value);
    }
    if (!list.isEmpty())
        list += u';';
    return list;
}

QString tickChartLine() {
    return QStringLiteral("#SINGLE:BASIC:1:") + QString(24, u'0') +
           QStringLiteral("4060").repeated(72);
}

QByteArray dwiFileText(const SongModel& m, DwiMode mode) {
    std::string out;
    out.reserve(4096);
    if (mode != DwiMode::Export)
        appendTag(out, "#FILE:", m.musicadd());
    else if (!m.filetag().isEmpty())
        appendTag(out, "#FILE:", m.filetag());
    appendTag(out, "#TITLE:", m.songname());
    appendTag(out, "#ARTIST:", m.artist());
    appendTag(out, "#GAP:", m.gap());
    appendTag(out, "#BPM:", m.bpm());
    // The sample start field decides both sample lines.
    if (!m.samplestart().isEmpty()) {
        appendTag(out, "#SAMPLESTART:", m.samplestart());
        appendTag(out, "#SAMPLELENGTH:", m.samplelength());
    }
    if (m.markAsNew() == 1)
        out += "#STATUS:NEW\r\n";
    else if (m.markAsNew() == 0)
        out += "#STATUS:NORMAL\r\n";
    if (!m.cdTitle().isEmpty())
        appendTag(out, "#CDTITLE:", m.cdTitle());
    if (!m.genre().isEmpty())
        appendTag(out, "#GENRE:", m.genre());
    for (int channel : {BPMCHANNEL, FREEZECHANNEL}) {
        QString list = BuildTempoList(m, channel);
        if (!list.isEmpty())
            appendLine(out, list);
    }
    if (mode == DwiMode::TickTest) {
        appendLine(out, tickChartLine());
    } else {
        static const char* const styleTags[] = {"", "#SINGLE:", "#DOUBLE:", "#COUPLE:", "#SOLO:"};
        static const char* const levelTags[] = {
            "BEGINNER:", "BASIC:", "ANOTHER:", "MANIAC:", "SMANIAC:"};
        for (int s = 1; s <= kStyles; ++s)
            for (int l = Beginner; l <= kLevels; ++l) {
                if (!m.chart(SongModel::slotOf(s, l)).hasData())
                    continue;
                out += styleTags[s];
                out += levelTags[l];
                out += trimmedBlanks(m.chart(SongModel::slotOf(s, l)).footlevels.toText())
                           .toStdString();
                out += ':';
                appendChartSteps(out, m, s, l);
                out += ";\r\n";
            }
    }
    return QByteArray(out.data(), qsizetype(out.size()));
}

std::optional<FileError> WriteDwiFile(const SongModel& model, const QString& path, DwiMode mode) {
    QByteArray text = dwiFileText(model, mode);
    if (auto why = writeFileAtomically(path, text))
        return FileError{path, 0, *why};
    return std::nullopt;
}

QStringList dwiCannotCarry(const SongModel& m) {
    CarryRules rules;
    rules.chartTiming = true;
    rules.editCharts = true;
    rules.otherGames = true;
    rules.mines = true;
    rules.rolls = true;
    rules.lifts = true;
    rules.groupFreezes = true;
    rules.delays = true;
    rules.warps = true;
    rules.keptHeader = true;
    rules.keptChartTags = true;
    return cannotCarryLines(m, rules);
}

QString trimmedBlanks(const QString& t) {
    qsizetype b = 0, e = t.size();
    while (b < e && t[b] == u' ')
        ++b;
    while (e > b && t[e - 1] == u' ')
        --e;
    return t.mid(b, e - b);
}

} // namespace kolvo

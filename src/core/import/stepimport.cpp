#include "core/import/stepimport.h"

#include "core/files/regularfile.h"
#include "core/import/readers.h"
#include "core/song/songmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <vector>

#include <sys/stat.h>

namespace kolvo {

QString stepFormatName(StepFormat format) {
    switch (format) {
    case StepFormat::Dwi:
        return QStringLiteral("DWI");
    case StepFormat::Sm:
        return QStringLiteral("SM");
    case StepFormat::Ssc:
        return QStringLiteral("SSC");
    }
    return QString();
}

QString stepFormatExtension(StepFormat format) {
    return stepFormatName(format).toLower();
}

// ---------------------------------------------------------------- losses

QString ImportLoss::place() const {
    QString p = chart;
    if (bar > 0) {
        if (!p.isEmpty())
            p += QStringLiteral(", ");
        p += QStringLiteral("bar %1").arg(bar);
        if (beat > 0)
            p += QStringLiteral(" beat %1").arg(beat);
    }
    return p;
}

QString ImportLoss::line() const {
    const QString p = place();
    return p.isEmpty() ? text : p + QStringLiteral(": ") + text;
}

QList<ImportLossGroup> groupImportLosses(const QList<ImportLoss>& losses) {
    QList<ImportLossGroup> groups;
    QHash<QString, qsizetype> index;
    for (const ImportLoss& l : losses) {
        auto it = index.constFind(l.text);
        if (it == index.constEnd()) {
            it = index.insert(l.text, groups.size());
            groups.append({l.text, {}});
        }
        groups[*it].places.append(l.place());
    }
    return groups;
}

QStringList importLossLines(const QList<ImportLoss>& losses) {
    QStringList lines;
    lines.reserve(losses.size());
    for (const ImportLoss& l : losses)
        lines << l.line();
    return lines;
}

QString importLossReport(const QList<ImportLoss>& losses) {
    // One line per place and kind, under its chart, in file order:
    //   Double S-Maniac
    //       bar 57 beat 3: 8 mines dropped
    // "a mine dropped" counted 8 times reads "8 mines dropped"; a kind that
    // does not start with "a"/"an" gets "(8 times)".
    auto counted = [](const QString& text, qsizetype n) {
        if (n == 1)
            return text;
        static const QStringList verbs = {QStringLiteral(" dropped"), QStringLiteral(" moved"),
                                          QStringLiteral(" became"),  QStringLiteral(" landed"),
                                          QStringLiteral(" ended"),   QStringLiteral(" was")};
        qsizetype verb = -1;
        for (const QString& v : verbs) {
            const qsizetype at = text.indexOf(v);
            if (at > 0 && (verb < 0 || at < verb))
                verb = at;
        }
        const qsizetype article = text.startsWith(QStringLiteral("a "))    ? 2
                                  : text.startsWith(QStringLiteral("an ")) ? 3
                                                                           : -1;
        if (verb < 0 || article < 0 || verb <= article)
            return QStringLiteral("%1 (%2 times)").arg(text).arg(n);
        QString subject = text.mid(article, verb - article);
        const bool sibilant = subject.endsWith(u's') || subject.endsWith(u'x') ||
                              subject.endsWith(QStringLiteral("ch")) ||
                              subject.endsWith(QStringLiteral("sh"));
        subject += sibilant ? QStringLiteral("es") : QStringLiteral("s");
        return QString::number(n) + u' ' + subject + text.mid(verb);
    };
    struct Line {
        int bar, beat;
        QString text;
        qsizetype count;
    };
    QStringList charts; // in order of first appearance
    QHash<QString, QList<Line>> lines;
    for (const ImportLoss& l : losses) {
        if (!lines.contains(l.chart))
            charts << l.chart;
        QList<Line>& list = lines[l.chart];
        auto same = std::find_if(list.begin(), list.end(), [&](const Line& x) {
            return x.bar == l.bar && x.beat == l.beat && x.text == l.text;
        });
        if (same == list.end())
            list.append({l.bar, l.beat, l.text, 1});
        else
            ++same->count;
    }
    QString out;
    for (const QString& chart : charts) {
        out += (chart.isEmpty() ? QStringLiteral("The whole song") : chart) + u'\n';
        for (const Line& l : lines[chart]) {
            ImportLoss where{QString(), l.bar, l.beat, QString()};
            const QString place = where.place();
            out += QStringLiteral("    ") +
                   (place.isEmpty() ? QString() : place + QStringLiteral(": ")) +
                   counted(l.text, l.count) + u'\n';
        }
    }
    return out;
}

// ---------------------------------------------------------------- helpers of the readers

QString musicPath(const QString& stepFile, const QString& name) {
    if (name.isEmpty())
        return QString();
    QString n = name;
    n.replace(u'\\', u'/'); // names written on Windows
    if (QDir::isAbsolutePath(n))
        return QDir::cleanPath(n);
    return QDir::cleanPath(QFileInfo(stepFile).absoluteDir().filePath(n));
}

QString quoted(const QByteArray& value) {
    QString s = QString::fromUtf8(value.left(40));
    for (QChar& c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'?';
    if (value.size() > 40)
        s += QStringLiteral("...");
    return u'"' + s + u'"';
}

QByteArray tagName(const MsdTags& tags, const MsdTag& tag) {
    return tags.param(tag, 0).toUpper();
}

QByteArray tagValue(const MsdTags& tags, const MsdTag& tag) {
    QByteArray v;
    for (std::size_t i = 1; i < tag.params.size(); ++i) {
        if (i > 1)
            v += ':';
        v += tags.param(tag, i);
    }
    return v;
}

QList<QByteArray> listPieces(const QByteArray& value, char sep) {
    QList<QByteArray> out;
    for (const QByteArray& piece : value.split(sep))
        if (!piece.trimmed().isEmpty())
            out.append(piece);
    return out;
}

// ---------------------------------------------------------------- detection

namespace {

struct TagSigns {
    bool ssc = false; // #NOTEDATA, #VERSION
    bool sm = false;  // #NOTES
    bool dwi = false; // chart tags, #GAP, #CHANGEBPM, #FREEZE, #FILE
};

TagSigns signsOf(const QByteArray& bytes) {
    TagSigns s;
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    while ((p = static_cast<const char*>(memchr(p, '#', std::size_t(end - p))))) {
        const char* n = ++p;
        while (p < end && *p != ':' && *p != ';' && *p != '#' && *p != '\n' && p - n < 16)
            ++p;
        const QByteArray name = QByteArray(n, p - n).toUpper();
        if (name == "NOTEDATA" || name == "VERSION")
            s.ssc = true;
        else if (name == "NOTES")
            s.sm = true;
        else if (name == "SINGLE" || name == "DOUBLE" || name == "COUPLE" || name == "SOLO" ||
                 name == "GAP" || name == "CHANGEBPM" || name == "FREEZE" || name == "FILE")
            s.dwi = true;
    }
    return s;
}

std::optional<StepFormat> formatOfExtension(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    for (StepFormat f : {StepFormat::Dwi, StepFormat::Sm, StepFormat::Ssc})
        if (ext == stepFormatExtension(f))
            return f;
    return std::nullopt;
}

// Song-wide losses first, then the charts of the chart table in the song's
// order (Beginner before Basic), then the added charts, each by place.
int chartOrder(const QString& chart) {
    if (chart.isEmpty())
        return 0;
    static const std::vector<QString> names = [] {
        std::vector<QString> n(kChartSlots);
        for (int s = 1; s <= kStyles; ++s)
            for (int l = Beginner; l <= kLevels; ++l)
                n[ChartId{s, l}.index()] = styleName(s) + u' ' + levelName(l);
        return n;
    }();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!names[i].isEmpty() && chart == names[i])
            return int(i);
    return int(kChartSlots);
}

ImportResult refused(const QString& path, StepFormat format, int line, const QString& reason) {
    ImportResult r;
    r.format = format;
    r.error = FileError{path, line, reason};
    return r;
}

} // namespace

std::optional<StepFormat> detectStepFormat(const QByteArray& bytes, const QString& path) {
    const TagSigns s = signsOf(bytes);
    const int kinds = int(s.ssc || s.sm) + int(s.dwi);
    if (kinds == 1)
        return s.dwi ? StepFormat::Dwi : s.ssc ? StepFormat::Ssc : StepFormat::Sm;
    return formatOfExtension(path);
}

ImportResult importStepFile(const QByteArray& bytes, const QString& path) {
    if (bytes.size() > kMaxStepFileSize)
        return importStepFile(bytes, path, formatOfExtension(path).value_or(StepFormat::Dwi));
    const std::optional<StepFormat> f = detectStepFormat(bytes, path);
    if (!f)
        return refused(path, StepFormat::Dwi, 0,
                       QStringLiteral("not a step file: it holds no DWI, SM or SSC tags and its "
                                      "name does not end in .dwi, .sm or .ssc"));
    return importStepFile(bytes, path, *f);
}

ImportResult importStepFile(const QByteArray& file, const QString& path, StepFormat format) {
    if (file.size() > kMaxStepFileSize)
        return refused(path, format, 0,
                       QStringLiteral("the file is larger than 64 MiB; no step file is that big"));
    const qsizetype nul = file.indexOf('\0');
    if (nul >= 0)
        return refused(path, format, int(file.left(nul).count('\n')) + 1,
                       QStringLiteral("not a step file: it holds binary data"));
    QByteArray bytes = file;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const MsdTags tags = splitMsdTags(bytes, format != StepFormat::Dwi);
    if (tags.tooManyTags)
        return refused(
            path, format, tags.tags.back().line,
            QStringLiteral("not a step file: it holds more than %1 tags").arg(MsdTags::kMaxTags));
    if (tags.tags.empty())
        return refused(path, format, 0, QStringLiteral("not a step file: it holds no # tags"));
    const MsdTag& last = tags.tags.back();
    if (!last.terminated)
        return refused(path, format, last.line,
                       QStringLiteral("the file ends inside the #%1 tag, before its \";\": it "
                                      "looks cut short")
                           .arg(QString::fromLatin1(tagName(tags, last).left(40))));

    ImportResult r;
    r.format = format;
    // A new model already holds empty charts and the summary's reset texts;
    // only the chart flags need the values New gives them.
    auto song = std::make_unique<SongModel>();
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l) {
            song->setDataexists(s, l, Value::number(0));
            song->setFootlevels(s, l, Value::text(QString()));
        }
    const ReadInput in{bytes, tags, path};
    std::optional<ReadError> err;
    switch (format) {
    case StepFormat::Dwi:
        err = readDwi(in, *song, r.losses);
        break;
    case StepFormat::Sm:
        err = readSm(in, *song, r.losses);
        break;
    case StepFormat::Ssc:
        err = readSsc(in, *song, r.losses);
        break;
    }
    if (err)
        return refused(path, format, err->line, err->reason);
    std::stable_sort(r.losses.begin(), r.losses.end(),
                     [](const ImportLoss& a, const ImportLoss& b) {
                         if ((a.bar < 0) != (b.bar < 0))
                             return b.bar < 0; // the count of losses not listed comes last
                         const int ca = chartOrder(a.chart), cb = chartOrder(b.chart);
                         if (ca != cb)
                             return ca < cb;
                         if (a.bar != b.bar)
                             return a.bar < b.bar;
                         return a.beat < b.beat;
                     });
    r.song = std::move(song);
    return r;
}

ImportResult importStepFileAt(const QString& path) {
    const std::optional<StepFormat> byName = formatOfExtension(path);
    const StepFormat named = byName.value_or(StepFormat::Dwi);
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return refused(path, named, 0, QStringLiteral("the file does not exist"));
    // The same rule, in the same words, as every other reader of the program.
    if (auto why = notARegularFile(path))
        return refused(path, named, 0, *why);
    if (qint64(st.st_size) > kMaxStepFileSize)
        return refused(path, named, 0,
                       QStringLiteral("the file is larger than 64 MiB; no step file is that big"));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return refused(path, named, 0, QStringLiteral("cannot be opened: %1").arg(f.errorString()));
    // Read at most one byte past the limit, in case the file grew meanwhile.
    const QByteArray bytes = f.read(kMaxStepFileSize + 1);
    if (f.error() != QFileDevice::NoError)
        return refused(path, named, 0, QStringLiteral("cannot be read: %1").arg(f.errorString()));
    return importStepFile(bytes, path);
}

} // namespace kolvo

// The accuracy of tempo and first-beat detection over a broad set of made
// music (click tracks and small songs in many styles, see evalmusic.h) and
// over real music whose charts give the tempo, reported per half of the set:
// the development half (tune on it) and the held-out half (only report it).
//
//   eval_analysis [--dir DIR] [--half dev|held|all] [--only TEXT] [--aubio]
//                 [--real DIR] [--verbose]
//
// --dir keeps the made music between runs (default /tmp/kolvo-eval); --real
// scans DIR for .sm/.ssc charts with one BPM and no stops and takes their
// music with #OFFSET as the first beat; --only keeps the cases whose name or
// set ("click tracks", "drum/synth songs", "real music", "tempo maps")
// contains TEXT, so `--only real` runs the real music alone; --aubio runs
// `aubio tempo` on every file too; --verbose prints every case, not only the
// misses.
#include "analysis/tempoanalysis.h"
#include "aubioreference.h"
#include "evalmusic.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>

using namespace kolvo;
using namespace kolvo::test;

namespace {

enum class Kind { Click, Synthetic, Real, Map };

struct Item {
    QString path;
    QString name;
    Kind kind;
    Style style = Style::Click;
    double bpm;
    double gapMs;
    bool heldOut;
    std::vector<MadeTempoChange> tempoChanges; // music whose tempo changes
};

struct Outcome {
    analysis::TempoResult r;
    double aubio = 0;
    bool ok = false, bpmOk = false, gapOk = false, octaveOk = false;
    bool falseMap = false; // tempo changes proposed in music that has none
    double seconds = 0;
};

// Right octave: within 3% of the true BPM (not half, double, a third...).
bool octaveRight(double found, double truth) {
    return found > 0 && std::abs(found / truth - 1) < 0.03;
}

std::uint32_t fnv1a(const QByteArray& s) {
    std::uint32_t h = 2166136261u;
    for (char ch : s) {
        h ^= static_cast<unsigned char>(ch);
        h *= 16777619u;
    }
    return h;
}

// Charts with one BPM and no stops, with their music beside them.
std::vector<Item> realMusic(const QString& dir) {
    std::vector<Item> out;
    QDirIterator it(dir, {QStringLiteral("*.sm"), QStringLiteral("*.ssc")}, QDir::Files,
                    QDirIterator::Subdirectories);
    std::map<QString, Item> byMusic;
    while (it.hasNext()) {
        const QString chart = it.next();
        QFile f(chart);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll());
        auto tag = [&text](const char* name) {
            const auto m =
                QRegularExpression(QStringLiteral("#%1:([^;]*);").arg(QLatin1String(name)))
                    .match(text);
            return m.hasMatch() ? m.captured(1).trimmed() : QString();
        };
        const QString music = tag("MUSIC");
        const QStringList bpms = tag("BPMS").split(u',', Qt::SkipEmptyParts);
        if (music.isEmpty() || bpms.size() != 1 || !tag("STOPS").isEmpty())
            continue;
        const QString path = QFileInfo(chart).dir().filePath(music);
        if (!QFileInfo::exists(path))
            continue;
        Item item;
        item.path = path;
        item.name = QDir(dir).relativeFilePath(path);
        item.kind = Kind::Real;
        item.bpm = bpms[0].section(u'=', 1).toDouble();
        item.gapMs = -tag("OFFSET").toDouble() * 1000;
        item.heldOut = (fnv1a(item.name.toUtf8()) >> 7) & 1;
        byMusic[path] = item;
    }
    for (auto& [k, v] : byMusic)
        out.push_back(v);
    return out;
}

const char* kindName(Kind k) {
    return k == Kind::Click       ? "click tracks"
           : k == Kind::Synthetic ? "drum/synth songs"
           : k == Kind::Real      ? "real music"
                                  : "tempo maps";
}

// The tempo map found against the made one: as many BPM changes and stops,
// each within a beat of its place, each BPM within 0.05 and each stop within
// 10 ms. `bpmOk` says the BPMs alone are right, `octaveOk` within 3 %.
bool mapRight(const Item& it, const analysis::TempoMapGuess& found, bool& bpmOk, bool& octaveOk) {
    std::vector<analysis::BpmChange> changes{{0, it.bpm}};
    std::vector<analysis::TempoStop> stops;
    for (const MadeTempoChange& c : it.tempoChanges) {
        if (c.bpm > 0)
            changes.push_back({double(c.beat), c.bpm});
        if (c.stopSeconds > 0)
            stops.push_back({double(c.beat), c.stopSeconds});
    }
    bpmOk = octaveOk = found.changes.size() == changes.size();
    bool placed = bpmOk && found.stops.size() == stops.size();
    for (std::size_t i = 0; bpmOk && i < changes.size(); ++i) {
        octaveOk = octaveOk && octaveRight(found.changes[i].bpm, changes[i].bpm);
        bpmOk = bpmOk && std::abs(found.changes[i].bpm - changes[i].bpm) <= 0.05;
        placed = placed && std::abs(found.changes[i].beat - changes[i].beat) <= 1;
    }
    for (std::size_t i = 0; placed && i < stops.size(); ++i)
        placed = std::abs(found.stops[i].beat - stops[i].beat) <= 1 &&
                 std::abs(found.stops[i].seconds - stops[i].seconds) <= 0.01;
    return bpmOk && placed;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString dir = QStringLiteral("/tmp/kolvo-eval"), half = QStringLiteral("all"), only, realDir;
    bool aubio = false, verbose = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto next = [&] { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == u"--dir")
            dir = next();
        else if (a == u"--half")
            half = next();
        else if (a == u"--only")
            only = next();
        else if (a == u"--real")
            realDir = next();
        else if (a == u"--aubio")
            aubio = true;
        else if (a == u"--verbose")
            verbose = true;
        else {
            std::fprintf(stderr, "usage: eval_analysis [--dir DIR] [--half dev|held|all] "
                                 "[--only TEXT] [--real DIR] [--aubio] [--verbose]\n");
            return 2;
        }
    }
    QDir().mkpath(dir);

    std::vector<Item> items;
    std::vector<EvalCase> toMake;
    std::vector<EvalCase> cases = evaluationSet();
    for (const EvalCase& c : tempoMapSet())
        cases.push_back(c);
    for (const EvalCase& c : cases) {
        Item item;
        item.name = QString::fromStdString(c.name);
        item.path = QDir(dir).filePath(item.name);
        item.kind = !c.tempoChanges.empty()   ? Kind::Map
                    : c.style == Style::Click ? Kind::Click
                                              : Kind::Synthetic;
        item.tempoChanges = c.tempoChanges;
        item.style = c.style;
        item.bpm = c.bpm;
        item.gapMs = c.gapMs;
        item.heldOut = c.heldOut;
        items.push_back(item);
        if (!QFileInfo::exists(item.path))
            toMake.push_back(c);
    }
    if (!realDir.isEmpty())
        for (const Item& r : realMusic(realDir))
            items.push_back(r);
    std::erase_if(items, [&](const Item& it) {
        return (half == u"dev" && it.heldOut) || (half == u"held" && !it.heldOut) ||
               (!only.isEmpty() && !it.name.contains(only) &&
                !QLatin1String(kindName(it.kind)).contains(only));
    });
    std::erase_if(toMake, [&](const EvalCase& c) {
        return std::none_of(items.begin(), items.end(), [&](const Item& it) {
            return it.name == QString::fromStdString(c.name);
        });
    });
    if (!toMake.empty()) {
        std::fprintf(stderr, "making %zu files in %s...\n", toMake.size(), qPrintable(dir));
        QtConcurrent::blockingMap(toMake, [&dir](const EvalCase& c) {
            const QString path = QDir(dir).filePath(QString::fromStdString(c.name));
            if (!writeCase(path, c))
                std::fprintf(stderr, "could not make %s\n", c.name.c_str());
        });
    }

    std::vector<Outcome> outcomes(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& it = items[i];
        Outcome& o = outcomes[i];
        const auto t0 = std::chrono::steady_clock::now();
        o.r = analysis::analyseFile(it.path.toStdString());
        o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (aubio && it.kind != Kind::Map)
            o.aubio = kolvo::bench::aubioTempo(it.path, 120000);
        const double bpmTol = it.kind == Kind::Click ? 0.01 : 0.02;
        const double gapTol = it.kind == Kind::Click ? 3 : 10;
        o.bpmOk = o.r.hasFigures() && std::abs(o.r.bpm - it.bpm) <= bpmTol;
        double gapErr = o.r.gapMs - it.gapMs;
        if (it.kind == Kind::Real && o.bpmOk) {
            // Music that starts after its first beat: a whole number of beats later.
            const double beatMs = 60000 / it.bpm;
            gapErr -= std::max(0.0, std::round(gapErr / beatMs)) * beatMs;
        }
        o.gapOk = o.r.hasFigures() && std::abs(gapErr) <= gapTol;
        o.octaveOk = octaveRight(o.r.bpm, it.bpm);
        o.ok = o.bpmOk && o.gapOk;
        if (it.kind == Kind::Map) {
            o.gapOk = std::abs(o.r.tempoMap.gapMs - it.gapMs) <= 10;
            o.ok = mapRight(it, o.r.tempoMap, o.bpmOk, o.octaveOk) && o.gapOk;
        } else {
            o.falseMap = o.r.tempoMap.changesTempo();
        }
        if (verbose || !o.ok || o.falseMap)
            std::printf("%-4s %-5s %-80s true %8.3f %8.1f  found %8s %6lld  %s%s%s  aubio %.2f  "
                        "%.2fs\n",
                        o.ok ? "ok" : "MISS", it.heldOut ? "held" : "dev", qPrintable(it.name),
                        it.bpm, it.gapMs, analysis::bpmText(o.r.bpm).c_str(),
                        analysis::gapWholeMs(o.r.gapMs), o.r.message.c_str(),
                        o.r.outcome == analysis::Outcome::Guess ? "guess" : "",
                        o.r.tempoChanges ? " changes" : "", o.aubio, o.seconds);
        if ((verbose || !o.ok || o.falseMap) && o.r.tempoMap.changesTempo()) {
            std::printf("     map: gap %.1f", o.r.tempoMap.gapMs);
            for (const analysis::BpmChange& c : o.r.tempoMap.changes)
                std::printf("  %g:%s", c.beat, analysis::bpmText(c.bpm).c_str());
            for (const analysis::TempoStop& st : o.r.tempoMap.stops)
                std::printf("  stop %g:%.3f", st.beat, st.seconds);
            if (it.kind == Kind::Map) {
                std::printf("   made:");
                for (const MadeTempoChange& c : it.tempoChanges)
                    std::printf("  %d:%g/%.3f", c.beat, c.bpm, c.stopSeconds);
            }
            std::printf("\n");
        }
        std::fflush(stdout);
    }

    std::printf("\n| half | set | files | right (BPM and gap) | BPM right | gap right | octave "
                "right | median BPM error | octave errors | median BPM error, aubio | octave "
                "errors, aubio | tempo changes proposed in steady music |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (int h = 0; h < 2; ++h)
        for (Kind k : {Kind::Click, Kind::Synthetic, Kind::Real, Kind::Map}) {
            int n = 0, ok = 0, bpmOk = 0, gapOk = 0, oct = 0, aubioOct = 0, falseMaps = 0;
            std::vector<double> err, aubioErr;
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (items[i].heldOut != (h == 1) || items[i].kind != k)
                    continue;
                const Outcome& o = outcomes[i];
                ++n;
                ok += o.ok;
                bpmOk += o.bpmOk;
                gapOk += o.gapOk;
                oct += o.octaveOk;
                falseMaps += o.falseMap;
                aubioOct += octaveRight(o.aubio, items[i].bpm);
                err.push_back(o.r.hasFigures() ? std::abs(o.r.bpm - items[i].bpm) : items[i].bpm);
                aubioErr.push_back(o.aubio > 0 ? std::abs(o.aubio - items[i].bpm) : items[i].bpm);
            }
            if (n == 0)
                continue;
            auto pct = [n](int v) { return 100.0 * v / n; };
            std::printf("| %s | %s | %d | %.1f%% | %.1f%% | %.1f%% | %.1f%% | %.4f | %.1f%% | ",
                        h ? "held-out" : "dev", kindName(k), n, pct(ok), pct(bpmOk), pct(gapOk),
                        pct(oct), kolvo::bench::median(err), 100 - pct(oct));
            if (aubio && k != Kind::Map)
                std::printf("%.3f | %.1f%% | ", kolvo::bench::median(aubioErr),
                            100 - pct(aubioOct));
            else
                std::printf("- | - | ");
            if (k == Kind::Map)
                std::printf("- |\n");
            else
                std::printf("%d |\n", falseMaps);
        }
    return 0;
}

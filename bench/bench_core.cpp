// The song core: work-file read and write of the largest song, the DWI
// and .sm exports of the largest song, a typical song, and the model's memory;
// and kolvo-cli on the largest song against dd moving the same bytes.
#include "childrun.h"
#include "core/dwi/dwiencoder.h"
#include "core/dwi/dwiwriter.h"
#include "core/files/kolvofile.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <span>
#include <vector>

extern char** environ;

using namespace kolvo;

namespace {

// Every chart with data, every arrow cell of all 100 bars set, and a tempo
// event on every beat.
void fillLargest(SongModel& m) {
    m.resetparameters();
    m.setField(SummaryField::SongName, QStringLiteral("Largest"));
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l) {
            m.setDataexists(s, l, Value::number(1));
            m.setFootlevels(s, l, Value::text(QStringLiteral("10")));
            for (int b = 1; b <= kBars; ++b)
                for (int r = 1; r <= kRows; ++r)
                    for (int p = 1; p <= kArrowPanels; ++p)
                        m.setStep(s, l, b, r, p, (r + p) % 7 == 0 ? 2 : 1);
        }
    for (int b = 1; b <= kBars; ++b)
        for (int beat = 1; beat <= 4; ++beat) {
            m.setTempo(1, 1, b, beat, BPMCHANNEL, 120 + beat * 0.5);
            m.setTempo(1, 1, b, beat, FREEZECHANNEL, 250);
        }
}

// Four charts, 60 bars of sixteenth notes, a few tempo events.
void fillTypical(SongModel& m) {
    m.resetparameters();
    m.setField(SummaryField::SongName, QStringLiteral("Typical"));
    for (int l = 1; l <= kLevels; ++l) {
        m.setDataexists(Single, l, Value::number(1));
        m.setFootlevels(Single, l, Value::text(QString::number(l * 2)));
        for (int b = 1; b <= 60; ++b)
            for (int r = 1; r <= kRows; r += 4 - (l > 2 ? 2 : 0))
                m.setStep(Single, l, b, r, kFirstPadPanels[(b + r) % 4], (r % 16 == 1) ? 2 : 1);
    }
    m.setTempo(1, 1, 1, 1, BPMCHANNEL, 150);
    m.setTempo(1, 1, 30, 3, BPMCHANNEL, 75);
    m.setTempo(1, 1, 20, 1, FREEZECHANNEL, 500);
}

// A long song: 2,000 bars, 20 charts (the sixteen, four Beginner) of 16ths
// with 12ths and 24ths mixed in, a freeze every bar, BPM changes between
// beats. It goes past the old limits, so it is written in the extended form.
void fillLong(SongModel& m) {
    m.resetparameters();
    m.setField(SummaryField::SongName, QStringLiteral("Long"));
    constexpr int kLongBars = 2000;
    for (int s = 1; s <= kStyles; ++s)
        for (int l = Beginner; l <= kLevels; ++l) {
            ChartSteps steps;
            const std::span<const int> panels = stylePanels(s);
            for (int b = 1; b <= kLongBars; ++b)
                for (int r = 0; r < kFineRows; r += (b % 3 == 0 ? 16 : 12))
                    steps.setKind(b, r, panels[std::size_t(b + r) % panels.size()],
                                  r == 0 ? NoteKind::FreezeStart : NoteKind::Arrow);
            const ChartSlot slot = SongModel::slotOf(s, l);
            m.swapSteps(slot, steps);
            m.setChartFlags(slot, Value::number(l + 1), Value::number(1));
        }
    for (int b = 1; b <= kLongBars; b += 8)
        m.setTempoAt(SongModel::slotOf(Single, Basic), tickOf(b, 18), BPMCHANNEL, 140 + b % 20);
}

void setBytes(benchmark::State& state, qsizetype bytes) {
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
    state.counters["file_MB"] = double(bytes) / 1e6;
}

// Open (read a work file into a fresh song) and save (write it) of the
// long song.
void BM_OpenSaveLong(benchmark::State& state) {
    SongModel m;
    fillLong(m);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.kolvo"));
    if (writeKolvoFile(path, m))
        state.SkipWithError("write failed");
    const bool open = state.range(0) == 0;
    for (auto _ : state) {
        if (open) {
            SongModel target;
            if (readKolvoFile(path, target))
                state.SkipWithError("read failed");
        } else if (writeKolvoFile(path, m)) {
            state.SkipWithError("write failed");
        }
    }
    state.SetLabel(open ? "open" : "save");
    setBytes(state, QFileInfo(path).size());
}
BENCHMARK(BM_OpenSaveLong)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadLargest(benchmark::State& state) {
    SongModel m;
    fillLargest(m);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("largest.kolvo"));
    if (writeKolvoFile(path, m))
        state.SkipWithError("write failed");
    QByteArray text = kolvoFileText(m);
    SongModel target;
    for (auto _ : state) {
        target.resetparameters();
        if (readKolvoFile(path, target))
            state.SkipWithError("read failed");
    }
    setBytes(state, text.size());
}
BENCHMARK(BM_ReadLargest)->Unit(benchmark::kMillisecond);

void BM_WriteLargest(benchmark::State& state) {
    SongModel m;
    fillLargest(m);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("largest.kolvo"));
    qsizetype size = kolvoFileText(m).size();
    for (auto _ : state)
        if (writeKolvoFile(path, m))
            state.SkipWithError("write failed");
    setBytes(state, size);
}
BENCHMARK(BM_WriteLargest)->Unit(benchmark::kMillisecond);

void BM_WriteDwiLargest(benchmark::State& state) {
    SongModel m;
    fillLargest(m);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("largest.dwi"));
    qsizetype size = dwiFileText(m, DwiMode::Export).size();
    for (auto _ : state)
        if (WriteDwiFile(m, path, DwiMode::Export))
            state.SkipWithError("write failed");
    setBytes(state, size);
}
BENCHMARK(BM_WriteDwiLargest)->Unit(benchmark::kMillisecond);

// The .sm export of the largest song, to the disk and in memory.
void BM_WriteSmLargest(benchmark::State& state) {
    SongModel m;
    fillLargest(m);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("largest.sm"));
    const bool toDisk = state.range(0) == 1;
    const qsizetype size = encodeSmFile(m).size();
    for (auto _ : state) {
        if (!toDisk)
            benchmark::DoNotOptimize(encodeSmFile(m));
        else if (writeSmFile(m, path))
            state.SkipWithError("write failed");
    }
    state.SetLabel(toDisk ? "writeSmFile" : "encodeSmFile");
    setBytes(state, size);
}
BENCHMARK(BM_WriteSmLargest)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same work without the file system (QSaveFile syncs to disk before
// it renames, which dominates the wall time of the writes above).
void BM_InMemoryLargest(benchmark::State& state) {
    SongModel m;
    fillLargest(m);
    const QByteArray text = kolvoFileText(m);
    SongModel target;
    const int op = int(state.range(0));
    qsizetype bytes = op == 2 ? dwiFileText(m, DwiMode::Export).size() : text.size();
    for (auto _ : state) {
        if (op == 0) {
            benchmark::DoNotOptimize(kolvoFileText(m));
        } else if (op == 1) {
            target.resetparameters();
            if (readKolvoData(text, QStringLiteral("largest.kolvo"), target))
                state.SkipWithError("read failed");
        } else {
            benchmark::DoNotOptimize(dwiFileText(m, DwiMode::Export));
        }
    }
    state.SetLabel(op == 0 ? "kolvoFileText" : op == 1 ? "readKolvoData" : "dwiFileText");
    setBytes(state, bytes);
}
BENCHMARK(BM_InMemoryLargest)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// kolvo-cli check (arg 0) and resave (arg 1) of the largest song, each run
// right after dd moves the same bytes with a 64 KiB buffer: reading them for
// check, copying them to a file synced with fdatasync for resave. Both
// programs read a file that is in the page cache and write to the same
// folder. The time is kolvo-cli's wall time; dd_ms and cli_ms are the
// fastest runs of each (the least disturbed by other load on the machine),
// ratio is cli_ms over dd_ms, ratio_median compares the medians and
// ratio_cpu the least processor time (user and system) of each.
void BM_CliAgainstDd(benchmark::State& state) {
    SongModel m;
    fillLargest(m);
    QTemporaryDir dir;
    const QByteArray song = QFile::encodeName(dir.filePath(QStringLiteral("largest.kolvo")));
    const QByteArray copy = QFile::encodeName(dir.filePath(QStringLiteral("copy.kolvo")));
    if (writeKolvoFile(QFile::decodeName(song), m))
        state.SkipWithError("write failed");
    const bool resave = state.range(0) == 1;
    const std::vector<QByteArray> dd =
        resave
            ? std::vector<QByteArray>{"dd",     "if=" + song,     "of=" + copy,
                                      "bs=64k", "conv=fdatasync", "status=none"}
            : std::vector<QByteArray>{"dd", "if=" + song, "of=/dev/null", "bs=64k", "status=none"};
    const std::vector<QByteArray> cli =
        resave ? std::vector<QByteArray>{KOLVO_CLI, "resave", song, copy}
               : std::vector<QByteArray>{KOLVO_CLI, "check", song};
    runChild(dd); // the song into the page cache
    std::vector<ChildRun> ddRuns, cliRuns;
    for (auto _ : state) {
        ChildRun d = runChild(dd);
        ChildRun c = runChild(cli);
        if (d.wallMs < 0 || c.wallMs < 0) {
            state.SkipWithError("dd or kolvo-cli failed");
            break;
        }
        ddRuns.push_back(d);
        cliRuns.push_back(c);
        state.SetIterationTime(c.wallMs / 1000);
    }
    if (ddRuns.empty())
        return;
    auto least = [](const std::vector<ChildRun>& runs, double ChildRun::*what) {
        double lowest = runs.front().*what;
        for (const ChildRun& r : runs)
            lowest = std::min(lowest, r.*what);
        return lowest;
    };
    auto median = [](const std::vector<ChildRun>& runs, double ChildRun::*what) {
        std::vector<double> v;
        for (const ChildRun& r : runs)
            v.push_back(r.*what);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["dd_ms"] = least(ddRuns, &ChildRun::wallMs);
    state.counters["cli_ms"] = least(cliRuns, &ChildRun::wallMs);
    state.counters["ratio"] = least(cliRuns, &ChildRun::wallMs) / least(ddRuns, &ChildRun::wallMs);
    state.counters["ratio_median"] =
        median(cliRuns, &ChildRun::wallMs) / median(ddRuns, &ChildRun::wallMs);
    state.counters["ratio_cpu"] =
        least(cliRuns, &ChildRun::cpuMs) / least(ddRuns, &ChildRun::cpuMs);
    state.SetLabel(resave ? "resave vs dd conv=fdatasync" : "check vs dd of=/dev/null");
}
BENCHMARK(BM_CliAgainstDd)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);

void BM_TypicalSong(benchmark::State& state) {
    SongModel m;
    fillTypical(m);
    QTemporaryDir dir;
    const QString kolvo = dir.filePath(QStringLiteral("typical.kolvo"));
    const QString dwi = dir.filePath(QStringLiteral("typical.dwi"));
    SongModel target;
    if (writeKolvoFile(kolvo, m))
        state.SkipWithError("write failed");
    const int op = int(state.range(0));
    for (auto _ : state) {
        if (op == 0) {
            if (writeKolvoFile(kolvo, m))
                state.SkipWithError("write failed");
        } else if (op == 1) {
            target.resetparameters();
            if (readKolvoFile(kolvo, target))
                state.SkipWithError("read failed");
        } else if (WriteDwiFile(m, dwi, DwiMode::Export)) {
            state.SkipWithError("export failed");
        }
    }
    state.SetLabel(op == 0 ? "write .kolvo" : op == 1 ? "read .kolvo" : "WriteDwiFile");
    state.counters["kolvo_KB"] = double(kolvoFileText(m).size()) / 1e3;
}
BENCHMARK(BM_TypicalSong)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Heap the model takes: allocated bytes before and after constructing one.
void BM_ModelMemory(benchmark::State& state) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        struct mallinfo2 before = mallinfo2();
        auto m = std::make_unique<SongModel>();
        struct mallinfo2 after = mallinfo2();
        bytes = after.uordblks + after.hblkhd - before.uordblks - before.hblkhd;
        benchmark::DoNotOptimize(m.get());
    }
    state.counters["model_MB"] = double(bytes + sizeof(SongModel)) / 1e6;
}
BENCHMARK(BM_ModelMemory)->Iterations(1);

} // namespace

BENCHMARK_MAIN();

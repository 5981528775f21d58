#include "ui/analysis/detecttempo.h"

#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "document/document.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/closeonescape.h"
#include "ui/timing/synchro.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPromise>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kolvo {

namespace {

constexpr int kProgressSteps = 1000;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text = QString()) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

DetectTempo::DetectTempo(AppContext& ctx, QWidget* summaryWindow, FieldWriter write,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_write(std::move(write)) {
    setObjectName(QStringLiteral("DetectTempo"));
    setWindowTitle(QStringLiteral("Detect BPM and Gap"));
    closeOnEscape(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumWidth(420);
    if (!m_write)
        m_write = [this](SummaryField f, const QString& text) {
            m_ctx.document.setField(f, normalizedNumberText(text));
        };

    auto* layout = new QVBoxLayout(this);
    m_music = ctx.document.song().musicadd();
    m_file = makeLabel(this, "musicLabel", QStringLiteral("Music: ") + m_music);
    layout->addWidget(m_file);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, kProgressSteps);
    layout->addWidget(m_progress);
    m_status = makeLabel(this, "statusLabel");
    layout->addWidget(m_status);

    auto* figures = new QGridLayout;
    figures->addWidget(makeLabel(this, "bpmCaption", QStringLiteral("BPM:")), 0, 0);
    m_bpm = makeLabel(this, "bpmLabel");
    QFont big = m_bpm->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    m_bpm->setFont(big);
    figures->addWidget(m_bpm, 0, 1);
    m_exact = makeLabel(this, "exactLabel");
    figures->addWidget(m_exact, 1, 1);
    figures->addWidget(makeLabel(this, "gapCaption", QStringLiteral("Gap:")), 2, 0);
    m_gap = makeLabel(this, "gapLabel");
    m_gap->setFont(big);
    figures->addWidget(m_gap, 2, 1);
    figures->setColumnStretch(1, 1);
    layout->addLayout(figures);
    layout->addWidget(makeLabel(this, "candidatesCaption",
                                QStringLiteral("Tempos the music could be charted in:")));
    m_candidates = new QListWidget(this);
    m_candidates->setObjectName(QStringLiteral("candidateList"));
    m_candidates->setSelectionMode(QAbstractItemView::SingleSelection);
    m_candidates->setMaximumHeight(6 * m_candidates->fontMetrics().height());
    layout->addWidget(m_candidates);
    m_confidence = makeLabel(this, "confidenceLabel");
    layout->addWidget(m_confidence);
    m_tempoMapCaption = makeLabel(this, "tempoMapCaption",
                                  QStringLiteral("Where the tempo changes (beats from the gap):"));
    layout->addWidget(m_tempoMapCaption);
    m_tempoMap = new QListWidget(this);
    m_tempoMap->setObjectName(QStringLiteral("tempoMapList"));
    m_tempoMap->setSelectionMode(QAbstractItemView::NoSelection);
    m_tempoMap->setMaximumHeight(6 * m_tempoMap->fontMetrics().height());
    layout->addWidget(m_tempoMap);
    m_tempoMapCaption->hide();
    m_tempoMap->hide();

    m_cancel = makeButton(this, "cancelButton", QStringLiteral("Cancel"));
    m_useBpm = makeButton(this, "useBpmButton", QStringLiteral("Use BPM"));
    m_useGap = makeButton(this, "useGapButton", QStringLiteral("Use Gap"));
    m_useBoth = makeButton(this, "useBothButton", QStringLiteral("Use Both"));
    m_useMap = makeButton(this, "useMapButton", QStringLiteral("Use Tempo Map"));
    m_useMap->setEnabled(false);
    m_checkByEar = makeButton(this, "checkByEarButton", QStringLiteral("Check by ear\u2026"));
    m_close = makeButton(this, "closeButton", QStringLiteral("Close"));
    auto* uses = new QHBoxLayout;
    uses->addWidget(m_useBpm);
    uses->addWidget(m_useGap);
    uses->addWidget(m_useBoth);
    uses->addWidget(m_useMap);
    uses->addStretch();
    uses->addWidget(m_checkByEar);
    layout->addLayout(uses);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_cancel);
    bottom->addWidget(m_close);
    layout->addLayout(bottom);

    connect(m_cancel, &QPushButton::clicked, this, &DetectTempo::cancel);
    connect(m_useBpm, &QPushButton::clicked, this, [this] { use(true, false); });
    connect(m_useGap, &QPushButton::clicked, this, [this] { use(false, true); });
    connect(m_useBoth, &QPushButton::clicked, this, [this] { use(true, true); });
    connect(m_useMap, &QPushButton::clicked, this, &DetectTempo::useMap);
    connect(m_checkByEar, &QPushButton::clicked, this, &DetectTempo::checkByEar);
    connect(m_candidates, &QListWidget::currentRowChanged, this, &DetectTempo::showCandidate);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(&m_watcher, &QFutureWatcher<analysis::TempoResult>::progressValueChanged, m_progress,
            &QProgressBar::setValue);
    connect(&m_watcher, &QFutureWatcher<analysis::TempoResult>::finished, this,
            &DetectTempo::showResult);
    // A program that quits does not wait for an analysis nobody will see.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &DetectTempo::cancel);

    m_summary = summaryWindow;
    m_lock.lock(summaryWindow);
    start();
}

DetectTempo::~DetectTempo() {
    if (m_stop)
        m_stop->store(true);
}

bool DetectTempo::running() const {
    return m_running;
}

const analysis::TempoCandidate* DetectTempo::chosen() const {
    if (!m_result.hasFigures() || m_chosen < 0 || m_chosen >= int(m_result.candidates.size()))
        return nullptr;
    return &m_result.candidates[std::size_t(m_chosen)];
}

QString DetectTempo::bpmText() const {
    const analysis::TempoCandidate* c = chosen();
    return c ? QString::fromStdString(analysis::bpmText(c->bpm)) : QString();
}

QString DetectTempo::gapText() const {
    const analysis::TempoCandidate* c = chosen();
    return c ? QString::number(analysis::gapWholeMs(c->gapMs)) : QString();
}

void DetectTempo::choose(int candidate) {
    m_candidates->setCurrentRow(candidate);
}

void DetectTempo::showCandidate(int row) {
    if (row < 0 || row >= int(m_result.candidates.size()))
        return;
    m_chosen = row;
    const analysis::TempoCandidate& c = m_result.candidates[std::size_t(row)];
    m_bpm->setText(QString::number(c.bpm, 'f', 2));
    // "exactly" only for a figure whose beats stay on the music's over the
    // whole song; a figure that parts from it says by how much.
    const QString measured = QStringLiteral("measured ") + QString::number(c.measuredBpm, 'f', 4) +
                             QStringLiteral(" \u00b1 ") + QString::number(c.bpmError, 'f', 4);
    if (c.exact)
        m_exact->setText(QStringLiteral("exactly ") + bpmText() + QStringLiteral(" (") + measured +
                         u')');
    else if (c.driftMs > analysis::kExactDriftMs)
        m_exact->setText(QStringLiteral("about ") + bpmText() + QStringLiteral(" (") + measured +
                         QStringLiteral("): its beats part from the music's by up to %1 ms")
                             .arg(qRound(c.driftMs)));
    else
        m_exact->setText(QStringLiteral("about ") + bpmText() + QStringLiteral(" (") + measured +
                         u')');
    m_gap->setText(gapText() + QStringLiteral(" ms"));
}

void DetectTempo::start() {
    for (QPushButton* b : {m_useBpm, m_useGap, m_useBoth, m_useMap, m_checkByEar})
        b->setEnabled(false);
    m_progress->setValue(0);
    if (m_music.trimmed().isEmpty()) {
        m_cancel->setEnabled(false);
        m_status->setText(QStringLiteral(
            "No music file is set. Choose the song's music file in the summary window first."));
        return;
    }
    m_cancel->setEnabled(true);
    m_running = true;
    m_status->setText(QStringLiteral("Listening to ") + QFileInfo(m_music).fileName() +
                      QStringLiteral("\u2026"));
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stop = stop;
    const std::string path = m_music.toStdString();
    m_watcher.setFuture(QtConcurrent::run([path, stop](QPromise<analysis::TempoResult>& promise) {
        promise.setProgressRange(0, kProgressSteps);
        analysis::Hooks hooks;
        hooks.cancel = stop.get();
        hooks.progress = [&promise](double f) {
            promise.setProgressValue(int(f * kProgressSteps));
        };
        promise.addResult(analysis::analyseFile(path, hooks));
    }));
}

void DetectTempo::cancel() {
    if (!running() || !m_stop)
        return;
    m_stop->store(true);
    m_cancel->setEnabled(false);
    m_status->setText(QStringLiteral("Cancelling\u2026"));
}

void DetectTempo::showResult() {
    m_running = false;
    m_cancel->setEnabled(false);
    const QFuture<analysis::TempoResult> f = m_watcher.future();
    m_result = f.resultCount() > 0 ? f.result() : analysis::TempoResult{};
    if (f.resultCount() == 0) {
        m_result.outcome = analysis::Outcome::Cancelled;
        m_result.message = "cancelled";
    }
    const bool figures = m_result.hasFigures();
    for (QPushButton* b : {m_useBpm, m_useGap, m_useBoth, m_checkByEar})
        b->setEnabled(figures);
    switch (m_result.outcome) {
    case analysis::Outcome::Steady:
    case analysis::Outcome::Guess:
        m_progress->setValue(kProgressSteps);
        m_status->setText(QStringLiteral("Done."));
        break;
    case analysis::Outcome::Cancelled:
        m_status->setText(QStringLiteral("Cancelled: nothing was changed."));
        break;
    case analysis::Outcome::NoBeat:
    case analysis::Outcome::Unreadable:
        m_status->setText(QStringLiteral("No figures for ") + QFileInfo(m_music).fileName() +
                          QStringLiteral(": ") + QString::fromStdString(m_result.message) +
                          QStringLiteral(". Nothing was changed."));
        break;
    }
    m_candidates->clear();
    m_tempoMap->clear();
    const bool map = figures && m_result.tempoMap.changesTempo();
    m_useMap->setEnabled(map);
    m_tempoMapCaption->setVisible(map);
    m_tempoMap->setVisible(map);
    if (map) {
        // Stops and changes in beat order; a stop at a change's beat after it.
        struct Line {
            double beat;
            int order;
            QString text;
        };
        std::vector<Line> lines;
        for (const analysis::BpmChange& c : m_result.tempoMap.changes)
            lines.push_back({c.beat, 0,
                             QStringLiteral("beat %1: %2 BPM")
                                 .arg(c.beat)
                                 .arg(QString::fromStdString(analysis::bpmText(c.bpm)))});
        for (const analysis::TempoStop& st : m_result.tempoMap.stops)
            lines.push_back({st.beat, 1,
                             QStringLiteral("beat %1: stop %2 ms")
                                 .arg(st.beat)
                                 .arg(analysis::gapWholeMs(st.seconds * 1000))});
        std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
            return a.beat < b.beat || (a.beat == b.beat && a.order < b.order);
        });
        m_tempoMap->addItem(
            QStringLiteral("gap %1 ms").arg(analysis::gapWholeMs(m_result.tempoMap.gapMs)));
        for (const Line& l : lines)
            m_tempoMap->addItem(l.text);
    }
    m_chosen = 0;
    if (figures) {
        for (const analysis::TempoCandidate& c : m_result.candidates)
            m_candidates->addItem(QStringLiteral("%1 BPM, gap %2 ms: %3%")
                                      .arg(QString::number(c.bpm, 'f', 2))
                                      .arg(analysis::gapWholeMs(c.gapMs))
                                      .arg(qRound(100 * c.confidence)));
        m_candidates->setCurrentRow(0);
        showCandidate(0);
        QString sure = m_result.outcome == analysis::Outcome::Steady
                           ? QStringLiteral("Steady beat found over %1% of the song.")
                                 .arg(qRound(100 * m_result.steadyShare))
                           : QStringLiteral("No steady beat: the figures are a guess.");
        if (map)
            sure = QStringLiteral("The tempo changes: these figures fit only part of the song. "
                                  "Use Tempo Map writes every tempo below.");
        else if (m_result.tempoChanges)
            sure = QStringLiteral("The tempo changes: these figures fit only part of the song.");
        if (m_result.octaveBalanced && m_result.candidates.size() > 1)
            sure += QStringLiteral(" The music gives about as much reason for %1 BPM (%2%) as for "
                                   "%3 (%4%): check by ear.")
                        .arg(QString::number(m_result.candidates[1].bpm, 'f', 2))
                        .arg(qRound(100 * m_result.candidates[1].confidence))
                        .arg(QString::number(m_result.bpm, 'f', 2))
                        .arg(qRound(100 * m_result.candidates[0].confidence));
        m_confidence->setText(sure);
    } else {
        m_bpm->clear();
        m_exact->clear();
        m_gap->clear();
        m_confidence->clear();
    }
    emit finished();
}

void DetectTempo::use(bool bpm, bool gap) {
    if (!m_result.hasFigures())
        return;
    // One step of the history, named for what it writes.
    Document& doc = m_ctx.document;
    doc.closeMerging();
    doc.beginStep(bpm && gap ? QStringLiteral("Edit BPM and Gap")
                  : bpm      ? QStringLiteral("Edit BPM")
                             : QStringLiteral("Edit Gap"));
    if (bpm)
        m_write(SummaryField::Bpm, bpmText());
    if (gap)
        m_write(SummaryField::Gap, gapText());
    doc.endStep();
    doc.closeMerging();
    m_status->setText(bpm && gap ? QStringLiteral("BPM and gap written into the song.")
                      : bpm      ? QStringLiteral("BPM written into the song.")
                                 : QStringLiteral("Gap written into the song."));
}

void DetectTempo::useMap() {
    if (!m_result.hasFigures() || !m_result.tempoMap.changesTempo())
        return;
    const analysis::TempoMapGuess& map = m_result.tempoMap;
    constexpr ChartSlot kSongSlot = SongModel::slotOf(Single, Basic);
    auto tickOfBeat = [](double beat) { return Tick(std::llround(beat * kFineRowsPerBeat)); };
    auto bpmValue = [](double bpm) { return std::round(bpm * 1000) / 1000; };
    Document& doc = m_ctx.document;
    doc.closeMerging();
    doc.beginStep(QStringLiteral("Use Tempo Map"));
    m_write(SummaryField::Bpm, QString::fromStdString(analysis::bpmText(map.changes.front().bpm)));
    m_write(SummaryField::Gap, QString::number(analysis::gapWholeMs(map.gapMs)));
    // The map takes the place of the song's BPM changes and freezes.
    const std::vector<TempoCell> old = m_ctx.document.song().songTempoCells();
    for (const TempoCell& cell : old)
        doc.setTempoAt(kSongSlot, cell.tick, cell.channel, std::nullopt);
    int dropped = 0;
    for (std::size_t i = 1; i < map.changes.size(); ++i) {
        const Tick tick = tickOfBeat(map.changes[i].beat);
        if (tick > 0 && tick <= kLastTick)
            doc.setTempoAt(kSongSlot, tick, BPMCHANNEL, bpmValue(map.changes[i].bpm));
        else
            ++dropped;
    }
    for (const analysis::TempoStop& st : map.stops) {
        const Tick tick = tickOfBeat(st.beat);
        if (tick >= 0 && tick <= kLastTick)
            doc.setTempoAt(kSongSlot, tick, FREEZECHANNEL, std::round(st.seconds * 1000));
        else
            ++dropped;
    }
    doc.endStep();
    doc.closeMerging();
    m_status->setText(dropped == 0 ? QStringLiteral("Tempo map written into the song.")
                                   : QStringLiteral("Tempo map written into the song; %1 events "
                                                    "past the last bar left out.")
                                         .arg(dropped));
}

void DetectTempo::checkByEar() {
    if (!m_result.hasFigures())
        return;
    // The checker holds the summary window too, and writes both figures on OK.
    auto* w = new Synchro(m_ctx, m_summary);
    w->bpmEdit()->setText(bpmText());
    w->gapEdit()->setText(gapText());
    w->show();
}

void DetectTempo::closeEvent(QCloseEvent* event) {
    if (m_stop)
        m_stop->store(true);
    m_lock.release();
    event->accept();
}

} // namespace kolvo

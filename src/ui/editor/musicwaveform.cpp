#include "ui/editor/musicwaveform.h"

#include "core/files/digest.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kolvo {

struct MusicWaveform::Loaded {
    analysis::Peaks peaks;
    std::vector<double> onsets;
    bool fromCache = false;
    QString error;
};

MusicWaveform::MusicWaveform(QObject* parent)
    : QObject(parent), m_peaks(std::make_shared<analysis::Peaks>()),
      m_onsets(std::make_shared<std::vector<double>>()) {
    m_pool.setMaxThreadCount(1);
}

MusicWaveform::~MusicWaveform() {
    if (m_stop)
        m_stop->store(true);
    m_pool.waitForDone();
}

QString MusicWaveform::cacheFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/Kolvo/peaks");
}

QString MusicWaveform::message() const {
    switch (m_state) {
    case State::NoMusic:
        return QStringLiteral("No music file.");
    case State::Loading:
        return QStringLiteral("Reading the music\u2026");
    case State::Failed:
        return m_error;
    case State::Ready:
        break;
    }
    return {};
}

void MusicWaveform::setMusic(const QString& path) {
    const QFileInfo info(path);
    if (path == m_path && m_state != State::NoMusic && info.exists() == (m_size >= 0) &&
        info.size() == m_size && info.lastModified() == m_modified)
        return;
    m_path = path;
    m_size = info.exists() ? info.size() : -1;
    m_modified = info.exists() ? info.lastModified() : QDateTime();
    start();
}

void MusicWaveform::start() {
    if (m_stop)
        m_stop->store(true);
    const unsigned generation = ++m_generation;
    m_peaks = std::make_shared<analysis::Peaks>();
    m_onsets = std::make_shared<std::vector<double>>();
    m_fromCache = false;
    m_onsetsReady = false;
    m_error.clear();
    if (m_path.isEmpty()) {
        m_state = State::NoMusic;
        emit changed();
        return;
    }
    m_state = State::Loading;
    emit changed();
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stop = stop;
    const QString path = m_path;
    const QString folder = cacheFolder();
    // Waited for in the destructor, so `this` outlives the job.
    m_pool.start([this, path, folder, stop, generation] {
        auto loaded = std::make_shared<Loaded>();
        auto deliverPeaks = [&] {
            QMetaObject::invokeMethod(
                this, [this, loaded, generation] { finishPeaks(loaded, generation); },
                Qt::QueuedConnection);
        };
        const QString digest = DigestFile(path);
        if (digest.size() != 32) {
            loaded->error =
                QStringLiteral("Music file not found: %1").arg(QFileInfo(path).fileName());
            deliverPeaks();
            return;
        }
        const std::string cached =
            QDir(folder).filePath(digest + QStringLiteral(".peaks")).toStdString();
        if (analysis::Peaks::load(cached, loaded->peaks, loaded->onsets)) {
            loaded->fromCache = true;
            deliverPeaks();
            return;
        }
        analysis::Hooks hooks;
        hooks.cancel = stop.get();
        std::string error;
        const analysis::Audio audio = analysis::decodeAudio(path.toStdString(), error, hooks);
        if (stop->load())
            return;
        if (audio.samples.empty()) {
            loaded->error =
                QStringLiteral("The music cannot be read (%1).").arg(QString::fromStdString(error));
            deliverPeaks();
            return;
        }
        loaded->peaks = analysis::Peaks::fromSamples(audio.samples, audio.sampleRate);
        deliverPeaks();
        auto onsets =
            std::make_shared<const std::vector<double>>(analysis::onsetTimesMs(audio, hooks));
        if (stop->load())
            return;
        loaded->peaks.save(cached, *onsets); // a cache that cannot be written is only slower
        QMetaObject::invokeMethod(
            this, [this, onsets, generation] { finishOnsets(onsets, generation); },
            Qt::QueuedConnection);
    });
}

void MusicWaveform::finishPeaks(const std::shared_ptr<Loaded>& loaded, unsigned generation) {
    if (generation != m_generation)
        return;
    if (!loaded->error.isEmpty()) {
        m_state = State::Failed;
        m_error = loaded->error;
    } else {
        m_state = State::Ready;
        m_peaks = std::shared_ptr<const analysis::Peaks>(loaded, &loaded->peaks);
        m_fromCache = loaded->fromCache;
        if (loaded->fromCache) {
            m_onsets = std::shared_ptr<const std::vector<double>>(loaded, &loaded->onsets);
            m_onsetsReady = true;
        }
    }
    emit changed();
}

void MusicWaveform::finishOnsets(std::shared_ptr<const std::vector<double>> onsets,
                                 unsigned generation) {
    if (generation != m_generation)
        return;
    m_onsets = std::move(onsets);
    m_onsetsReady = true;
    emit changed();
}

} // namespace kolvo

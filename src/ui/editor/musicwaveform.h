#pragma once

#include "analysis/peaks.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <vector>

namespace kolvo {

// The song's music as the waveform strips draw it: its peaks and its
// attacks, decoded on a worker thread and kept in the per-user cache folder
// under the music file's digest, so a song opened again shows at once.
// While nothing can be drawn, message() says why in a few words.
class MusicWaveform : public QObject {
    Q_OBJECT
  public:
    enum class State { NoMusic, Loading, Ready, Failed };

    explicit MusicWaveform(QObject* parent = nullptr);
    ~MusicWaveform() override;

    // Loads the music at `path` unless it is the file already loaded,
    // unchanged since. An empty path clears.
    void setMusic(const QString& path);

    State state() const { return m_state; }
    // One short line for the strip while it shows no waveform ("" when ready).
    QString message() const;
    const analysis::Peaks& peaks() const { return *m_peaks; }
    const std::vector<double>& onsetsMs() const { return *m_onsets; }
    // The peaks came from the cache folder rather than the decoder.
    bool fromCache() const { return m_fromCache; }
    // The attacks are known (they follow the peaks a little later when
    // the music is decoded).
    bool onsetsReady() const { return m_onsetsReady; }

    // The cache folder ($XDG_CACHE_HOME/Kolvo/peaks).
    static QString cacheFolder();

  signals:
    // The state, the peaks or the onsets changed.
    void changed();

  private:
    struct Loaded;
    void start();
    void finishPeaks(const std::shared_ptr<Loaded>& loaded, unsigned generation);
    void finishOnsets(std::shared_ptr<const std::vector<double>> onsets, unsigned generation);

    QString m_path;
    qint64 m_size = -1;
    QDateTime m_modified;
    State m_state = State::NoMusic;
    QString m_error;
    std::shared_ptr<const analysis::Peaks> m_peaks;
    std::shared_ptr<const std::vector<double>> m_onsets;
    bool m_fromCache = false;
    bool m_onsetsReady = false;
    unsigned m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_stop;
    QThreadPool m_pool; // the jobs; waited for on destruction
};

} // namespace kolvo

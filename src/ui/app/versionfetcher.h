#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace kolvo {

// Fetches the small version file over HTTP. A download is refused (counts as
// failed) when it takes longer than the time limit, grows beyond the size
// limit, or the server answers anything but 200. Redirects are followed only
// on the same host, port and scheme.
class VersionFetcher : public QObject {
    Q_OBJECT
  public:
    static constexpr int kDefaultTimeLimitMs = 10000;
    static constexpr qint64 kDefaultSizeLimit = 16 * 1024;
    static constexpr int kMaxRedirects = 5;

    explicit VersionFetcher(QObject* parent = nullptr);
    ~VersionFetcher() override;

    void setTimeLimit(int ms) { m_timeLimitMs = ms; }
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }

    // Starts the download; finished() follows exactly once, never from
    // within this call (an invalid URL fails on the next pass of the event
    // loop).
    void start(const QUrl& url);
    bool busy() const { return m_reply != nullptr || m_pendingFailure; }

  signals:
    void finished(bool ok, const QByteArray& content);

  private:
    void onReplyFinished();

    QNetworkAccessManager m_nam;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    int m_timeLimitMs = kDefaultTimeLimitMs;
    qint64 m_sizeLimit = kDefaultSizeLimit;
    bool m_tooBig = false;
    bool m_pendingFailure = false;
};

} // namespace kolvo

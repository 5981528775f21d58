#include "ui/app/versionfetcher.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace kolvo {

VersionFetcher::VersionFetcher(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // A server that trickles bytes never trips the transfer timeout; this
        // limits the whole download.
        if (m_reply)
            m_reply->abort();
    });
}

VersionFetcher::~VersionFetcher() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void VersionFetcher::start(const QUrl& url) {
    if (busy())
        return;
    if (!url.isValid()) {
        m_pendingFailure = true;
        QTimer::singleShot(0, this, [this] {
            m_pendingFailure = false;
            emit finished(false, {});
        });
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(m_timeLimitMs);
    // A redirect may move the file on the same server, never to another host,
    // port or scheme (so never from https down to http).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    m_tooBig = false;
    QNetworkReply* reply = m_nam.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 received, qint64 total) {
                if (received > m_sizeLimit || total > m_sizeLimit) {
                    m_tooBig = true;
                    reply->abort();
                }
            });
    connect(reply, &QNetworkReply::finished, this, &VersionFetcher::onReplyFinished);
    m_timer.start(m_timeLimitMs);
}

void VersionFetcher::onReplyFinished() {
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    m_timer.stop();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    bool ok = reply->error() == QNetworkReply::NoError && status == 200 && !m_tooBig;
    QByteArray content;
    if (ok) {
        content = reply->read(m_sizeLimit + 1);
        if (content.size() > m_sizeLimit) {
            ok = false;
            content.clear();
        }
    }
    reply->disconnect(this);
    reply->deleteLater();
    emit finished(ok, content);
}

} // namespace kolvo

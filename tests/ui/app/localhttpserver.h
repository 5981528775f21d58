#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 for the update tests. Each path gets a
// canned answer; every request line is recorded.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

namespace kolvo::test {

class LocalHttpServer : public QObject {
  public:
    enum class Mode { Body, NotFound, Silent, Huge, Redirect };
    struct Answer {
        Mode mode = Mode::Body;
        QByteArray body; // for Redirect: the Location
    };

    LocalHttpServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                s->setParent(this);
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { onData(s); });
            }
        });
    }

    QString address() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    void set(const QByteArray& path, Answer a) { m_answers.insert(path, a); }
    QList<QByteArray> requests; // request targets, e.g. "/kolvo/autoupdate.txt?random=12"

    // A port on which nothing listens.
    static quint16 closedPort() {
        QTcpServer s;
        s.listen(QHostAddress::LocalHost, 0);
        const quint16 port = s.serverPort();
        s.close();
        return port;
    }

  private:
    void onData(QTcpSocket* s) {
        QByteArray& buf = m_buffers[s];
        buf += s->readAll();
        if (!buf.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> first = buf.left(buf.indexOf("\r\n")).split(' ');
        const QByteArray target = first.size() > 1 ? first.at(1) : QByteArray();
        requests << target;
        const QByteArray path =
            target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
        const Answer a = m_answers.value(path, Answer{Mode::NotFound, {}});
        switch (a.mode) {
        case Mode::Body:
            s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                     QByteArray::number(a.body.size()) + "\r\nConnection: close\r\n\r\n" + a.body);
            s->disconnectFromHost();
            break;
        case Mode::NotFound:
            s->write("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot "
                     "found");
            s->disconnectFromHost();
            break;
        case Mode::Redirect:
            s->write("HTTP/1.1 302 Found\r\nLocation: " + a.body +
                     "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            s->disconnectFromHost();
            break;
        case Mode::Silent:
            break; // never answers
        case Mode::Huge:
            // No length given: the client only learns the size by receiving it.
            s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
            s->write(QByteArray(4 * 1024 * 1024, '7'));
            s->disconnectFromHost();
            break;
        }
    }

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};

} // namespace kolvo::test

#pragma once
// kolvo-cli run as a process, and the file helpers its tests share.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace kolvo::test {

struct CliRun {
    int status; // -1 when it crashed or did not finish
    QString out;
    QString err;
};

CliRun cli(const QStringList& args);

// The file's bytes; empty when it cannot be read.
QByteArray readAll(const QString& path);

} // namespace kolvo::test

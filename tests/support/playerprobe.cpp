// A program that holds one player link, as one running copy of the editor
// would, for tests of several copies at once:
//
//     kolvo_playerprobe MUSIC
//
// starts the player (mpv found on PATH, KOLVO_MPV_OPTIONS applied) on MUSIC,
// prints its socket path and the player's process id on two lines once the
// player answers, then waits for a line on standard input and exits normally
// (its link ends the player then). Exit codes: 2 bad use or no mpv, 3 the
// player never answered.
#include "ui/platform/launcher.h"
#include "ui/platform/playerlink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString mpv = QStandardPaths::findExecutable(QStringLiteral("mpv"));
    if (argc != 2 || mpv.isEmpty())
        return 2;
    kolvo::ProcessLauncher launcher;
    kolvo::MpvPlayerLink link;
    if (!link.launch(launcher, QFileInfo(mpv).absolutePath(), QString::fromLocal8Bit(argv[1])))
        return 2;
    QDeadlineTimer deadline(10000);
    while (!link.FindWindowA()) {
        if (deadline.hasExpired())
            return 3;
        QThread::msleep(50);
    }
    std::printf("%s\n%d\n", qPrintable(link.socketPath()), link.winampwindow);
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

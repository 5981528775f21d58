#pragma once

#include "core/song/editsession.h"
#include "document/document.h"

#include <QString>
#include <QStringList>

namespace kolvo {

class SongModel;
class MessageBoxes;
class FileDialogs;
class Launcher;
class PlayerLink;

// What every window is handed: the one song and its document (undo history,
// change announcements), the editing session, the services that stand in for
// the operating system's, and the few values the tools share. Owned by the
// program (or by a test), passed by reference, never global.
struct AppContext {
    // The song's storage, handed to the document: windows read the song
    // through document.song() and change it only through the document.
    SongModel& songStore;
    MessageBoxes& boxes;
    FileDialogs& dialogs;
    Launcher& launcher;
    PlayerLink& player;

    QStringList arguments = {}; // the program's command line (as QCoreApplication::arguments())
    QString simulatorpath = QStringLiteral("/"); // folder of the simulator, no trailing "/"
    QString winamppath = QStringLiteral("/");    // folder of the player program
    int goahead = 0;                             // start-up step counter
    int wideviewopen = 0;                        // 1 while that tool window is loaded
    int powertoolsopen = 0;
    int transformationsopen = 0;
    int grabsetupopen = 0; // 1 while the step grabber setup is open
    double playbarend = 0; // ms at which the wide view pauses a played bar

    EditSession session = {};     // chart and bar being edited, dialog answer, auto-display
    Document document{songStore}; // the song's only owner and voice
};

} // namespace kolvo

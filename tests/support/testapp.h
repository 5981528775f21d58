#pragma once
// One-line set-up for window tests: the song, scripted services, a
// recording launcher and a scripted player, bundled in an AppContext.
//
//     kolvo::test::TestApp app;            // everything scripted
//     SomeWindow w(app.ctx);
//     app.boxes.answers << kolvo::MsgAnswer::Yes;
//     ... app.boxes.last().text, app.launcher.calls, app.player.commands ...
//
// Tests that need the real programs use RealLaunchTestApp (a
// ProcessLauncher; the player stays scripted) or RealPlayerTestApp (real
// launcher and mpv), and argRecorderPath().

#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/launcher.h"
#include "ui/platform/playerlink.h"

#include "recordinglauncher.h"
#include "scriptedfiledialogs.h"
#include "scriptedmessageboxes.h"
#include "scriptedplayer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace kolvo::test {

// Writes `bytes` to `path`, making its folders; returns `path` (empty on error).
QString writeScratchFile(const QString& path, const QByteArray& bytes);

template <class LauncherT, class PlayerT = ScriptedPlayer> struct BasicTestApp {
    SongModel model;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    LauncherT launcher;
    PlayerT player;
    AppContext ctx{model, boxes, dialogs, launcher, player};
    QTemporaryDir dir; // a private scratch folder, removed afterwards

    // Writes `bytes` to dir/<name> (sub-folders made) and returns the path.
    QString writeFile(const QString& name, const QByteArray& bytes = {}) {
        return writeScratchFile(dir.filePath(name), bytes);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
};

using TestApp = BasicTestApp<RecordingLauncher>;
using RealLaunchTestApp = BasicTestApp<ProcessLauncher>;
// The real player too: mpv found through `ctx.winamppath` (set it to the
// folder holding mpv, e.g. "/usr/bin"); set KOLVO_MPV_OPTIONS to
// "--ao=null --vo=null" first so it runs headless.
using RealPlayerTestApp = BasicTestApp<ProcessLauncher, MpvPlayerLink>;

// ---- the argument recorder (tests/support/argrecorder.cpp) ----
// Full path of the built kolvo_argrecorder program.
QString argRecorderPath();

// What one run of the recorder saw.
struct ArgRecord {
    QStringList args; // argv[1..]
    QString cwd;      // its working folder
};

// Copies (or links) the recorder to `path` (e.g. "<sim>/DWI2.exe") so it
// stands in for another program; returns false if that failed.
bool installArgRecorder(const QString& path);

// Points the recorder at `outputFile` (environment variable
// KOLVO_ARGRECORDER_OUT, inherited by programs started from now on).
void setArgRecorderOutput(const QString& outputFile);

// All runs recorded in `outputFile` so far, oldest first.
QList<ArgRecord> readArgRecords(const QString& outputFile);
// Waits (processing events) until `outputFile` holds at least `count` runs,
// at most `timeoutMs`; returns the last run or nothing.
std::optional<ArgRecord> waitForArgRecord(const QString& outputFile, int count = 1,
                                          int timeoutMs = 5000);

// Writes a short silent-ish 16-bit mono PCM WAV (a 440 Hz tone) of
// `durationMs` to `path`; returns false on a write error.
bool writeTestWav(const QString& path, int durationMs, int sampleRate = 44100);

} // namespace kolvo::test

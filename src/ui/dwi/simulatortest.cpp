#include "ui/dwi/simulatortest.h"

#include "core/dwi/dwiwriter.h"
#include "core/song/songmodel.h"
#include "ui/dwi/dwiloading.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/launcher.h"
#include "ui/platform/messageboxes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace kolvo {

namespace {

const QString kFolderName = QStringLiteral("kolvotemporaryfolder");

QString joinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

// The simulator's words for a style and a level; the first for anything
// out of range.
QString styleWord(int style) {
    static const char* const words[] = {"SINGLE", "DOUBLE", "COUPLE", "SOLO"};
    return QString::fromLatin1(words[style >= Single && style <= Solo ? style - 1 : 0]);
}

// A Beginner chart is played as the simulator's files name it, so the test
// plays the chart being edited rather than the Basic one.
QString levelPart(int level) {
    static const char* const words[] = {"BEGINNER", "BASIC", "ANOTHER", "MANIAC", "SMANIAC"};
    return QStringLiteral(" /level:") +
           QString::fromLatin1(words[level >= Beginner && level <= SManiac ? level : Basic]);
}

// Removes the files (and links) directly in `folder`; a link to a folder is
// removed as a link, never followed.
void removeFilesIn(const QString& folder) {
    QDir dir(folder);
    const auto entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries)
        QFile::remove(entry.absoluteFilePath());
}

bool simulatorMissing(AppContext& ctx, QWidget* owner) {
    if (QFileInfo(simulatorProgramPath(ctx.simulatorpath)).isFile())
        return false;
    ctx.boxes.show(owner,
                   QStringLiteral("DWI2.exe not found in your simulator directory. Check the "
                                  "directory in Options."),
                   QStringLiteral("DWI Not Found"), MsgButtons::Ok, MsgIcon::None);
    return true;
}

// Writes the test file and starts the simulator on its folder, then shows
// DWILoading until the user closes it. Any failure is said and the folder
// emptied again, since nothing will read the file.
void writeAndRun(AppContext& ctx, QWidget* owner, DwiMode mode, int style, int level, bool tick) {
    const QString sim = ctx.simulatorpath;
    if (const auto error = WriteDwiFile(ctx.document.song(), testFilePath(sim), mode)) {
        ctx.boxes.show(
            owner, QStringLiteral("The test file could not be written: %1").arg(error->message()),
            QStringLiteral("DWI Not Started"), MsgButtons::Ok, MsgIcon::Exclamation);
        EmptyTestFolder(sim);
        return;
    }
    QString why;
    if (!ctx.launcher.start(simulatorProgramPath(sim), simulatorArguments(sim, style, level, tick),
                            sim, &why)) {
        ctx.boxes.show(owner,
                       QStringLiteral("DWI2.exe could not be started. %1").arg(why).trimmed(),
                       QStringLiteral("DWI Not Started"), MsgButtons::Ok, MsgIcon::Exclamation);
        EmptyTestFolder(sim);
        return;
    }
    QPointer<DWILoading> loading = new DWILoading(sim, owner);
    loading->setWindowModality(Qt::ApplicationModal);
    loading->exec();
    delete loading.data();
}

} // namespace

QString testFolderPath(const QString& simulatorpath) {
    return joinPath(simulatorpath, kFolderName);
}

QString testFilePath(const QString& simulatorpath) {
    return joinPath(testFolderPath(simulatorpath), QStringLiteral("temptest.dwi"));
}

QString simulatorProgramPath(const QString& simulatorpath) {
    return joinPath(simulatorpath, QStringLiteral("DWI2.exe"));
}

namespace {
// The switches after the folder: " /style:... /level:..." (and the tick).
QString chartSwitches(int style, int level, bool tick) {
    if (tick)
        return QStringLiteral(" /style:SINGLE /level:BASIC /tick:1");
    return QStringLiteral(" /style:") + styleWord(style) + levelPart(level);
}
} // namespace

QString simulatorParameters(const QString& simulatorpath, int style, int level, bool tick) {
    return QStringLiteral("/window /test:") + testFolderPath(simulatorpath) +
           chartSwitches(style, level, tick);
}

QStringList simulatorArguments(const QString& simulatorpath, int style, int level, bool tick) {
    // The folder may hold blanks: it stays one argument, never split.
    QStringList args{QStringLiteral("/window"),
                     QStringLiteral("/test:") + testFolderPath(simulatorpath)};
    args += chartSwitches(style, level, tick).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return args;
}

bool PrepareTestFolder(const QString& simulatorpath, QString* error) {
    const QString folder = testFolderPath(simulatorpath);
    const QFileInfo info(folder);
    if (info.isSymLink()) {
        QFile::remove(folder); // ours to replace, never to follow
    } else if (info.isDir()) {
        removeFilesIn(folder);
        // A folder that still holds something (a sub-folder) is kept, empty
        // of files, rather than failing the test.
        QDir().rmdir(folder);
    }
    if (QFileInfo(folder).isDir() || QDir().mkpath(folder))
        return true;
    if (error)
        *error = QStringLiteral("The folder %1 could not be created.")
                     .arg(QDir::toNativeSeparators(folder));
    return false;
}

void EmptyTestFolder(const QString& simulatorpath) {
    const QString folder = testFolderPath(simulatorpath);
    const QFileInfo info(folder);
    if (info.isDir() && !info.isSymLink())
        removeFilesIn(folder);
}

void TestInSimulator(AppContext& ctx, QWidget* owner) {
    if (ctx.session.currentlevel == Edit) {
        // The simulator's files have no place for an Edit chart: nothing
        // it could play is this chart.
        ctx.boxes.show(owner,
                       QStringLiteral("DWI has no Edit charts, so this chart cannot be tested in "
                                      "DWI. Test it in a simulator that reads .sm or .ssc files."),
                       QStringLiteral("DWI Not Started"), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    ctx.document.beforeRiskyStep(); // a recovery copy first: the simulator may hang the desktop
    QString folderError;
    const bool folderReady = PrepareTestFolder(ctx.simulatorpath, &folderError);
    if (simulatorMissing(ctx, owner))
        return;
    if (!folderReady) {
        ctx.boxes.show(owner, folderError, QStringLiteral("DWI Not Started"), MsgButtons::Ok,
                       MsgIcon::Exclamation);
        return;
    }
    writeAndRun(ctx, owner, DwiMode::EditorTest, ctx.session.currentstyle, ctx.session.currentlevel,
                false);
}

void TickTest(AppContext& ctx, QWidget* owner) {
    const SongModel& m = ctx.document.song();
    if (m.musicadd().isEmpty() || m.songname().isEmpty() || m.artist().isEmpty()) {
        ctx.boxes.show(owner,
                       QStringLiteral("MP3 File Location, song name and artist are not all filled "
                                      "in. Complete them and try again."),
                       QStringLiteral("Incomplete"), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    QString folderError;
    const bool folderReady = PrepareTestFolder(ctx.simulatorpath, &folderError);
    if (simulatorMissing(ctx, owner))
        return;
    if (!folderReady) {
        ctx.boxes.show(owner, folderError, QStringLiteral("DWI Not Started"), MsgButtons::Ok,
                       MsgIcon::Exclamation);
        return;
    }
    writeAndRun(ctx, owner, DwiMode::TickTest, Single, Basic, true);
}

} // namespace kolvo

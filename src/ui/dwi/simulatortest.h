#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace kolvo {

struct AppContext;

// Trying the song in the simulator: a temporary DWI file in a folder of our
// own under the simulator folder, the simulator started on that folder, and
// the DWILoading window, whose closing deletes the file again.

// "<simulatorpath>/kolvotemporaryfolder", ".../temptest.dwi" and
// "<simulatorpath>/DWI2.exe" (never a doubled "/").
QString testFolderPath(const QString& simulatorpath);
QString testFilePath(const QString& simulatorpath);
QString simulatorProgramPath(const QString& simulatorpath);

// The simulator's parameter text: "/window /test:<folder> /style:SINGLE
// /level:BASIC", with " /tick:1" added for the tick test. The folder is
// inserted as it is, without quotation marks.
QString simulatorParameters(const QString& simulatorpath, int style, int level, bool tick);
// The same text as the argument list handed to the launcher: split at the
// blanks, so a Windows program sees exactly the parameter text above.
QStringList simulatorArguments(const QString& simulatorpath, int style, int level, bool tick);

// Empties and re-creates the test folder. Returns false (and a sentence in
// `error`) when the folder cannot be made ready.
bool PrepareTestFolder(const QString& simulatorpath, QString* error = nullptr);

// Deletes every file in the test folder; the folder itself stays.
void EmptyTestFolder(const QString& simulatorpath);

// The step editor's "Test in DWI": every chart with data, played at
// currentstyle / currentlevel. Blocks (showing DWILoading) until the user
// closes DWILoading. `owner` is the editor window.
void TestInSimulator(AppContext& ctx, QWidget* owner);

// The summary window's "test in DWI." label: the song's header and tempo
// events with a fixed chart of arrows on every beat.
void TickTest(AppContext& ctx, QWidget* owner);

} // namespace kolvo

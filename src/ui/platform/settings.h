#pragma once

#include <QString>
#include <QStringList>

namespace kolvo {

// The per-user settings store: text values addressed by section and key
// (application "Kolvo"), an INI file in the user's config folder. Sections
// and keys compare without regard to case.
QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue);
void WriteSetting(const QString& section, const QString& key, const QString& text);
// Full path of the settings file, for telling the user where a value is set.
QString settingsFilePath();

// Full path of one of the program's fixed files ("kolvodebug.txt",
// "kolvo.ini", "kolvoupdate.tmp", "temphtm.HTM") in the per-user data folder,
// which is created on demand.
QString dataFilePath(const QString& name);

// Debug log: on only when the command line contains "/debug" exactly (lower
// case, anywhere in it). `arguments` as QCoreApplication::arguments() gives
// them: the first, the program itself, is not part of the command line (a
// program kept in a folder named "debug" does not switch logging on).
void setDebugLogFromArguments(const QStringList& arguments);
bool debugLogEnabled();
// Appends one line to kolvodebug.txt when logging is on; otherwise does
// nothing and creates nothing.
void DebugLog(const QString& message);

} // namespace kolvo

#pragma once

#include <QString>

namespace kolvo {

// The per-user settings store: text values addressed by section and key
// (application "Kolvo"), an INI file in the user's config folder. Sections
// and keys compare without regard to case.
QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue);
void WriteSetting(const QString& section, const QString& key, const QString& text);

// Full path of one of the program's fixed files ("kolvodebug.txt",
// "kolvo.ini", "kolvoupdate.tmp", "temphtm.HTM") in the per-user data folder,
// which is created on demand.
QString dataFilePath(const QString& name);

// Debug log: on only when the command line contains "/debug" exactly.
void setDebugLogFromArguments(const QStringList& arguments);
bool debugLogEnabled();
// Appends one line to kolvodebug.txt when logging is on; otherwise does
// nothing and creates nothing.
void DebugLog(const QString& message);

} // namespace kolvo

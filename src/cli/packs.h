#pragma once
// kolvo-cli's commands over many song files at once: check and convert,
// taking files and folders (song packs).

#include <QStringList>

namespace kolvo::cli {

// The arguments after the command's name. Both return the exit status:
// 0 all went well, 1 a file was refused (or, for convert, not written),
// 2 a usage error, 130 stopped by Ctrl+C.
int checkCommand(const QStringList& args);
int convertCommand(const QStringList& args);

// The lines kolvo-cli --help shows for these commands.
extern const char kPackUsage[];

} // namespace kolvo::cli

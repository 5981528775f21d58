#pragma once

#include <QString>

// Rules of the start-up sequence and the folder dialogs that need no window.
namespace kolvo {

// Settings the start-up sequence reads and writes.
inline const QString kDirInfoSection = QStringLiteral("DirInfo");
inline const QString kSimulatorKey = QStringLiteral("DDRSimulator");
inline const QString kPlayerKey = QStringLiteral("Winamp");      // read under this name
inline const QString kPlayerStoreKey = QStringLiteral("WinAmp"); // stored by the dialog; same key
inline const QString kSettingsSection = QStringLiteral("Settings");
inline const QString kCheckUpdateKey = QStringLiteral("checkupdateonstart");
// Scheme and host of the update server; empty means no update server, which
// behaves as a download that failed.
inline const QString kUpdateAddressKey = QStringLiteral("updateaddress");

// A folder that was never chosen reads as the file-system root.
inline const QString kUnsetFolder = QStringLiteral("/");

// The simulator folder must be asked for when it is unset, or when it still
// points into an old "DWI Support" folder (any case), which the simulator
// no longer needs.
bool simulatorPathNeedsAsking(const QString& path);
// The player folder must be asked for when it is unset.
bool playerPathNeedsAsking(const QString& path);

// The folder as it is stored: no trailing "/", except that the root stays "/".
QString folderForStorage(const QString& path);

} // namespace kolvo

#pragma once

#include "core/app/version.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// The version file of the update check and how it is compared with the
// running program. Plain logic: no network, no windows.
namespace kolvo {

struct VersionNumber {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// The version of this release.
inline constexpr VersionNumber kProgramVersion{KOLVO_VERSION_MAJOR, KOLVO_VERSION_MINOR,
                                               KOLVO_VERSION_PATCH};

// "1.0.1"
QString versionText(const VersionNumber& v = kProgramVersion);

// The three lines of a downloaded version file, each trimmed of blanks for
// display, with the numeric value of each (a line without a number counts 0).
struct VersionFile {
    QString major;
    QString minor;
    QString revision;
    double majorValue = 0;
    double minorValue = 0;
    double revisionValue = 0;
};

// Reads the first three lines (LF or CR LF ends; further lines are ignored).
// A file of fewer than three lines is no version file: nothing is returned,
// which callers treat like a failed download.
std::optional<VersionFile> readVersionFile(const QByteArray& content);

// Compared number by number: the first number that differs decides. The
// flags say which of the file's numbers are above the running ones, and are
// set only when the file's version is the newer one.
struct UpdateDecision {
    bool newer = false;
    bool majorGreater = false;
    bool minorGreater = false;
    bool revisionGreater = false;
};
UpdateDecision compareWithRunning(const VersionFile& file,
                                  const VersionNumber& running = kProgramVersion);

// The question that offers the new version, with the trimmed lines.
QString updateOfferText(const VersionFile& file);

// Where the version file and the web page live, from the configured update
// address (scheme and host, e.g. "https://example.org"). An empty or
// unusable address (anything but http or https) gives an invalid URL.
QUrl versionFileUrl(const QString& updateAddress, int randomNumber);
QUrl webPageUrl(const QString& updateAddress);

} // namespace kolvo

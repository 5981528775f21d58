#pragma once
// Turning the paths on a command line into the list of song files to work
// on: folders are walked (in name order, a folder's own files before its
// subfolders), explicit files are taken as given.

#include <QString>
#include <QStringList>

#include <vector>

namespace kolvo {
class FileFormat;
}

namespace kolvo::cli {

struct PackEntry {
    enum Kind {
        Song,     // a file to read
        Skipped,  // a file left alone on purpose; `note` says why
        Unlisted, // a folder that could not be listed; `note` says why
    };
    Kind kind = Song;
    QString path;
    // The readable format its name ends in, or nullptr (an explicit file with
    // another name, which the reader then judges by its content).
    const FileFormat* format = nullptr;
    // Where the file sits under the path given on the command line: the
    // given folder's own name, then the subfolders ("Pack/Song"); empty for a
    // file named on the command line.
    QString treeFolder;
    QString note;
};

struct WalkOptions {
    // In each folder, read only the files of the first format present in
    // this order (by short name); the others are listed as skipped. Empty:
    // every readable file.
    QStringList preference;
};

struct Walk {
    std::vector<PackEntry> entries;
    bool walkedAFolder = false;
};

// Symbolic links met inside a folder are not followed: what a link inside
// the tree points to is walked anyway, and what lies outside the tree is not
// part of it (this also keeps a link loop from being walked forever). A
// path named on the command line may itself be a link. A file reached twice
// (the same file named twice, or a folder and a file in it) is listed once.
Walk walkPaths(const QStringList& paths, const WalkOptions& options);

} // namespace kolvo::cli

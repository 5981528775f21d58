#pragma once

#include <QComboBox>
#include <QListWidget>

namespace kolvo {

// The folder list of the folder dialogs: the chain of folders from the root
// down to the open one, then its sub-folders. A single click opens a folder.
class FolderList : public QListWidget {
    Q_OBJECT
  public:
    explicit FolderList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    // Opens `folder` (made absolute and clean); false, and nothing changes,
    // when it is not a readable folder.
    bool setPath(const QString& folder);

  signals:
    void pathChanged(const QString& path);

  protected:
    // Return opens the folder under the cursor; on the open folder itself it
    // is left to the window (its OK).
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void fill();
    QString m_path;
};

// The drive list: the mounted volumes and the home folder stand in for
// drives. Each entry's data is the folder it opens.
class DriveList : public QComboBox {
    Q_OBJECT
  public:
    explicit DriveList(QWidget* parent = nullptr);
    // Selects, without signalling, the entry that holds `folder`.
    void showFolder(const QString& folder);
    QString selectedRoot() const;

  signals:
    void rootChosen(const QString& root);
};

} // namespace kolvo

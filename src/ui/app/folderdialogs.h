#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QPushButton;

namespace kolvo {

struct AppContext;
class DriveList;
class FolderList;

// A dialog that asks for one folder and stores it in "DirInfo". While it is
// open the window set aside (the splash during start-up, the main window
// later) takes no input. During start-up, closing it in any way lets the
// sequence go on to the next step.
class FolderLocationDialog : public QWidget {
    Q_OBJECT
  public:
    ~FolderLocationDialog() override;

    DriveList* driveList = nullptr;
    FolderList* folderList = nullptr;
    QPushButton* okButton = nullptr;     // OK
    QPushButton* cancelButton = nullptr; // Cancel

  protected:
    struct Texts {
        QString objectName;
        QString caption;
        QStringList lines;
    };
    FolderLocationDialog(AppContext& ctx, QWidget* setAside, int step, const Texts& texts,
                         QWidget* parent);
    // Where the folder list opens first.
    void startIn(const QString& folder);
    // Stores the chosen folder and mirrors it in the shared value.
    virtual void storeFolder(const QString& folder) = 0;

    AppContext& m_ctx;

  private:
    void closeEvent(QCloseEvent* event) override;
    void accept();
    void settleStep();

    QPointer<QWidget> m_setAside;
    int m_step;
};

// "Location of DDR Simulator": the simulator's root folder.
class DDRLocation : public FolderLocationDialog {
    Q_OBJECT
  public:
    DDRLocation(AppContext& ctx, QWidget* setAside, QWidget* parent = nullptr);

  protected:
    void storeFolder(const QString& folder) override;
};

// "Location of Winamp": the player's folder (the one that holds mpv).
class WinampLocation : public FolderLocationDialog {
    Q_OBJECT
  public:
    WinampLocation(AppContext& ctx, QWidget* setAside, QWidget* parent = nullptr);

  protected:
    void storeFolder(const QString& folder) override;
};

} // namespace kolvo

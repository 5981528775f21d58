#include "ui/app/folderdialogs.h"

#include "core/app/startuprules.h"
#include "core/edit/twips.h"
#include "ui/app/folderlist.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/questionkeys.h"
#include "ui/platform/settings.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace kolvo {

FolderLocationDialog::FolderLocationDialog(AppContext& ctx, QWidget* setAside, int step,
                                           const Texts& texts, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_setAside(setAside), m_step(step) {
    setObjectName(texts.objectName);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(texts.caption);

    auto* grid = new QGridLayout(this);
    auto* textColumn = new QVBoxLayout;
    for (const QString& line : texts.lines) {
        auto* label = new QLabel(line, this);
        label->setWordWrap(true);
        textColumn->addWidget(label);
    }
    textColumn->addStretch();
    grid->addLayout(textColumn, 0, 0, 3, 1);

    driveList = new DriveList(this);
    folderList = new FolderList(this);
    grid->addWidget(driveList, 0, 1, 1, 2);
    grid->addWidget(folderList, 1, 1, 1, 2);
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("Command1"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));
    grid->addWidget(okButton, 2, 1);
    grid->addWidget(cancelButton, 2, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    resize(twips(7200), twips(4200));

    connect(driveList, &DriveList::rootChosen, this, [this](const QString& root) {
        // A volume that cannot be read is simply not opened.
        if (!folderList->setPath(root))
            driveList->showFolder(folderList->path());
    });
    connect(folderList, &FolderList::pathChanged, driveList, &DriveList::showFolder);
    connect(okButton, &QPushButton::clicked, this, &FolderLocationDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
    driveList->showFolder(folderList->path());
    // Keyboard alone: the folder list has the keys (Return opens a folder),
    // Return elsewhere is OK, Escape is Cancel.
    giveQuestionKeys(this, folderList, okButton, cancelButton);

    if (m_setAside)
        m_setAside->setEnabled(false);
}

FolderLocationDialog::~FolderLocationDialog() {
    if (m_setAside)
        m_setAside->setEnabled(true);
}

void FolderLocationDialog::startIn(const QString& folder) {
    folderList->setPath(folder);
}

void FolderLocationDialog::accept() {
    storeFolder(folderForStorage(folderList->path()));
    close();
}

// Cancel, the close box and OK all let start-up go on (with the old value
// unless OK stored a new one); a dialog closed any other way must not leave
// the start-up sequence waiting forever.
void FolderLocationDialog::closeEvent(QCloseEvent* event) {
    settleStep();
    QWidget::closeEvent(event);
}

void FolderLocationDialog::settleStep() {
    if (m_ctx.goahead < 10)
        m_ctx.goahead = m_step;
}

DDRLocation::DDRLocation(AppContext& ctx, QWidget* setAside, QWidget* parent)
    : FolderLocationDialog(
          ctx, setAside, 1,
          {QStringLiteral("DDRLocation"),
           QStringLiteral("Location of DDR Simulator"),
           {QStringLiteral("In order for some of the advanced features of this program to work, "
                           "I need to know where your DDR simulator is found."),
            QStringLiteral("Please select your simulator's root folder on the right, and then "
                           "click OK."),
            QStringLiteral("Kolvo now supports Stepmania as well as DWI - you no longer need to "
                           "select 'DWI Support'.")}},
          parent) {
    if (!simulatorPathNeedsAsking(ctx.simulatorpath))
        startIn(ctx.simulatorpath);
}

void DDRLocation::storeFolder(const QString& folder) {
    WriteSetting(kDirInfoSection, kSimulatorKey, folder);
    m_ctx.simulatorpath = folder;
}

WinampLocation::WinampLocation(AppContext& ctx, QWidget* setAside, QWidget* parent)
    : FolderLocationDialog(
          ctx, setAside, 2,
          {QStringLiteral("WinampLocation"),
           QStringLiteral("Location of Winamp"),
           {QStringLiteral("Where's Winamp? I need to use it for some of Kolvo's advanced "
                           "features."),
            QStringLiteral("Please select Winamp's root folder on the right, then click OK. You "
                           "must be using Winamp 2.x, not Winamp3 (see the readme).")}},
          parent) {
    // A folder already chosen opens first; otherwise the one that holds the
    // player, so a first-time user only has to press OK.
    if (playerPathNeedsAsking(ctx.winamppath) || !QFileInfo(ctx.winamppath).isDir()) {
        const QString player = QStandardPaths::findExecutable(QStringLiteral("mpv"));
        if (!player.isEmpty())
            startIn(QFileInfo(player).absolutePath());
    } else {
        startIn(ctx.winamppath);
    }
}

void WinampLocation::storeFolder(const QString& folder) {
    WriteSetting(kDirInfoSection, kPlayerStoreKey, folder);
    m_ctx.winamppath = folder;
}

} // namespace kolvo

#include "ui/app/folderlist.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>

namespace kolvo {

namespace {
constexpr int kPathRole = Qt::UserRole;

// "/a/b" -> "/", "/a", "/a/b"
QStringList chainTo(const QString& path) {
    QStringList chain{QStringLiteral("/")};
    QString sofar;
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        sofar += u'/' + part;
        chain << sofar;
    }
    return chain;
}

bool contains(const QString& root, const QString& folder) {
    return root == QStringLiteral("/") || folder == root || folder.startsWith(root + u'/');
}
} // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("Dir1"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { setPath(item->data(kPathRole).toString()); });
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(kPathRole).toString()); });
    setPath(QDir::homePath());
}

void FolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const QListWidgetItem* item = currentItem();
        const QString target = item ? item->data(kPathRole).toString() : QString();
        if (!target.isEmpty() && QDir::cleanPath(target) != m_path) {
            setPath(target);
            event->accept();
        } else {
            event->ignore();
        }
        return;
    }
    QListWidget::keyPressEvent(event);
}

bool FolderList::setPath(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    if (clean == m_path)
        return true;
    m_path = clean;
    fill();
    emit pathChanged(m_path);
    return true;
}

void FolderList::fill() {
    clear();
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QStringList chain = chainTo(m_path);
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = folder == QStringLiteral("/") ? folder : QFileInfo(folder).fileName();
        auto* entry = new QListWidgetItem(openIcon, QString(depth * 2, u' ') + name, this);
        entry->setData(kPathRole, folder);
        ++depth;
    }
    QListWidgetItem* current = item(count() - 1);
    setCurrentItem(current);
    QFont bold = current->font();
    bold.setBold(true);
    current->setFont(bold);

    QDir dir(m_path);
    const QFileInfoList subfolders = dir.entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& sub : subfolders) {
        auto* entry =
            new QListWidgetItem(closedIcon, QString(depth * 2, u' ') + sub.fileName(), this);
        entry->setData(kPathRole, QDir::cleanPath(sub.absoluteFilePath()));
    }
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("Drive1"));
    QStringList roots;
    const auto volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo& v : volumes) {
        // Single files mounted into a container are no drives.
        if (v.isValid() && v.isReady() && QFileInfo(v.rootPath()).isDir() &&
            !roots.contains(v.rootPath()))
            roots << v.rootPath();
    }
    if (!roots.contains(QStringLiteral("/")))
        roots.prepend(QStringLiteral("/"));
    const QString home = QDir::cleanPath(QDir::homePath());
    if (!roots.contains(home))
        roots << home;
    roots.sort();
    for (const QString& r : roots)
        addItem(r == home ? r + QStringLiteral("  (home)") : r, r);
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            emit rootChosen(itemData(index).toString());
    });
}

void DriveList::showFolder(const QString& folder) {
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        if (contains(root, folder) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    const QSignalBlocker block(this);
    setCurrentIndex(best);
}

QString DriveList::selectedRoot() const {
    return currentData().toString();
}

} // namespace kolvo

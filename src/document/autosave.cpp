#include "document/autosave.h"

#include "core/files/atomicwrite.h"
#include "core/files/kolvofile.h"
#include "document/document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdio>

namespace kolvo {

namespace {

constexpr int kSlots = 16;

// A test hook: stalls a recovery write after its bytes are in the
// temporary file and before they replace the previous copy, so a test can
// kill the program right there.
void stallIfAsked() {
    const QByteArray ms = qgetenv("KOLVO_TEST_AUTOSAVE_STALL_MS");
    if (ms.isEmpty())
        return;
    fprintf(stderr, "kolvo: recovery write in progress\n");
    fflush(stderr);
    QThread::msleep(ms.toULong());
}

} // namespace

Autosave::Autosave(Document& doc, const QString& folder, int seconds, QObject* parent)
    : QObject(parent), m_doc(doc), m_folder(folder), m_seconds(seconds) {
    if (m_seconds > 0) {
        m_timer.setInterval(m_seconds * 1000);
        connect(&m_timer, &QTimer::timeout, this, [this] { writeNow(); });
    }
    connect(&doc, &Document::riskAhead, this, [this] { writeNow(); });
    connect(&doc, &Document::saved, this, &Autosave::remove);
    // New, Open and Import put a song in place that has nothing to lose.
    connect(&doc, &Document::changed, this, [this](const SongChange& change) {
        if (change.replacedEverything() && !m_doc.isModified())
            remove();
    });
    // The clock runs while there is something to lose.
    connect(&doc, &Document::modifiedChanged, this, [this](bool modified) {
        if (!modified || m_seconds <= 0 || m_slot < 0)
            m_timer.stop();
        else if (!m_timer.isActive())
            m_timer.start();
    });
}

Autosave::~Autosave() = default;

QString Autosave::slotBase(int slot) const {
    return QDir(m_folder).filePath(QStringLiteral("song-%1").arg(slot));
}

QString Autosave::copyPath() const {
    return m_slot < 0 ? QString() : slotBase(m_slot) + QStringLiteral(".kolvo");
}

QString Autosave::recordPath() const {
    return m_slot < 0 ? QString() : slotBase(m_slot) + QStringLiteral(".record");
}

bool Autosave::claimSlot() {
    if (m_slot >= 0)
        return true;
    if (!QDir().mkpath(m_folder))
        return false;
    int best = -1;
    QDateTime bestTime;
    std::unique_ptr<QLockFile> bestLock;
    int firstFree = -1;
    std::unique_ptr<QLockFile> firstFreeLock;
    for (int slot = 0; slot < kSlots; ++slot) {
        auto lock = std::make_unique<QLockFile>(slotBase(slot) + QStringLiteral(".lock"));
        // Only a dead owner makes a lock stale, however old it is.
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue; // a running copy owns it
        const auto found = readRecord(slotBase(slot) + QStringLiteral(".kolvo"),
                                      slotBase(slot) + QStringLiteral(".record"));
        if (found && (best < 0 || found->savedAt > bestTime)) {
            best = slot;
            bestTime = found->savedAt;
            bestLock = std::move(lock);
        } else if (!found && firstFree < 0) {
            firstFree = slot;
            firstFreeLock = std::move(lock);
        }
        // Any other lock taken here is released as it goes out of scope.
    }
    if (best >= 0) {
        m_slot = best;
        m_lock = std::move(bestLock);
    } else if (firstFree >= 0) {
        m_slot = firstFree;
        m_lock = std::move(firstFreeLock);
    } else {
        return false;
    }
    if (m_doc.isModified() && m_seconds > 0)
        m_timer.start();
    return true;
}

std::optional<Autosave::Leftover> Autosave::leftover() const {
    if (m_slot < 0)
        return std::nullopt;
    return readRecord(copyPath(), recordPath());
}

QString Autosave::setAside(const Leftover& leftover) {
    const QString stamp = leftover.savedAt.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = QDir(m_folder).filePath(QStringLiteral("kept-%1.kolvo").arg(stamp));
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(m_folder).filePath(QStringLiteral("kept-%1-%2.kolvo").arg(stamp).arg(n));
    if (!QFile::rename(leftover.copyPath, target))
        return QString();
    if (leftover.copyPath == copyPath())
        QFile::remove(recordPath());
    return target;
}

bool Autosave::writeNow() {
    if (m_slot < 0 || !m_doc.isModified())
        return false;
    if (unwritableKolvoField(m_doc.song()))
        return false; // the copy could not read back as the song is
    const QByteArray bytes = kolvoFileText(m_doc.song());
    const QDateTime now = QDateTime::currentDateTime();
    if (writeFileAtomically(copyPath(), bytes, stallIfAsked))
        return false;
    if (writeFileAtomically(recordPath(), recordText(m_doc.filePath(), now)))
        return false;
    emit written(copyPath());
    return true;
}

void Autosave::remove() {
    if (m_held)
        return;
    m_timer.stop();
    if (m_slot < 0)
        return;
    QFile::remove(copyPath());
    QFile::remove(recordPath());
}

QByteArray Autosave::recordText(const QString& originalPath, const QDateTime& when) {
    return QByteArrayLiteral("path=") + originalPath.toUtf8() + QByteArrayLiteral("\ntime=") +
           when.toString(Qt::ISODate).toUtf8() + '\n';
}

std::optional<Autosave::Leftover> Autosave::readRecord(const QString& copyPath,
                                                       const QString& recordPath) {
    const QFileInfo copy(copyPath);
    if (!copy.isFile())
        return std::nullopt;
    Leftover found;
    found.copyPath = copyPath;
    found.savedAt = copy.lastModified();
    QFile record(recordPath);
    if (record.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = record.readAll().split('\n');
        for (const QByteArray& line : lines) {
            if (line.startsWith("path="))
                found.originalPath = QString::fromUtf8(line.mid(5));
            else if (line.startsWith("time=")) {
                const QDateTime t =
                    QDateTime::fromString(QString::fromUtf8(line.mid(5)), Qt::ISODate);
                if (t.isValid())
                    found.savedAt = t;
            }
        }
    }
    return found;
}

} // namespace kolvo

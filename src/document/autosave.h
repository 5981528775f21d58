#pragma once

#include <QDateTime>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

namespace kolvo {

class Document;

// Keeps a recovery copy of an unsaved song: every `seconds` while the song
// has unsaved changes, and right before a risky step, the song is written
// through the same atomic writer as Save into the recovery folder, with a
// small side record of the work file's path and the time. Save, New, Open
// and a clean exit remove it.
//
// Each running copy of the program owns one slot of the folder through a
// lock file that names its process, so two copies never write or take each
// other's copy; a slot whose owner died is free again, and its copy is what
// the next start offers back.
class Autosave : public QObject {
    Q_OBJECT
  public:
    // A recovery copy left by a copy of the program that did not close.
    struct Leftover {
        QString copyPath;     // the song
        QString originalPath; // the work file it came from ("" for none)
        QDateTime savedAt;
    };

    // `seconds` 0 or less: no timed copies (risky steps still write one).
    Autosave(Document& doc, const QString& folder, int seconds, QObject* parent = nullptr);
    ~Autosave() override;

    // Takes a slot: the one holding the newest leftover copy, if any, else
    // the first free one. False when every slot is owned by a running copy.
    bool claimSlot();
    // The leftover in the slot taken, if it holds one.
    std::optional<Leftover> leftover() const;
    // Restores nothing, keeps the leftover aside under a name with its time
    // and returns where it now is ("" when it could not be moved).
    QString setAside(const Leftover& leftover);

    // Writes the copy now when the song has unsaved changes. False on a
    // write failure (the previous copy stays as it was).
    bool writeNow();
    // Removes the copy and its record (clean exit, Save, New, Open).
    void remove();
    // While held, New/Open/Save leave the copy alone (the copy itself is
    // being read back).
    void setHeld(bool held) { m_held = held; }

    QString copyPath() const;
    QString recordPath() const;
    int intervalSeconds() const { return m_seconds; }

    // The record's text and its reading.
    static QByteArray recordText(const QString& originalPath, const QDateTime& when);
    static std::optional<Leftover> readRecord(const QString& copyPath, const QString& recordPath);

  signals:
    // After every copy written (tests and the debug log).
    void written(const QString& path);

  private:
    QString slotBase(int slot) const;

    Document& m_doc;
    QString m_folder;
    int m_seconds;
    int m_slot = -1;
    bool m_held = false;
    std::unique_ptr<QLockFile> m_lock;
    QTimer m_timer;
};

} // namespace kolvo

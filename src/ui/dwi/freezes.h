#pragma once

#include "core/song/chartsteps.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kolvo {

struct AppContext;

// "Set Freeze/BPM Changes": lists the song's tempo events (BPM changes and
// freezes, kept at Single Basic, panels 11 and 12, one per beat), adds one at
// a time after checking the typed bar, beat and value, and deletes the
// selected one. The summary window takes no input while it is open.
class Freezes : public QWidget {
    Q_OBJECT
  public:
    // `summaryWindow` is disabled now and enabled again however this closes.
    Freezes(AppContext& ctx, QWidget* summaryWindow);
    ~Freezes() override;

    // List lines: "At 005:1, BPM changes to 150", "At 012:3, freeze for 500ms".
    static QString bpmLine(const QString& bar3, const QString& beat, const QString& value);
    static QString freezeLine(const QString& bar3, const QString& beat, const QString& value);

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void fillList();
    void addLine(const QString& line, Tick tick, int channel);
    void addEvent(int channel, QLineEdit* bar, QLineEdit* beat, QLineEdit* value,
                  const QString& valueMessage);
    void deleteSelected();
    void unload();

    AppContext& m_ctx;
    QPointer<QWidget> m_summary;
    // The BPM change's and the freeze's bar, beat and value boxes.
    QLineEdit* m_bpmBar = nullptr;
    QLineEdit* m_bpmBeat = nullptr;
    QLineEdit* m_bpmValue = nullptr;
    QLineEdit* m_freezeBar = nullptr;
    QLineEdit* m_freezeBeat = nullptr;
    QLineEdit* m_freezeValue = nullptr;
    QListWidget* m_list = nullptr;
    bool m_unloaded = false;
    bool m_editing = false; // this window adds or deletes its own line
};

} // namespace kolvo

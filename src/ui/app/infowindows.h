#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;

namespace kolvo {

struct AppContext;

// "Where to get help": the places to ask. The main window takes no input
// while it is open.
class HelpInformation : public QWidget {
    Q_OBJECT
  public:
    HelpInformation(AppContext& ctx, QWidget* summaryWindow, QWidget* parent = nullptr);
    ~HelpInformation() override;

    QPushButton* closeButton = nullptr; // closes

  private:
    QPointer<QWidget> m_summaryWindow;
};

// "MP3 File Location": why the music file's full path is wanted and the
// "#FILE" tag is not.
class MusicInfo : public QWidget {
    Q_OBJECT
  public:
    explicit MusicInfo(QWidget* parent = nullptr);

    QPushButton* closeButton = nullptr; // "Done"
};

} // namespace kolvo

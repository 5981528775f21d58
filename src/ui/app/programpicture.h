#pragma once

#include <QWidget>

namespace kolvo {

// The program's picture: the four pad arrows around a dark square, drawn to
// fit the widget. Used by the splash and the about box.
class ProgramPicture : public QWidget {
    Q_OBJECT
  public:
    explicit ProgramPicture(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kolvo

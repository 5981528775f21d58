#pragma once

#include <QLabel>

namespace kolvo {

// A label that acts as a link: it reports a click while it is enabled.
class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    void updateLook();
    bool m_pressed = false;
};

} // namespace kolvo

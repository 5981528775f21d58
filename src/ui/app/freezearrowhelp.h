#pragma once

#include <QWidget>

class QPushButton;

namespace kolvo {

// A miniature of the step editor's grid for the arrow primer: the four
// Single columns, beat and row lines in the editor's colours, and example
// cells.
class GridMiniature : public QWidget {
    Q_OBJECT
  public:
    enum class Example { ArrowOnBeat1, FreezeArrow };
    explicit GridMiniature(Example example, QWidget* parent = nullptr);

    static constexpr int kRowHeight = 8;    // a row of 120 twips at half size
    static constexpr int kColumnWidth = 32; // a column of 480 twips at half size
    static constexpr int kLeft = 64;        // room for the beat label
    static constexpr int kTop = 20;         // room for the arrow headers

    // Top-left of the cell of `row` (1 = first row shown) and `column` (1..4).
    static QPoint cellOrigin(int row, int column);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Example m_example;
    int m_rows;
};

// "How To Create Arrows and Freeze Arrows": shows how a click places an
// arrow on a beat and how a right click starts a freeze arrow.
class FreezeArrowHelp : public QWidget {
    Q_OBJECT
  public:
    explicit FreezeArrowHelp(QWidget* parent = nullptr);

    QPushButton* closeButton = nullptr; // closes
};

} // namespace kolvo

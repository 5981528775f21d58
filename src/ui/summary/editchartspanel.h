#pragma once

#include "core/song/songmodel.h"

#include <QGroupBox>

#include <functional>
#include <optional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kolvo {

struct AppContext;
struct SongChange;

// The song's Edit charts, beside the chart table of the summary window: a
// list of them (style and description) and the commands to make one, give
// it another description, delete it and open it in the step editor. Every
// change is a step of the document's history.
//
// Object names: "editcharts" (the box), "editchartlist", "editchartstyle"
// (the style of a new chart), "editchartname" (the description typed),
// "neweditchart", "renameeditchart", "deleteeditchart", "openeditchart".
class EditChartsPanel : public QGroupBox {
    Q_OBJECT
  public:
    // `open` shows the step editor on the chart at a slot.
    EditChartsPanel(AppContext& ctx, std::function<void(ChartSlot)> open,
                    QWidget* parent = nullptr);

    // Why `description` cannot name an Edit chart of `style` (the chart at
    // `except` aside); none when it can.
    static std::optional<QString> descriptionProblem(const SongModel& song, int style,
                                                     const QString& description,
                                                     ChartSlot except = -1);

    // The slot of the chart selected in the list; -1 for none.
    ChartSlot selectedChart() const;

    // The commands behind the buttons.
    void newChart();
    void renameChart();
    void deleteChart();
    void openChart();

  private:
    void showCharts(const SongChange& change);
    void refill();
    void selectionChanged();
    bool checkDescription(int style, const QString& description, ChartSlot except);

    AppContext& m_ctx;
    std::function<void(ChartSlot)> m_open;
    QListWidget* m_list = nullptr;
    QComboBox* m_style = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_openButton = nullptr;
};

} // namespace kolvo

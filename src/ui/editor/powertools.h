#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class QPushButton;

namespace kolvo {

struct AppContext;
class ChartSteps;
class StepEditorWindow;
class ToolDock;

// The bar-operations tool window ("Power Tools"), docked under the step
// editor: insert, delete, clear, cut, copy and paste the editor's current bar
// of the chart being edited, through the clipboard's text.
//
// Opening sets `powertoolsopen` and tells the editor it is open; closing, by
// any means (its close box, the editor's toggle, the editor closing), puts
// both back. Destroyed on close.
class PowerTools : public QWidget {
    Q_OBJECT
  public:
    PowerTools(AppContext& ctx, StepEditorWindow* editor);
    ~PowerTools() override;

    QPushButton* insertBarButton() const { return m_buttons[0]; }
    QPushButton* deleteBarButton() const { return m_buttons[1]; }
    QPushButton* clearBarButton() const { return m_buttons[2]; }
    QPushButton* cutBarButton() const { return m_buttons[3]; }
    QPushButton* copyBarButton() const { return m_buttons[4]; }
    QPushButton* pasteInsertButton() const { return m_buttons[5]; }
    QPushButton* pasteReplaceButton() const { return m_buttons[6]; }
    QPushButton* pasteMergeButton() const { return m_buttons[7]; }
    ToolDock* dock() const { return m_dock; }

  public slots:
    void insertBar();
    void deleteBar();
    void clearBar();
    void cutBar();
    void copyBar();
    void pasteInsert();
    void pasteReplace();
    void pasteMerge();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool askBar100WillBeLost();
    bool askDeleteBar(int bar);
    void refuseClipboard();
    void apply(const QString& name, int lastBar,
               const std::function<void(ChartSteps&, int bar)>& op);
    bool currentBarHasSteps() const;
    bool lastBarHasSteps() const;
    void unload();

    AppContext& m_ctx;
    QPointer<StepEditorWindow> m_editor;
    QPushButton* m_buttons[8] = {};
    ToolDock* m_dock = nullptr;
    bool m_unloaded = false;
};

} // namespace kolvo

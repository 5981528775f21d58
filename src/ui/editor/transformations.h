#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;

namespace kolvo {

struct AppContext;
class StepEditorWindow;
class ToolDock;
enum class BarTransform;

// The transformations tool window ("Transformations"), docked under the step
// editor and right-aligned with it: mirror, flip or turn the arrows of the
// editor's current bar. Turn is not offered for Solo charts.
//
// Opening sets `transformationsopen` and the editor's toggle caption;
// closing, by any means, puts both back. Destroyed on close.
class Transformations : public QWidget {
    Q_OBJECT
  public:
    Transformations(AppContext& ctx, StepEditorWindow* editor);
    ~Transformations() override;

    QPushButton* Command13() const { return m_command13; } // Mirror
    QPushButton* Command14() const { return m_command14; } // Flip
    QPushButton* Command15() const { return m_command15; } // Turn
    ToolDock* dock() const { return m_dock; }

  public slots:
    void mirrorBar();
    void flipBar();
    void turnBar();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void apply(BarTransform transform);
    void unload();

    AppContext& m_ctx;
    QPointer<StepEditorWindow> m_editor;
    QPointer<QPushButton> m_toggle;
    QPushButton* m_command13 = nullptr;
    QPushButton* m_command14 = nullptr;
    QPushButton* m_command15 = nullptr;
    ToolDock* m_dock = nullptr;
    bool m_unloaded = false;
};

} // namespace kolvo

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
// Opening sets `transformationsopen` and tells the editor it is open;
// closing, by any means, puts both back. Destroyed on close.
class Transformations : public QWidget {
    Q_OBJECT
  public:
    Transformations(AppContext& ctx, StepEditorWindow* editor);
    ~Transformations() override;

    QPushButton* mirrorButton() const { return m_mirrorButton; } // Mirror
    QPushButton* flipButton() const { return m_flipButton; }     // Flip
    QPushButton* turnButton() const { return m_turnButton; }     // Turn
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
    QPushButton* m_mirrorButton = nullptr;
    QPushButton* m_flipButton = nullptr;
    QPushButton* m_turnButton = nullptr;
    ToolDock* m_dock = nullptr;
    bool m_unloaded = false;
};

} // namespace kolvo

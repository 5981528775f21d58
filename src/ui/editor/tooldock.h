#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <optional>

class QTimer;
class QWidget;

namespace kolvo {

// Where a tool window sits relative to the step editor.
enum class DockPlace {
    Below,      // under the editor, left edges aligned
    BelowRight, // under the editor, right edges aligned
    Right,      // right of the editor, top edges aligned
};

// Keeps one tool window at its place beside the editor.
//
// Where the window system lets a program place its windows, the tool is a
// small window of its own owned by the editor, and a 100 ms timer
// puts it back whenever it or the editor has moved. Where it does not (a
// Wayland session places every window itself), the tool is laid into the
// editor's own window instead, which grows to hold it and shrinks back when
// the last tool closes; it then opens beside the editor all the same.
class ToolDock : public QObject {
    Q_OBJECT
  public:
    // Makes `tool` a child of `editor` in the chosen way. Call before the
    // tool is shown; the dock lives as long as the tool.
    ToolDock(QWidget* tool, QWidget* editor, DockPlace place);
    ~ToolDock() override;

    // True when top-level windows can be placed by the program.
    static bool windowSystemPlacesWindows();
    // Tests force one way or the other; nullopt goes back to asking the
    // window system.
    static void setEmbeddedOverride(std::optional<bool> embedded);

    bool embedded() const { return m_embedded; }
    // The place the tool belongs at: screen position of its frame when it
    // is a window of its own, position in the editor's window when laid in.
    QPoint target() const;
    // Moves the tool to its place if it is not there.
    void place();
    // The tool is closing: give the editor back its size (embedded), stop
    // following. Safe to call more than once and while the editor is being
    // destroyed.
    void release();

    QTimer* placeTimer() const { return m_placeTimer; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    static void relayoutEditor(QWidget* editor);

    QPointer<QWidget> m_tool;
    QPointer<QWidget> m_editor;
    DockPlace m_place;
    bool m_embedded = false;
    bool m_released = false;
    QTimer* m_placeTimer = nullptr;
};

// The small type the editor and its tools share (11 pixels), so captions
// fit their twip-sized places.
void useToolFont(QWidget* window);
// Shrinks a control's font until its text fits its width (and, for a
// word-wrapped label, its height), so a caption is never clipped.
void fitFont(QWidget* control, const QString& text);

} // namespace kolvo

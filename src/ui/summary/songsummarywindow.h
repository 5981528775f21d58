#pragma once

#include <QMainWindow>
#include <QPointer>

#include <array>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace kolvo {

struct AppContext;
class ClickLabel;
class FileCommands;
enum class SummaryField : int;
struct SongChange;

// The song summary window: the song's header fields, the menus, and the grid
// of chart buttons. The fields show the summary values of the shared model
// and write back what is typed, so a value changed anywhere shows here at
// once.
class SongSummaryWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit SongSummaryWindow(AppContext& ctx, QWidget* parent = nullptr);
    ~SongSummaryWindow() override;

    // A menu entry by its objectName ("newmenu", "findgapmenu", ...), for
    // wiring the entries whose windows live elsewhere; null when unknown.
    QAction* menuAction(const QString& objectName) const;
    // A clickable label by its objectName ("findbpmlabel", "Synchroloader",
    // ...); null when unknown.
    ClickLabel* clickLabel(const QString& objectName) const;
    // The "Mark as new" choices: (0) "Normal", (1) "Always", (2) "Never".
    QRadioButton* markAsNewOption(int index) const;
    // The chart buttons by number: 1..16 the table, left to right and top
    // to bottom (style across, level down), 20..23 the Edit row right to left.
    QPushButton* chartButton(int n) const;
    // The Beginner chart of a style (1..4), in the row under the table.
    QPushButton* beginnerButton(int style) const;

    FileCommands& fileCommands() { return *m_files; }

    // Gives every chart button the look of its chart's dataexists flag.
    void datacheck();
    // The confirmation and wipe behind Edit > Delete.
    void deletepattern(int style, int level);
    // A song named on the command line, without the save question (nothing
    // has been typed yet): a work file is opened, a step file imported,
    // anything else refused.
    bool openFile(const QString& path);

    // Writes `text` into a number field (bpm, gap, samplestart,
    // samplelength) as leaving the field after typing it would: normalised,
    // no negative gap.
    void commitField(SummaryField f, const QString& text);

    // The window title for a song name.
    static QString titleFor(const QString& songname);

    // "Data" / "No Data" looks of the chart buttons.
    static QColor dataColor();
    static QColor noDataColor();

  signals:
    // The window agreed to close (the song was saved or let go): the
    // program ends, even while other windows are still open.
    void closed();

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildMenus();
    // File > Recent Songs, from the list kept in the settings.
    void fillRecentMenu();
    QWidget* buildFields();
    QWidget* buildChartGrid();
    void connectModel();
    // Brings the fields, marks and chart buttons up to date with a change.
    void showSong(const SongChange& change);
    void showField(SummaryField f);
    void showMarkAsNew(int value);
    void showModifiedMark();
    void leaveField(QLineEdit* edit);
    void updateDigest();
    void browseMusic();
    void chartButtonClicked(int n);
    void openChart(int style, int level);
    void toggleAutoDisplay(QAction* action, int& flag, const QString& key);
    void openFreezes();
    void connectOpeners();

    AppContext& m_ctx;
    FileCommands* m_files = nullptr;
    std::array<QLineEdit*, 10> m_fields{};
    QLineEdit* m_musicDigest = nullptr;
    std::array<QRadioButton*, 3> m_markAsNewOptions{};
    QCheckBox* m_markAsNewBox = nullptr;
    std::array<QPushButton*, 24> m_chartButtons{};
    std::array<QPushButton*, 5> m_beginnerButtons{}; // by style 1..4
    QAction* m_autoWideView = nullptr;
    QAction* m_autoTransforms = nullptr;
    QAction* m_autoPowerTools = nullptr;
    QMenu* m_recent = nullptr;
    // The entries and labels that open the other windows (connectOpeners).
    struct {
        QAction* findGap = nullptr;
        QAction* findBpm = nullptr;
        QAction* detectTempo = nullptr;
        QAction* checkUpdates = nullptr;
        QAction* synchro = nullptr;
        QAction* simulatorAddress = nullptr;
        QAction* playerAddress = nullptr;
        QAction* helpInfo = nullptr;
        QAction* about = nullptr;
    } m_menus;
    struct {
        ClickLabel* musicInfo = nullptr;
        ClickLabel* findBpm = nullptr;
        ClickLabel* findGap = nullptr;
        ClickLabel* fileTag = nullptr;
        ClickLabel* syncCheck = nullptr;
        ClickLabel* tickTest = nullptr;
    } m_labels;
    QPointer<QWidget> m_freezes;
};

} // namespace kolvo

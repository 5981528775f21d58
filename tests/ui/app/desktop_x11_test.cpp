// The program's windows on a real X server under a window manager, with
// the desktop's own key scheme (where a text field takes Ctrl+E as "end of
// line"): every shortcut of a window works from each of its text fields.
//
// This program has its own entry point: it starts the X server and the
// window manager before the QApplication. The screen size comes from the
// first argument ("1600x1000"); QT_SCALE_FACTOR gives the scale.
#include "ui/analysis/detecttempo.h"
#include "ui/app/aboutform.h"
#include "ui/app/checkforupdates.h"
#include "ui/app/folderdialogs.h"
#include "ui/app/folderlist.h"
#include "ui/app/freezearrowhelp.h"
#include "ui/app/infowindows.h"
#include "ui/app/splashwindow.h"
#include "ui/dwi/dwiloading.h"
#include "ui/dwi/freezes.h"
#include "ui/editor/powertools.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/platform/onscreen.h"
#include "ui/summary/importlosses.h"
#include "ui/summary/process.h"
#include "ui/summary/songsummarywindow.h"
#include "ui/timing/findbpm.h"
#include "ui/timing/findthegap.h"
#include "ui/timing/keytester.h"
#include "ui/timing/synchro.h"

#include "privatehome.h"
#include "testapp.h"
#include "waituntil.h"
#include "x11desktop.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace kolvo;
using namespace kolvo::test;

namespace {

X11Desktop* g_desktop = nullptr;

// Records which action a key reached, and stops it there: nothing runs.
class ShortcutRecorder : public QObject {
  public:
    QList<QAction*> hits;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Shortcut)
            return false;
        hits << static_cast<QAction*>(watched);
        return true;
    }
};

bool activate(QWidget* w) {
    w->show();
    w->raise();
    w->activateWindow();
    return waitUntil([&] { return QApplication::activeWindow() == w; }, 5000);
}

// Every shortcut of `window`, pressed in each of `fields`, reaches its
// action; only Ctrl+X stays with the field (it cuts there).
// Something to undo and to redo, so both are on (a field left with a
// normalised number is a step of its own, which ends the redo).
void historyBothWays(Document& doc) {
    if (doc.history().canUndo() && doc.history().canRedo())
        return;
    doc.closeMerging();
    doc.setField(SummaryField::Artist, QStringLiteral("A"));
    doc.closeMerging();
    doc.setField(SummaryField::Artist, QStringLiteral("B"));
    doc.history().undo();
}

void expectShortcutsWorkFromFields(Document& doc, QWidget* window,
                                   const QList<QLineEdit*>& fields) {
    ASSERT_TRUE(activate(window)) << window->objectName().toStdString();
    ShortcutRecorder recorder;
    QList<QPair<QKeySequence, QAction*>> keys;
    for (QAction* a : window->findChildren<QAction*>()) {
        if (a->shortcuts().isEmpty() || !a->isEnabled())
            continue;
        a->installEventFilter(&recorder);
        for (const QKeySequence& k : a->shortcuts())
            keys << qMakePair(k, a);
    }
    ASSERT_FALSE(keys.isEmpty());
    const QKeySequence cut(Qt::CTRL | Qt::Key_X);
    for (QLineEdit* field : fields) {
        ASSERT_TRUE(field->isVisible()) << field->objectName().toStdString();
        field->setFocus();
        ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }, 2000))
            << field->objectName().toStdString();
        for (const auto& [key, action] : keys) {
            historyBothWays(doc);
            recorder.hits.clear();
            const QKeyCombination k = key[0];
            QTest::keyClick(field, k.key(), k.keyboardModifiers());
            const QString where = window->objectName() + u' ' + field->objectName() + u' ' +
                                  key.toString() + u' ' + action->objectName();
            if (key == cut)
                EXPECT_TRUE(recorder.hits.isEmpty()) << where.toStdString();
            else
                EXPECT_EQ(recorder.hits, QList<QAction*>{action}) << where.toStdString();
        }
    }
}

TEST(Desktop, EveryShortcutWorksFromEveryTextField) {
    ASSERT_NE(g_desktop, nullptr) << "no X server (Xvfb) could be started";
    // The desktop's key scheme is the one where a field takes Ctrl+E.
    ASSERT_TRUE(QKeySequence::keyBindings(QKeySequence::MoveToEndOfLine)
                    .contains(QKeySequence(Qt::CTRL | Qt::Key_E)));
    TestApp app;
    historyBothWays(app.ctx.document);

    {
        SongSummaryWindow summary(app.ctx);
        QList<QLineEdit*> fields;
        for (QLineEdit* e : summary.findChildren<QLineEdit*>())
            if (e->focusPolicy() != Qt::NoFocus && !e->isReadOnly())
                fields << e;
        summary.show();
        SCOPED_TRACE("summary window");
        expectShortcutsWorkFromFields(app.ctx.document, &summary, fields);

        auto* freezes = new Freezes(app.ctx, &summary);
        QList<QLineEdit*> freezeFields;
        for (QLineEdit* e : freezes->findChildren<QLineEdit*>())
            if (e->isVisible() || e->focusPolicy() != Qt::NoFocus)
                freezeFields << e;
        freezes->show();
        SCOPED_TRACE("arrow freezes window");
        expectShortcutsWorkFromFields(app.ctx.document, freezes, freezeFields);
        delete freezes;
    }
    {
        app.ctx.session.currentstyle = Single;
        app.ctx.session.currentlevel = Basic;
        QPointer<StepEditorWindow> editor = new StepEditorWindow(app.ctx, nullptr);
        editor->show();
        SCOPED_TRACE("step editor");
        expectShortcutsWorkFromFields(app.ctx.document, editor,
                                      {editor->gotobat(), editor->footlevel()});
        delete editor.data();
    }
}

// First run with the keyboard alone: each question takes the keyboard from
// the splash, Return answers it with its default, Escape cancels.
TEST(Desktop, FirstRunQuestionsTakeTheKeyboard) {
    ASSERT_NE(g_desktop, nullptr) << "no X server (Xvfb) could be started";
    TestApp app;
    QWidget splash;
    splash.setObjectName(QStringLiteral("splash"));
    splash.resize(300, 200);
    ASSERT_TRUE(activate(&splash));

    // The simulator folder: the list has the keyboard; Return on a folder
    // opens it, Return on the open folder is OK.
    app.ctx.goahead = 0;
    QPointer<DDRLocation> ddr = new DDRLocation(app.ctx, &splash);
    ddr->show();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == ddr; }, 5000));
    ASSERT_TRUE(waitUntil(
        [&] { return QApplication::focusWidget() == static_cast<QWidget*>(ddr->folderList); },
        5000));
    const QString home = ddr->folderList->path();
    QTest::keyClick(ddr->folderList, Qt::Key_Up); // the open folder's parent
    QTest::keyClick(ddr->folderList, Qt::Key_Return);
    ASSERT_FALSE(ddr.isNull());
    EXPECT_NE(ddr->folderList->path(), home);
    const QString chosen = ddr->folderList->path();
    QTest::keyClick(ddr->folderList, Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return ddr.isNull(); }, 2000));
    EXPECT_EQ(app.ctx.goahead, 1);
    EXPECT_EQ(app.ctx.simulatorpath, chosen);

    // The player folder: Escape cancels.
    QPointer<WinampLocation> player = new WinampLocation(app.ctx, &splash);
    player->show();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == player; }, 5000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return player.isNull(); }, 2000));
    EXPECT_EQ(app.ctx.goahead, 2);

    // The update question: Return is "Do not check".
    QPointer<CheckForUpdates> updates = new CheckForUpdates(app.ctx, &splash);
    updates->show();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == updates; }, 5000));
    ASSERT_TRUE(waitUntil(
        [&] {
            return QApplication::focusWidget() == static_cast<QWidget*>(updates->doNotCheckButton);
        },
        5000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return updates.isNull(); }, 2000));
    EXPECT_EQ(app.ctx.goahead, 3);
    EXPECT_TRUE(app.boxes.shown.isEmpty());
}

// ---- every window on its screen ----

bool inside(const QRect& area, const QWidget* w) {
    return area.contains(w->frameGeometry());
}

// The editor opened low on the screen, as a window manager may place it:
// the editor and its three docked tools end up fully on screen, together.
TEST(Desktop, TheEditorAndItsToolsStayOnScreenAsAGroup) {
    ASSERT_NE(g_desktop, nullptr) << "no X server (Xvfb) could be started";
    keepWindowsOnScreen();
    TestApp app;
    SongSummaryWindow summary(app.ctx);
    summary.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    app.ctx.session.currentstyle = Double;
    app.ctx.session.currentlevel = Basic;
    QPointer<StepEditorWindow> editor = new StepEditorWindow(app.ctx, &summary);
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    editor->move(area.right() - area.width() * 45 / 100, area.bottom() - area.height() * 42 / 100);
    for (QPushButton* toggle :
         {editor->wideViewButton(), editor->powerToolsButton(), editor->transformsButton()})
        toggle->click();
    QList<QWidget*> group{editor};
    for (QWidget* w : editor->findChildren<QWidget*>())
        if (w->isWindow() && w->isVisible())
            group << w;
    ASSERT_EQ(group.size(), 4);
    EXPECT_TRUE(waitUntil(
        [&] {
            return std::all_of(group.begin(), group.end(),
                               [&](QWidget* w) { return inside(area, w); });
        },
        5000));
    for (QWidget* w : group)
        EXPECT_TRUE(inside(area, w))
            << w->objectName().toStdString() << " at " << w->frameGeometry().x() << ","
            << w->frameGeometry().y() << " " << w->width() << "x" << w->height();
    // The tools stayed at their places beside the editor.
    auto* power = editor->findChild<PowerTools*>();
    ASSERT_NE(power, nullptr);
    EXPECT_EQ(power->frameGeometry().top(), editor->frameGeometry().bottom() + 1 + 2);
    delete editor.data();
}

// Any other window put partly off the screen comes back onto it whole.
TEST(Desktop, EveryWindowComesBackOntoTheScreen) {
    ASSERT_NE(g_desktop, nullptr) << "no X server (Xvfb) could be started";
    keepWindowsOnScreen();
    TestApp app;
    SongSummaryWindow summary(app.ctx);
    summary.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    using Make = std::function<QWidget*()>;
    const QList<QPair<const char*, Make>> windows = {
        {"summary window", [&] { return new SongSummaryWindow(app.ctx); }},
        {"splash", [&] { return new SplashWindow(app.ctx, {}); }},
        {"simulator folder", [&] { return new DDRLocation(app.ctx, nullptr); }},
        {"player folder", [&] { return new WinampLocation(app.ctx, nullptr); }},
        {"update centre", [&] { return new CheckForUpdates(app.ctx, nullptr); }},
        {"tempo events", [&] { return new Freezes(app.ctx, &summary); }},
        {"gap finder", [&] { return new FindTheGap(app.ctx, &summary); }},
        {"BPM finder", [&] { return new FindBPM(app.ctx, &summary); }},
        {"tempo detection", [&] { return new DetectTempo(app.ctx, &summary); }},
        {"sync checker", [&] { return new Synchro(app.ctx, &summary); }},
        {"help", [&] { return new HelpInformation(app.ctx, &summary); }},
        {"about", [&] { return new AboutForm(app.ctx); }},
        {"music info", [&] { return new MusicInfo; }},
        {"arrow help", [&] { return new FreezeArrowHelp; }},
        {"key tester", [&] { return new KeyTester(&summary); }},
        {"simulator loading", [&] { return new DWILoading(QStringLiteral("/")); }},
        {"import losses",
         [&] {
             return new ImportLosses(QStringLiteral("song.sm"), {{"", 0, 0, "attacks dropped"}},
                                     &summary);
         }},
        {"progress", [&] { return new Process(&summary); }},
        {"step editor", [&] { return new StepEditorWindow(app.ctx, &summary); }},
    };
    for (const auto& [what, make] : windows) {
        SCOPED_TRACE(what);
        QPointer<QWidget> w = make();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        w->move(area.right() - 40, area.bottom() - 40);
        EXPECT_TRUE(waitUntil([&] { return w && inside(area, w); }, 5000))
            << w->frameGeometry().x() << "," << w->frameGeometry().y() << " " << w->width() << "x"
            << w->height() << " on " << area.width() << "x" << area.height();
        delete w.data();
        summary.setEnabled(true);
    }
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    kolvo::test::usePrivateHome(home.path());
    QSize screen(1600, 1000);
    if (argc > 1) {
        const QList<QByteArray> wh = QByteArray(argv[1]).split('x');
        if (wh.size() == 2)
            screen = QSize(wh[0].toInt(), wh[1].toInt());
    }
    auto desktop = std::make_unique<X11Desktop>();
    if (desktop->start(screen))
        g_desktop = desktop.get();

    int result = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Kolvo"));
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    g_desktop = nullptr;
    desktop.reset();
    return result;
}

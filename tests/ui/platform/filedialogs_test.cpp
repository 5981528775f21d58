// File dialogs: the old filter text becomes Qt's, the Qt dialog returns the
// chosen file or nothing, the scripted one records and answers.
#include "ui/platform/filedialogs.h"

#include "scriptedfiledialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace kolvo;

namespace {

void whenDialogShows(std::function<void(QFileDialog*)> act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(dlg);
        }
    });
    poll->start(10);
}

// Types a name into the dialog's box and closes it as accepted. accept()
// itself can run before the dialog has read its folder in the background and
// then answers with a modal "not found" box or only opens the folder, which
// would hang the test.
void chooseName(QFileDialog* dlg, const QString& name) {
    auto* box = dlg->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(box, nullptr);
    box->setText(name);
    static_cast<QDialog*>(dlg)->done(QDialog::Accepted); // done() is protected in QFileDialog
}

} // namespace

TEST(QtFileDialogs, FilterPairsBecomeQtFilters) {
    EXPECT_EQ(QtFileDialogs::qtFilter("Kolvo File|*.kolvo"), "Kolvo File (*.kolvo)");
    EXPECT_EQ(QtFileDialogs::qtFilter("Music|*.mp3;*.wav|All files|*.*"),
              "Music (*.mp3 *.wav);;All files (*.*)");
    // Descriptions that already show their patterns do not show them twice.
    EXPECT_EQ(QtFileDialogs::qtFilter("Kolvo Work In Progress (*.kolvo)|*.kolvo"),
              "Kolvo Work In Progress (*.kolvo)");
    EXPECT_EQ(QtFileDialogs::qtFilter("Music File (*.wav, *.mp3, *.ogg)|*.wav;*.mp3;*.ogg"),
              "Music File (*.wav *.mp3 *.ogg)");
    EXPECT_EQ(QtFileDialogs::qtFilter("Dance With Intensity Datafile (*.dwi)|*.dwi|All (*.*)|*.*"),
              "Dance With Intensity Datafile (*.dwi);;All (*.*)");
    EXPECT_EQ(QtFileDialogs::qtFilter(""), "");
    EXPECT_EQ(QtFileDialogs::qtFilter("Dangling"), ""); // no pattern: nothing to offer
}

TEST(QtFileDialogs, OpenReturnsTheChosenFileAndCancelReturnsNothing) {
    QTemporaryDir dir;
    const QString file = dir.filePath("song ü.kolvo");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QtFileDialogs dialogs;
    FileDialogRequest r;
    r.title = "Open a song";
    r.filter = "Kolvo Work In Progress File (*.kolvo)|*.kolvo";
    r.initialDir = dir.path();
    r.fileMustExist = true;

    whenDialogShows([&](QFileDialog* dlg) {
        EXPECT_EQ(dlg->windowTitle(), "Open a song");
        EXPECT_EQ(dlg->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dlg->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dlg->nameFilters(), QStringList{"Kolvo Work In Progress File (*.kolvo)"});
        chooseName(dlg, "song ü.kolvo");
    });
    const auto chosen = dialogs.ask(nullptr, r);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, file);

    whenDialogShows([](QFileDialog* dlg) { dlg->reject(); });
    EXPECT_FALSE(dialogs.ask(nullptr, r).has_value());
}

TEST(QtFileDialogs, SaveAddsTheDefaultExtension) {
    QTemporaryDir dir;
    QtFileDialogs dialogs;
    FileDialogRequest r;
    r.mode = FileDialogRequest::Mode::Save;
    r.title = "Save";
    r.filter = "DWI File|*.dwi";
    r.initialDir = dir.path();
    r.defaultExt = "dwi";
    whenDialogShows([&](QFileDialog* dlg) {
        EXPECT_EQ(dlg->acceptMode(), QFileDialog::AcceptSave);
        chooseName(dlg, "My Song");
    });
    const auto chosen = dialogs.ask(nullptr, r);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.filePath("My Song.dwi"));
}

TEST(ScriptedFileDialogs, RecordsRequestsAndAnswersFromTheQueue) {
    ScriptedFileDialogs dialogs;
    dialogs.answers = {QString("/a/b.kolvo")};
    FileDialogRequest r;
    r.title = "Open";
    EXPECT_EQ(dialogs.ask(nullptr, r), std::optional<QString>("/a/b.kolvo"));
    EXPECT_FALSE(dialogs.ask(nullptr, r).has_value()); // empty queue: cancelled
    ASSERT_EQ(dialogs.asked.size(), 2);
    EXPECT_EQ(dialogs.asked[0].title, "Open");
}

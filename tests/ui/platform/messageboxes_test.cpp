// Message boxes: the Qt box shows what it was asked to show and maps the
// clicked button back; the scripted one records and answers from a queue.
#include "ui/platform/messageboxes.h"

#include "scriptedmessageboxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace kolvo;

namespace {

// Runs `inspect` on the message box once it is up (polling, since exec()
// blocks the test until the box is closed).
void whenBoxShows(std::function<void(QMessageBox*)> inspect) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            inspect(box);
        }
    });
    poll->start(10);
}

} // namespace

TEST(QtMessageBoxes, ShowsTextTitleIconAndButtonsAndReportsTheClick) {
    struct Case {
        MsgButtons buttons;
        MsgIcon icon;
        QMessageBox::StandardButtons expectButtons;
        QMessageBox::Icon expectIcon;
        QMessageBox::StandardButton click;
        MsgAnswer answer;
    } cases[] = {
        {MsgButtons::Ok, MsgIcon::None, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok,
         MsgAnswer::Ok},
        {MsgButtons::Ok, MsgIcon::Exclamation, QMessageBox::Ok, QMessageBox::Warning,
         QMessageBox::Ok, MsgAnswer::Ok},
        {MsgButtons::Ok, MsgIcon::Critical, QMessageBox::Ok, QMessageBox::Critical, QMessageBox::Ok,
         MsgAnswer::Ok},
        {MsgButtons::OkCancel, MsgIcon::Information, QMessageBox::Ok | QMessageBox::Cancel,
         QMessageBox::Information, QMessageBox::Cancel, MsgAnswer::Cancel},
        {MsgButtons::YesNo, MsgIcon::Question, QMessageBox::Yes | QMessageBox::No,
         QMessageBox::Question, QMessageBox::Yes, MsgAnswer::Yes},
        {MsgButtons::YesNo, MsgIcon::Question, QMessageBox::Yes | QMessageBox::No,
         QMessageBox::Question, QMessageBox::No, MsgAnswer::No},
        {MsgButtons::YesNoCancel, MsgIcon::Exclamation,
         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Warning,
         QMessageBox::Cancel, MsgAnswer::Cancel},
    };
    QtMessageBoxes boxes;
    for (const Case& c : cases) {
        bool inspected = false;
        whenBoxShows([&](QMessageBox* box) {
            inspected = true;
            EXPECT_EQ(box->windowTitle(), "Title ✓");
            EXPECT_EQ(box->text(), "Some text.");
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->standardButtons(), c.expectButtons);
            EXPECT_EQ(box->icon(), c.expectIcon);
            box->button(c.click)->click();
        });
        EXPECT_EQ(boxes.show(nullptr, "Some text.", "Title ✓", c.buttons, c.icon), c.answer);
        EXPECT_TRUE(inspected);
    }
}

TEST(QtMessageBoxes, EscapeOnAQuestionIsNeverYes) {
    QtMessageBoxes boxes;
    for (MsgButtons b : {MsgButtons::YesNo, MsgButtons::YesNoCancel, MsgButtons::OkCancel}) {
        whenBoxShows([](QMessageBox* box) { box->reject(); });
        const MsgAnswer a = boxes.show(nullptr, "Sure?", "Q", b, MsgIcon::Question);
        EXPECT_NE(a, MsgAnswer::Yes);
        EXPECT_NE(a, MsgAnswer::Ok);
    }
}

TEST(ScriptedMessageBoxes, RecordsEveryBoxAndAnswersFromTheQueue) {
    ScriptedMessageBoxes boxes;
    boxes.answers = {MsgAnswer::No, MsgAnswer::Yes};
    EXPECT_EQ(boxes.show(nullptr, "One", "T1", MsgButtons::YesNo, MsgIcon::Question),
              MsgAnswer::No);
    EXPECT_EQ(boxes.show(nullptr, "Two", "T2", MsgButtons::YesNoCancel, MsgIcon::Exclamation),
              MsgAnswer::Yes);
    // Queue empty: OK boxes are acknowledged, anything else is cancelled,
    // so an unscripted question never goes ahead.
    EXPECT_EQ(boxes.show(nullptr, "Three", "T3"), MsgAnswer::Ok);
    EXPECT_EQ(boxes.show(nullptr, "Four", "T4", MsgButtons::YesNo, MsgIcon::Question),
              MsgAnswer::Cancel);
    ASSERT_EQ(boxes.shown.size(), 4);
    EXPECT_EQ(boxes.shown[1].text, "Two");
    EXPECT_EQ(boxes.shown[1].title, "T2");
    EXPECT_EQ(boxes.shown[1].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(boxes.shown[1].icon, MsgIcon::Exclamation);
    EXPECT_EQ(boxes.shown[2].icon, MsgIcon::None);
    EXPECT_EQ(boxes.last().text, "Four");
}

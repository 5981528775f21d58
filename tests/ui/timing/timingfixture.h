#pragma once
// A scripted song for the timing windows: a music file and a player program
// that exist, a scripted player that answers at once, a clock the test sets.

#include "testapp.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace kolvo::test {

struct TimingFixture {
    TestApp app;
    QWidget summary; // stands in for SongSummaryWindow
    qint64 nowNs = 0;

    TimingFixture() {
        app.model.setField(SummaryField::MusicFile, app.writeFile("song.wav", "RIFF"));
        app.writeFile("player/mpv", "#!/bin/sh\n");
        app.ctx.winamppath = app.path("player");
        summary.setObjectName(QStringLiteral("MainMenu"));
    }
    auto clock() {
        return [this] { return nowNs; };
    }
    void advanceMs(double ms) { nowNs += qint64(ms * 1'000'000); }

    // Deletes the tool windows a test left open (they delete themselves on
    // closing; the fixture's stand-in windows do not).
    static void deleteToolWindows() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->testAttribute(Qt::WA_DeleteOnClose))
                delete w;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QStringList titles() const {
        QStringList t;
        for (const auto& s : app.boxes.shown)
            t << s.title;
        return t;
    }
};

} // namespace kolvo::test

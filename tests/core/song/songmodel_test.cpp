#include "core/song/editsession.h"
#include "core/song/songmodel.h"

#include <gtest/gtest.h>

using namespace kolvo;

TEST(SongModel, StartsWithDesignValuesAndUnassignedCharts) {
    SongModel m;
    EXPECT_EQ(m.bpm(), "120");
    EXPECT_EQ(m.gap(), "0");
    EXPECT_EQ(m.markAsNew(), 2);
    EXPECT_TRUE(m.footlevels(1, 1).isUnassigned());
    EXPECT_TRUE(m.dataexists(4, 4).isUnassigned());
    EditSession session;
    EXPECT_EQ(session.currentstyle, 1);
    EXPECT_EQ(session.currentlevel, 1);
}

TEST(SongModel, ResetEmptiesEverythingButFiletag) {
    SongModel m;
    m.setField(SummaryField::FileTag, "song.mp3");
    m.setField(SummaryField::SongName, "Demo");
    m.setField(SummaryField::Bpm, "140");
    m.setMarkAsNew(0);
    m.setStep(2, 3, 50, 7, 9, 2);
    m.setTempo(1, 1, 5, 3, BPMCHANNEL, 150);
    m.setDataexists(2, 3, Value::number(1));
    m.setFootlevels(2, 3, Value::text("7"));

    m.resetparameters();

    EXPECT_EQ(m.filetag(), "song.mp3");
    EXPECT_EQ(m.songname(), "");
    EXPECT_EQ(m.bpm(), "120");
    EXPECT_EQ(m.markAsNew(), 2);
    EXPECT_EQ(m.step(2, 3, 50, 7, 9), 0);
    EXPECT_FALSE(m.hasTempo(1, 1, 5, 3, BPMCHANNEL));
    EXPECT_EQ(m.dataexists(2, 3), Value::number(0));
    EXPECT_EQ(m.footlevels(2, 3), Value::text(""));
}

TEST(SongModel, ClearingSingleBasicKeepsTempoEventsAndFootLevel) {
    SongModel m;
    m.resetparameters();
    m.setStep(1, 1, 3, 1, 1, 1);
    m.setTempo(1, 1, 3, 1, BPMCHANNEL, 75);
    m.setTempo(1, 1, 4, 2, FREEZECHANNEL, 500);
    m.setDataexists(1, 1, Value::number(1));
    m.setFootlevels(1, 1, Value::text("9"));

    m.clearChart(1, 1);

    EXPECT_EQ(m.step(1, 1, 3, 1, 1), 0);
    EXPECT_EQ(m.tempo(1, 1, 3, 1, BPMCHANNEL), 75);
    EXPECT_EQ(m.tempo(1, 1, 4, 2, FREEZECHANNEL), 500);
    EXPECT_EQ(m.footlevels(1, 1), Value::text("9"));
    EXPECT_FALSE(m.hasData(1, 1));
}

TEST(SongModel, OpeningAChartSetsFootLevelOnlyTheFirstTime) {
    SongModel m;
    m.resetparameters();
    m.openChart(2, 4);
    EXPECT_EQ(m.footlevels(2, 4), Value::number(1));
    EXPECT_TRUE(m.hasData(2, 4));

    m.setFootlevels(2, 4, Value::text("12"));
    m.openChart(2, 4);
    EXPECT_EQ(m.footlevels(2, 4), Value::text("12"));
}

TEST(SongModel, OutOfRangeCellsReadAsEmptyAndIgnoreWrites) {
    SongModel m;
    const int bad[][5] = {{0, 1, 1, 1, 1},
                          {5, 1, 1, 1, 1},
                          {1, -1, 1, 1, 1},
                          {1, Edit, 1, 1, 1},
                          {1, 1, kMaxBars + 1, 1, 1},
                          {1, 1, 1, 33, 1},
                          {-1, -1, -1, -1, -1}};
    for (const auto& c : bad) {
        m.setStep(c[0], c[1], c[2], c[3], c[4], 1);
        EXPECT_EQ(m.step(c[0], c[1], c[2], c[3], c[4]), 0);
        m.setTempo(c[0], c[1], c[2], c[3], BPMCHANNEL, 1);
        EXPECT_FALSE(m.hasTempo(c[0], c[1], c[2], c[3], BPMCHANNEL));
    }
    m.setStep(1, 1, 1, 1, 11, 1);
    EXPECT_EQ(m.step(1, 1, 1, 1, 11), 0);
    EXPECT_FALSE(m.hasTempo(1, 1, 1, 1, 10));
    EXPECT_TRUE(m.dataexists(0, 0).isUnassigned());
    // Level 0 is the style's Beginner chart.
    m.setStep(Double, Beginner, 1, 1, 1, 1);
    EXPECT_EQ(m.step(Double, Beginner, 1, 1, 1), 1);
    EXPECT_EQ(m.chart(SongModel::slotOf(Double, Beginner)).steps.size(), 1u);
    EXPECT_TRUE(m.chartSteps(Double, Basic).empty());
}

TEST(SongModel, ValueKeepsItsForm) {
    EXPECT_NE(Value::number(1), Value::text("1"));
    EXPECT_NE(Value(), Value::text(""));
    EXPECT_TRUE(Value().isZeroOrEmpty());
    EXPECT_TRUE(Value::text("").isZeroOrEmpty());
    EXPECT_FALSE(Value::text("7").isZeroOrEmpty());
    EXPECT_EQ(Value::text("7").toNumber(), 7);
    EXPECT_EQ(Value::number(1).toText(), "1");
}

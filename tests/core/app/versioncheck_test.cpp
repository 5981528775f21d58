// The version file, the number-by-number comparison, the update addresses
// and the folder rules of the start-up sequence.
#include "core/app/startuprules.h"
#include "core/app/versioncheck.h"

#include <gtest/gtest.h>

using namespace kolvo;

TEST(VersionFile, ReadsThreeTrimmedLinesAndTheirNumbers) {
    struct Case {
        QByteArray content;
        bool isFile;
        QString shown; // major.minor.revision as shown in the offer
        double major, minor, revision;
    };
    const Case cases[] = {
        {"1\r\n0\r\n2\r\n", true, "1.0.2", 1, 0, 2},
        {"1\n0\n2", true, "1.0.2", 1, 0, 2}, // no final line end
        {" 1 \n\t0 \n  2  \nignored\n", true, "1.0.2", 1, 0, 2},
        {"2b\nbeta\n\n", true, "2b.beta.", 2, 0, 0}, // no number counts 0
        {"1\n0\n", false, {}, 0, 0, 0},              // two lines
        {"1\n0", false, {}, 0, 0, 0},
        {"", false, {}, 0, 0, 0},
        {"\n\n", false, {}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        const auto f = readVersionFile(c.content);
        ASSERT_EQ(f.has_value(), c.isFile);
        if (!f)
            continue;
        EXPECT_EQ(f->major + u'.' + f->minor + u'.' + f->revision, c.shown);
        EXPECT_EQ(f->majorValue, c.major);
        EXPECT_EQ(f->minorValue, c.minor);
        EXPECT_EQ(f->revisionValue, c.revision);
    }
}

TEST(VersionFile, ComparedNumberByNumberAgainstRunningVersion) {
    struct Case {
        QByteArray content;
        bool newer, majorGreater, minorGreater, revisionGreater;
    };
    const Case cases[] = {
        {"1\n0\n1\n", false, false, false, false},
        {"1\n0\n2\n", true, false, false, true},
        {"1\n1\n0\n", true, false, true, false},
        {"2\n0\n0\n", true, true, false, false},
        {"2\n1\n0\n", true, true, true, false},
        {"1\n0\n0\n", false, false, false, false},
        // An older release never counts as new because one later number is bigger.
        {"0\n9\n9\n", false, false, false, false},
        {"1\n0\n1.5\n", true, false, false, true},
        {"x\ny\nz\n", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        const UpdateDecision d = compareWithRunning(*readVersionFile(c.content));
        EXPECT_EQ(d.newer, c.newer);
        EXPECT_EQ(d.majorGreater, c.majorGreater);
        EXPECT_EQ(d.minorGreater, c.minorGreater);
        EXPECT_EQ(d.revisionGreater, c.revisionGreater);
    }
    EXPECT_EQ(versionText(), QStringLiteral("1.0.1"));
}

TEST(VersionFile, OfferNamesTheTrimmedVersion) {
    EXPECT_EQ(updateOfferText(*readVersionFile(" 1 \r\n 0\r\n2 \r\n")),
              QStringLiteral("A new version, 1.0.2 is available. Do you want to launch your "
                             "default web browser and go to the Kolvo web page?"));
}

TEST(UpdateAddress, OnlyHttpAddressesWithAHostAreUsed) {
    EXPECT_EQ(versionFileUrl(QStringLiteral("http://127.0.0.1:8080/"), 42).toString(),
              QStringLiteral("http://127.0.0.1:8080/kolvo/autoupdate.txt?random=42"));
    EXPECT_EQ(webPageUrl(QStringLiteral(" https://example.org ")).toString(),
              QStringLiteral("https://example.org/kolvo/"));
    for (const char* bad :
         {"", "   ", "file:///etc", "ftp://example.org", "example.org", "http://"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(versionFileUrl(QString::fromLatin1(bad), 1).isValid());
        EXPECT_FALSE(webPageUrl(QString::fromLatin1(bad)).isValid());
    }
}

TEST(StartupRules, WhichFoldersAreAskedForAndHowTheyAreStored) {
    struct Case {
        const char* path;
        bool askSimulator;
        bool askPlayer;
    };
    const Case cases[] = {
        {"/", true, true},
        {"", true, true},
        {"/games/DWI Support", true, false},
        {"/home/me/Games/dwi SUPPORT/old", true, false},
        {"/games/dwi", false, false},
        {"/games/DWISupport", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(simulatorPathNeedsAsking(QString::fromLatin1(c.path)), c.askSimulator);
        EXPECT_EQ(playerPathNeedsAsking(QString::fromLatin1(c.path)), c.askPlayer);
    }
    EXPECT_EQ(folderForStorage(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(folderForStorage(QStringLiteral("/media/usb/")), QStringLiteral("/media/usb"));
    EXPECT_EQ(folderForStorage(QStringLiteral("/games/sim")), QStringLiteral("/games/sim"));
}

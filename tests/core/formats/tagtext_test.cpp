// Typed text that ends or splits a "#TAG:value;" tag: found per field, with
// the sequence that comes first, for the DWI set and for any other set.
#include "core/formats/tagtext.h"
#include "core/song/songmodel.h"

#include <gtest/gtest.h>

using namespace kolvo;

TEST(TagText, DwiSplittersAreFoundInEveryTagField) {
    struct Case {
        SummaryField field;
        const char* text;
        const char* splitter; // nullptr: the text reads back as typed
    } cases[] = {
        {SummaryField::SongName, "Act 2: Return", ":"},
        {SummaryField::SongName, "Plain Title (Remix) #1", nullptr},
        {SummaryField::Artist, "A; B", ";"},
        {SummaryField::Artist, "AC/DC", nullptr},
        {SummaryField::Genre, "http://x", ":"}, // ":" comes before "//"
        {SummaryField::Genre, "a//b:c", "//"},
        {SummaryField::CdTitle, "cd/title.png", nullptr},
        {SummaryField::CdTitle, "C:\\cd.png", ":"},
        {SummaryField::FileTag, "back\\slash.mp3", nullptr}, // DWI reads "\" as text
        {SummaryField::FileTag, "song;.mp3", ";"},
        {SummaryField::Bpm, "1:2", nullptr},       // not a text tag
        {SummaryField::MusicFile, "a;b", nullptr}, // the export writes the file tag, not this
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        SongModel m;
        m.resetparameters();
        m.setField(c.field, QString::fromUtf8(c.text));
        const QList<TagTextProblem> found = dwiTagTextProblems(m);
        if (!c.splitter) {
            EXPECT_TRUE(found.isEmpty());
            continue;
        }
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found[0].field, c.field);
        EXPECT_EQ(found[0].splitter, QString::fromLatin1(c.splitter));
    }
}

TEST(TagText, OneWarningNamesEveryFieldAsShownWithItsCharacter) {
    SongModel m;
    m.resetparameters();
    m.setField(SummaryField::SongName, "Title: Sub");
    m.setField(SummaryField::Artist, "Someone");
    m.setField(SummaryField::FileTag, "x//y.mp3");
    const QList<TagTextProblem> found = dwiTagTextProblems(m);
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(tagTextWarning(found, "DWI"),
              "The simulators will not read these fields as typed, because they hold characters "
              "that end or split a DWI tag:\n"
              "\"#FILE tag\" holds \"//\"\n"
              "\"Name of song\" holds \":\"");
}

// The same check over another format's set (a file that is read with "\"
// escapes also splits at a backslash).
TEST(TagText, TakesTheFormatsOwnSplitters) {
    SongModel m;
    m.resetparameters();
    m.setField(SummaryField::SongName, "a\\b");
    m.setField(SummaryField::Artist, "c;d");
    const QStringList withEscapes = {":", ";", "//", "\\"};
    const QList<TagTextProblem> found =
        tagTextProblems(m, {SummaryField::SongName, SummaryField::Artist}, withEscapes);
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].splitter, "\\");
    EXPECT_EQ(found[1].splitter, ";");
    EXPECT_TRUE(dwiTagTextProblems(m).size() == 1); // only the ";" for DWI
}

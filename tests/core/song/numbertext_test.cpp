#include "core/song/numbertext.h"

#include <gtest/gtest.h>

using namespace kolvo;

TEST(NumberText, NumericValueOfTypedText) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"120abc", 120},
        {"", 0},
        {"abc", 0},
        {"128.50", 128.5},
        {" 1 2 3 ", 123},
        {"\t4\n5", 45},
        {"-20", -20},
        {"+7", 7},
        {".5", 0.5},
        {"-.5", -0.5},
        {"1.2.3", 1.2},
        {"1e3", 1000},
        {"1D2", 100},
        {"2e", 2},
        {"2e+", 2},
        {"3E-1x", 0.3},
        {"&HFF", 255},
        {"&hff", 255},
        {"&O17", 15},
        {"&O9", 0},
        {"&X1", 0},
        {".", 0},
        {"-", 0},
        {"1e999", 0},
        {"\xc3\xa9"
         "5",
         0},
        {"5\xc3\xa9", 5},
        {"0.5", 0.5},
        {"\r5", 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(numericValue(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(NumberText, CanonicalText) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},    {-0.0, "0"},        {120, "120"},         {128.5, "128.5"},
        {0.5, ".5"}, {-0.5, "-.5"},      {-20, "-20"},         {1e21, "1000000000000000000000"},
        {0.1, ".1"}, {1e-7, ".0000001"}, {123.456, "123.456"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(canonicalNumberText(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST(NumberText, WellFormed) {
    struct Case {
        const char* text;
        bool number;
        bool whole;
    } cases[] = {
        {"5", true, true},        {".5", true, false},   {"0.5", false, false},
        {"5.0", false, false},    {"05", false, false},  {" 5", false, false},
        {"5 ", false, false},     {"", false, false},    {"abc", false, false},
        {"0", true, true},        {"-3", true, true},    {"+3", false, false},
        {"5.5", true, false},     {"1e2", false, false}, {"100", true, true},
        {"128.50", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isWellFormedNumber(QString::fromLatin1(c.text)), c.number) << c.text;
        EXPECT_EQ(isWellFormedWholeNumber(QString::fromLatin1(c.text)), c.whole) << c.text;
    }
}

TEST(NumberText, NormalisedFieldText) {
    EXPECT_EQ(normalizedNumberText("150bpm"), "150");
    EXPECT_EQ(normalizedNumberText(""), "0");
    EXPECT_EQ(normalizedNumberText("20.5"), "20.5");
    EXPECT_EQ(normalizedNumberText(" 128.50 "), "128.5");
}

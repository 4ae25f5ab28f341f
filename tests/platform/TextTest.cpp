#include "platform/Text.h"

#include <gtest/gtest.h>

namespace fillahead {
namespace {

TEST(Utf8, WellFormedTextRoundTrips) {
    const std::string utf8 = "plain, caf\xC3\xA9, \xE2\x82\xAC 5, \xF0\x90\x90\x80 deseret";
    const Text text = fromUtf8(utf8);
    EXPECT_EQ(text, u"plain, café, € 5, \U00010400 deseret");
    EXPECT_EQ(toUtf8(text), utf8);

    Text strict;
    EXPECT_TRUE(decodeUtf8Strict(utf8, strict));
    EXPECT_EQ(strict, text);
}

TEST(Utf8, EachMaximalIllFormedSubpartBecomesOneReplacementCharacter) {
    struct Case {
        std::string input;
        Text expected;
        std::size_t errorOffset;
    };
    const Case cases[] = {
        {"a\x80z", u"a\uFFFDz", 1},                           // stray continuation byte
        {"a\xC3", u"a\uFFFD", 1},                             // truncated at the end
        {"a\xE2\x82z", u"a\uFFFDz", 1},                       // truncated three-byte form
        {"\xC0\xAFz", u"\uFFFD\uFFFDz", 0},                   // overlong: C0 is never a lead byte
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD", 0},           // overlong three-byte form
        {"\xED\xA0\x80x", u"\uFFFD\uFFFD\uFFFDx", 0},         // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0}, // above U+10FFFF
        {"ok\xFF", u"ok\uFFFD", 2},                           // never a UTF-8 byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.input));
        EXPECT_EQ(fromUtf8(c.input), c.expected);
        Text strict;
        std::size_t offset = 99;
        EXPECT_FALSE(decodeUtf8Strict(c.input, strict, &offset));
        EXPECT_EQ(offset, c.errorOffset);
    }
}

TEST(Utf8, LoneSurrogatesBecomeReplacementCharacters) {
    const Text lone = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(toUtf8(lone), "a\xEF\xBF\xBD"
                            "b\xEF\xBF\xBD");
    std::string folded;
    appendFoldedUtf8(lone, folded);
    EXPECT_EQ(folded, toUtf8(lone));
}

TEST(CaseFolding, FoldsLettersOfEveryScriptThatHasCase) {
    struct Case {
        Text upper;
        Text folded;
    };
    const Case cases[] = {
        {u"HELLO, World 42", u"hello, world 42"},
        {u"ÀÉÎÕÜ Ç Ñ Ø Þ", u"àéîõü ç ñ ø þ"},       // Latin-1
        {u"ß µ ÿ", u"ß μ ÿ"},                       // no simple folding for ß; micro sign -> mu
        {u"Ā Ł Ő Ž Ÿ ſ Ǆ", u"ā ł ő ž ÿ s ǆ"},       // Latin Extended
        {u"ΣΊΣΥΦΟΣ ς", u"σίσυφοσ σ"},               // Greek, final sigma folds to sigma
        {u"ДОБРЫЙ ВЕЧЕР Ё Ѣ", u"добрый вечер ё ѣ"}, // Cyrillic
        {u"İ", u"İ"},                               // Turkish dotted I: full folding only
        {u"\U00010400\U00010427", u"\U00010428\U0001044F"}, // Deseret, outside the BMP
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toUtf8(c.upper));
        EXPECT_EQ(foldCase(c.upper), c.folded);
        std::string utf8;
        appendFoldedUtf8(c.upper, utf8);
        EXPECT_EQ(utf8, toUtf8(c.folded));
        EXPECT_TRUE(equalsIgnoringCase(c.upper, c.folded));
    }
}

TEST(CaseFolding, ComparisonIgnoresOnlyCase) {
    EXPECT_TRUE(equalsIgnoringCase(u"O'Brien", u"o'BRIEN"));
    EXPECT_FALSE(equalsIgnoringCase(u"abc", u"abd"));
    EXPECT_FALSE(equalsIgnoringCase(u"abc", u"abcd"));
    EXPECT_FALSE(equalsIgnoringCase(u"strasse", u"straße"));
    EXPECT_EQ(foldCase(U'\U00010400'), U'\U00010428');
    EXPECT_EQ(foldCase(U'1'), U'1');
}

TEST(TextHelpers, DecimalTextAndAffixes) {
    EXPECT_EQ(toText(0), u"0");
    EXPECT_EQ(toText(-2048), u"-2048");
    EXPECT_EQ(toText(INT64_MIN), u"-9223372036854775808");
    EXPECT_TRUE(endsWith(u"C:\\Data\\", u"\\"));
    EXPECT_FALSE(endsWith(u"", u"\\"));
    EXPECT_TRUE(startsWith(u"Form1-Text1.xml", u"Form1-"));
}

} // namespace
} // namespace fillahead

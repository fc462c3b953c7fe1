// Windows-1252 names crossing to UTF-8 and back.
#include "hpi/hpi.h"

#include <gtest/gtest.h>

namespace hpi {
namespace {

TEST(ReaderText, EveryByteSurvivesARoundTripThroughUtf8)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const std::string utf8 = cp1252_to_utf8(all);
    std::string back;
    EXPECT_TRUE(utf8_to_cp1252(utf8, back));
    EXPECT_EQ(back, all);
}

// With every byte surviving the round trip, one direction is enough here.
TEST(ReaderText, CodePageCharactersMapToTheirUnicodeForms)
{
    EXPECT_EQ(cp1252_to_utf8("Caf\xE9 \x80\x8A\x8C\x9F \x93q\x94 \x96\x85"), "Café €ŠŒŸ “q” –…");
    // Bytes the code page leaves undefined keep their value as C1 controls.
    EXPECT_EQ(cp1252_to_utf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
}

TEST(ReaderText, UnmappableOrMalformedUtf8BecomesQuestionMarksWithoutReadingPastTheText)
{
    struct Case {
        std::string_view text;
        const char* expected;
    };
    const Case cases[] = {
        {"日本.txt", "??.txt"},
        {"\u0080", "?"},  // a C1 control other than the five undefined bytes
        {"\U0001F600", "?"},
        {std::string_view("a\x80z"), "a?z"},                  // stray continuation byte
        {std::string_view("\xC0\xAF"), "?"},                  // overlong "/"
        {std::string_view("\xED\xA0\x80"), "?"},              // surrogate
        {std::string_view("ok\xE2\x82"), "ok??"},             // cut inside a sequence
        {std::string_view("\xF8\x88\x80\x80\x80"), "?????"},  // five-byte form
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_FALSE(utf8_to_cp1252(c.text, out));
        EXPECT_EQ(out, c.expected);
    }
}

}  // namespace
}  // namespace hpi

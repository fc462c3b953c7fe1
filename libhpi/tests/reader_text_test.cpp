// Windows-1252 names crossing to UTF-8 and back.
#include "hpi/hpi.h"

#include <gtest/gtest.h>

namespace hpi {
namespace {

TEST(ReaderText, EveryByteSurvivesARoundTripThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    const std::string utf8 = cp1252_to_utf8(all);
    std::string back;
    EXPECT_TRUE(utf8_to_cp1252(utf8, back));
    EXPECT_EQ(back, all);
}

TEST(ReaderText, CodePageCharactersMapToTheirUnicodeForms) {
    EXPECT_EQ(cp1252_to_utf8("Caf\xE9 cr\xE8me"), "Café crème");
    EXPECT_EQ(cp1252_to_utf8("\x80\x8A\x9F"), "€ŠŸ");
    EXPECT_EQ(cp1252_to_utf8("\x93quoted\x94 \x85"), "“quoted” …");
    // Bytes the code page leaves undefined keep their value as C1 controls.
    EXPECT_EQ(cp1252_to_utf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
    std::string out;
    EXPECT_TRUE(utf8_to_cp1252("€ Œuvre – naïve", out));
    EXPECT_EQ(out, "\x80 \x8Cuvre \x96 na\xEFve");
}

TEST(ReaderText, UnmappableOrMalformedUtf8BecomesQuestionMarksWithoutReadingPastTheText) {
    struct Case {
        std::string_view text;
        const char* expected;
    };
    const Case cases[] = {
        {"日本.txt", "??.txt"},
        {"\u0080", "?"},  // a C1 control other than the five undefined bytes
        {"\U0001F600", "?"},
        {std::string_view("a\x80z"), "a?z"},              // stray continuation byte
        {std::string_view("\xC0\xAF"), "?"},              // overlong "/"
        {std::string_view("\xED\xA0\x80"), "?"},          // surrogate
        {std::string_view("ok\xE2\x82"), "ok??"},         // cut inside a sequence
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

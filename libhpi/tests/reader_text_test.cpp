// Windows-1252 names crossing to UTF-8 and back, and the names of the error
// kinds that front every message.
#include "hpi/hpi.h"

#include <gtest/gtest.h>

#include <set>

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

TEST(ReaderText, CharactersWithoutAWindows1252FormBecomeQuestionMarks) {
    std::string out;
    EXPECT_FALSE(utf8_to_cp1252("日本.txt", out));
    EXPECT_EQ(out, "??.txt");
    // C1 controls other than the five undefined bytes have no byte of their own.
    EXPECT_FALSE(utf8_to_cp1252("\u0080", out));
    EXPECT_EQ(out, "?");
    EXPECT_FALSE(utf8_to_cp1252("\U0001F600", out));
    EXPECT_EQ(out, "?");
}

TEST(ReaderText, MalformedUtf8BecomesQuestionMarksWithoutReadingPastTheText) {
    struct Case {
        std::string_view text;
        const char* expected;
    };
    const Case cases[] = {
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

TEST(ReaderText, EveryErrorKindHasItsOwnName) {
    std::set<std::string_view> names;
    for (int kind = int(ErrorKind::None); kind <= int(ErrorKind::InvalidArgument); ++kind)
        names.insert(to_string(ErrorKind(kind)));
    EXPECT_EQ(names.size(), std::size_t(ErrorKind::InvalidArgument) + 1);
    EXPECT_EQ(to_string(ErrorKind::Truncated), "truncated");
    EXPECT_EQ(to_string(ErrorKind::BadChecksum), "bad checksum");
}

}  // namespace
}  // namespace hpi

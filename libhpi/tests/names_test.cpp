// The rules for names that the library and the program share: what each
// refuses, and where the UTF-8 decoder resumes after a fault (the '?' count
// of a converted name depends on it).
#include "hpi/names.h"

#include <gtest/gtest.h>

#include <vector>

namespace hpi {
namespace {

TEST(NamesLevels, ASafeLevelNamesSomethingInsideItsFolderAndOnlyThat)
{
    const struct {
        std::string_view name;
        LevelFault fault;
    } cases[] = {
        {"units", LevelFault::None},
        {"...", LevelFault::None},
        {".hidden", LevelFault::None},
        {"C:", LevelFault::None},  // a drive only in front of a whole path
        {"", LevelFault::Empty},
        {".", LevelFault::Dots},
        {"..", LevelFault::Dots},
        {"a\\b", LevelFault::Separator},
        {"a/b", LevelFault::Separator},
        {"../a", LevelFault::Separator},
        {std::string_view("a\0b", 3), LevelFault::Nul},
        {std::string_view("/\0", 2), LevelFault::Separator},  // the first rule broken is named
    };
    for (const auto& c : cases) {
        EXPECT_EQ(level_fault(c.name), c.fault) << c.name;
        EXPECT_EQ(is_safe_level(c.name), c.fault == LevelFault::None) << c.name;
    }
}

TEST(NamesLevels, AContainedPathHasOnlySafeLevelsAndNoDriveInFront)
{
    using Levels = std::vector<std::string_view>;
    EXPECT_EQ(contained_levels("units\\ARM/arm.fbi"), (Levels{"units", "ARM", "arm.fbi"}));
    EXPECT_EQ(contained_levels("a"), (Levels{"a"}));
    EXPECT_EQ(contained_levels("b\\C:"), (Levels{"b", "C:"}));
    for (std::string_view path :
         {"", "\\units", "/etc", "units\\", "a\\\\b", "a\\..\\b", ".\\a", "C:units", "c:\\units", "z:"})
        EXPECT_FALSE(contained_levels(path)) << path;
    EXPECT_TRUE(starts_with_drive("C:"));
    EXPECT_FALSE(starts_with_drive("1:"));
    EXPECT_FALSE(starts_with_drive("C"));
}

TEST(NamesCase, OnlyAsciiLettersFold)
{
    EXPECT_EQ(fold_ascii("UNITS\\Arm.FBI @[`{"), "units\\arm.fbi @[`{");
    // Bytes past ASCII stay as they are, whatever letter they stand for in
    // Windows-1252 ("É") or UTF-8 ("É").
    EXPECT_EQ(fold_ascii("\xC9\xC3\x89"), "\xC9\xC3\x89");
    EXPECT_TRUE(equal_ignoring_ascii_case("FileType", "filetype"));
    EXPECT_FALSE(equal_ignoring_ascii_case("FileType", "FileTypes"));
    EXPECT_FALSE(equal_ignoring_ascii_case("\xC9", "\xE9"));
    EXPECT_FALSE(equal_ignoring_ascii_case("@", "`"))
        << "0x40 and 0x60 differ by the case bit but are no letters";
}

TEST(NamesUtf8, DecodesEachFormToItsCodePoint)
{
    const std::string_view text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xA6";  // a é € 📦
    std::vector<char32_t> points;
    std::vector<std::size_t> ends;
    for (std::size_t pos = 0; pos < text.size();) {
        const auto cp = next_code_point(text, pos);
        ASSERT_TRUE(cp) << pos;
        points.push_back(*cp);
        ends.push_back(pos);
    }
    EXPECT_EQ(points, (std::vector<char32_t>{U'a', U'é', U'€', U'\U0001F4E6'}));
    EXPECT_EQ(ends, (std::vector<std::size_t>{1, 3, 6, 10}));
}

TEST(NamesUtf8, AFaultResumesAtTheByteThatBrokeTheSequenceOrPastAWholeBadForm)
{
    const struct {
        std::string_view text;
        std::size_t resume;  // where the next decoding starts after the fault
    } faults[] = {
        {"\x80z", 1},                 // a continuation byte alone
        {"\xE2\x82", 1},              // cut short
        {"\xE2(\x82", 1},             // broken by a byte that cannot continue it
        {"\xF8\x88\x80\x80\x80", 1},  // five-byte form: not a lead byte
        {"\xC0\xAF", 2},              // overlong "/"
        {"\xED\xA0\x80", 3},          // a surrogate
        {"\xF4\x90\x80\x80", 4},      // past U+10FFFF
    };
    for (const auto& f : faults) {
        std::size_t pos = 0;
        EXPECT_FALSE(next_code_point(f.text, pos)) << f.resume;
        EXPECT_EQ(pos, f.resume);
        EXPECT_FALSE(is_valid_utf8(f.text));
    }
    EXPECT_TRUE(is_valid_utf8(""));
    EXPECT_TRUE(is_valid_utf8("plain/Café/Сборка/\U0010FFFF"));
    EXPECT_FALSE(is_valid_utf8("valid until the end\xC3"));
}

}  // namespace
}  // namespace hpi

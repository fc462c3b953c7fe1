// The pieces behind the contract that its calls cannot reach on their own:
// handle numbering over the wrap-around, progress scaling past 2 GiB, the
// listing filter's directory counts and name lengths.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hpiutil/handles.h"
#include "hpiutil/listing.h"
#include "hpiutil/progress.h"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(HpiutilHandleTable, HandlesArePositiveUniqueAndSkipLiveOnesWhenWrapping)
{
    hpiutil::HandleTable<int> table;
    table.continue_numbering_at(kMax - 1);
    const std::int32_t a = table.insert(std::make_shared<int>(1));
    const std::int32_t b = table.insert(std::make_shared<int>(2));
    const std::int32_t c = table.insert(std::make_shared<int>(3));
    EXPECT_EQ(a, kMax - 1);
    EXPECT_EQ(b, kMax);
    EXPECT_EQ(c, 1) << "0 is never handed out, nor a negative number";

    // Around again: the live handles are passed over.
    table.continue_numbering_at(kMax - 1);
    const std::int32_t d = table.insert(std::make_shared<int>(4));
    EXPECT_EQ(d, 2);
    EXPECT_EQ(*table.find(a), 1);
    EXPECT_EQ(*table.find(d), 4);

    EXPECT_EQ(*table.take(b), 2);
    EXPECT_EQ(table.find(b), nullptr);
    EXPECT_EQ(table.take(b), nullptr);
    EXPECT_EQ(table.take_if(c, [](int value) { return value == 99; }), nullptr);
    EXPECT_NE(table.find(c), nullptr) << "a refused take keeps the handle";
    EXPECT_EQ(table.size(), 3u);
}

TEST(HpiutilProgress, ScalingKeepsBothCountsIn31BitsAndTheirRatio)
{
    using hpiutil::scale_progress;
    EXPECT_EQ(scale_progress(5, 10), std::make_pair(5, 10));
    EXPECT_EQ(scale_progress(kMax, kMax), std::make_pair(kMax, kMax));

    const std::uint64_t total = 6'000'000'123ull;  // an archive of about 6 GB of content
    for (std::uint64_t done : {std::uint64_t(0), total / 3, total / 2, total}) {
        const auto [d, t] = scale_progress(done, total);
        EXPECT_GT(t, kMax / 2) << "scaled no further than needed";
        EXPECT_GE(d, 0);
        EXPECT_LE(d, t);
        EXPECT_NEAR(double(d) / t, double(done) / double(total), 1e-6);
        EXPECT_EQ(d == t, done == total) << "only a finished pack shows as finished";
    }
}

std::vector<std::pair<std::int32_t, std::int32_t>> g_calls;

std::int32_t record(const char*, const char*, std::int32_t done, std::int32_t total, std::int32_t,
                    std::int32_t, std::int32_t, std::int32_t)
{
    g_calls.emplace_back(done, total);
    return 0;
}

TEST(HpiutilProgress, RelayEndsWithAFullCallOnlyWhenTheLibraryDidNot)
{
    using Calls = std::vector<std::pair<std::int32_t, std::int32_t>>;
    for (const auto& [done, expected] :
         {std::pair{40, Calls{{40, 100}, {100, 100}}}, {100, Calls{{100, 100}}}}) {
        g_calls.clear();
        hpi::PackProgress progress;
        progress.bytes_done = done;
        progress.bytes_total = 100;
        hpiutil::ProgressRelay relay(record);
        relay.forward(progress);
        relay.finish();
        EXPECT_EQ(g_calls, expected) << done;
    }
}

hpi::Entry directory(std::string path)
{
    return {std::move(path), true, 0, hpi::Method::Stored, 0};
}
hpi::Entry file(std::string path, std::uint32_t size)
{
    return {std::move(path), false, size, hpi::Method::Zlib, 0};
}

TEST(HpiutilListingFilter, DirectoriesCountTheFilesDirectlyInsideAndSizesAreCapped)
{
    const std::vector<hpi::Entry> entries = {
        directory("a"),
        file("a\\x", 1),
        directory("a\\b"),
        file("a\\b\\y", 2),
        file("a\\z", 3),
        file("top", 4),
        directory("c"),
        // The same directory path twice (archives in the wild have this):
        // each copy counts the files that follow it.
        directory("a"),
        file("a\\w", 5),
    };
    const auto listing = hpiutil::build_listing(entries).entries;
    ASSERT_EQ(listing.size(), entries.size());
    std::vector<std::int32_t> sizes;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        EXPECT_EQ(listing[i].index, i);
        sizes.push_back(listing[i].size);
    }
    EXPECT_EQ(sizes, (std::vector<std::int32_t>{2, 1, 1, 2, 3, 4, 0, 1, 5}));

    EXPECT_EQ(hpiutil::build_listing({file("huge", 0xFFFFFFF0u)}).entries.at(0).size, kMax)
        << "sizes past the signed range are capped";

    // Names are handed out in UTF-8 and must fit 255 bytes in that form; a
    // directory too long to name takes its subtree along and counts nothing;
    // the topmost entry left out of each subtree is named for the report.
    const std::string d(200, 'd'), e(27, '\xE9');  // 27 bytes stored, 54 in UTF-8
    const auto named =
        hpiutil::build_listing({directory(d), file(d + "\\" + e, 1), directory(d + "\\" + e + "x"),
                                file(d + "\\" + e + "x\\y", 1), file("Caf\xE9", 1)});
    std::vector<std::pair<std::string, std::int32_t>> names_and_sizes;
    for (const auto& entry : named.entries)
        names_and_sizes.emplace_back(entry.name, entry.size);
    std::string e_utf8;
    for (int i = 0; i < 27; ++i)
        e_utf8 += "é";
    EXPECT_EQ(names_and_sizes, (std::vector<std::pair<std::string, std::int32_t>>{
                                   {d, 1}, {d + "\\" + e_utf8, 1}, {"Café", 1}}));
    EXPECT_EQ(named.omitted,
              (std::vector<hpiutil::OmittedEntry>{
                  {d + "\\" + e_utf8 + "x",
                   hpiutil::Because(hpiutil::Cause::NameTooLong, "over 255 bytes, not extracted")}}));
}

}  // namespace

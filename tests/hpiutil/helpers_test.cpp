// The pieces behind the contract that its calls cannot reach on their own:
// handle numbering over the wrap-around, progress scaling past 2 GiB, the
// listing filter's directory counts.
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

TEST(HpiutilHandleTable, HandlesArePositiveUniqueAndSkipLiveOnesWhenWrapping) {
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

TEST(HpiutilProgress, ScalingKeepsBothCountsIn31BitsAndTheirRatio) {
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
    }
    const auto [d, t] = scale_progress(total, total);
    EXPECT_EQ(d, t) << "a finished pack must show as finished";
}

std::vector<std::pair<std::int32_t, std::int32_t>> g_calls;

std::int32_t record(const char*, const char*, std::int32_t done, std::int32_t total, std::int32_t,
                    std::int32_t, std::int32_t, std::int32_t) {
    g_calls.emplace_back(done, total);
    return 0;
}

TEST(HpiutilProgress, RelayEndsWithAFullCallOnlyWhenTheLibraryDidNot) {
    const std::string name = "a.txt";
    hpi::PackProgress progress;
    progress.archive_path = name;

    g_calls.clear();
    hpiutil::ProgressRelay short_of_total(record);
    progress.bytes_done = 40;
    progress.bytes_total = 100;
    short_of_total.forward(progress);
    short_of_total.finish();
    EXPECT_EQ(g_calls, (std::vector<std::pair<std::int32_t, std::int32_t>>{{40, 100}, {100, 100}}));

    g_calls.clear();
    hpiutil::ProgressRelay complete(record);
    progress.bytes_done = 100;
    complete.forward(progress);
    complete.finish();
    EXPECT_EQ(g_calls, (std::vector<std::pair<std::int32_t, std::int32_t>>{{100, 100}}));

    hpiutil::ProgressRelay without_callback(nullptr);
    without_callback.forward(progress);
    without_callback.finish();
}

hpi::Entry directory(std::string path) { return {std::move(path), true, 0, hpi::Method::Stored, 0}; }
hpi::Entry file(std::string path, std::uint32_t size) {
    return {std::move(path), false, size, hpi::Method::Zlib, 0};
}

TEST(HpiutilListingFilter, DirectoriesCountTheFilesDirectlyInsideAndSizesAreCapped) {
    const std::vector<hpi::Entry> entries = {
        directory("a"), file("a\\x", 1), directory("a\\b"), file("a\\b\\y", 2),
        file("a\\z", 3), file("top", 4), directory("c"),
        // The same directory path twice (archives in the wild have this):
        // each copy counts the files that follow it.
        directory("a"), file("a\\w", 5),
    };
    const auto listing = hpiutil::build_listing(entries);
    ASSERT_EQ(listing.size(), entries.size());
    std::vector<std::int32_t> sizes;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        EXPECT_EQ(listing[i].index, i);
        sizes.push_back(listing[i].size);
    }
    EXPECT_EQ(sizes, (std::vector<std::int32_t>{2, 1, 1, 2, 3, 4, 0, 1, 5}));

    EXPECT_EQ(hpiutil::build_listing({file("huge", 0xFFFFFFF0u)}).at(0).size, kMax)
        << "sizes past the signed range are capped";
}

}  // namespace

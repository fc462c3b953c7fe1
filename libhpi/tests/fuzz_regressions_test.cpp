// Replays every input kept from the fuzz runs, and the fixed archives, through
// the checks of the reader fuzz target: no crash, and the reader's verdicts
// agree with each other (a successful read delivers exactly the entry's size,
// test() fails exactly when some read fails, every listed entry can be found).
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../fuzz/reader_checks.h"

namespace {
namespace fs = std::filesystem;

std::vector<fs::path> files_below(const fs::path& folder)
{
    std::vector<fs::path> files;
    if (!fs::is_directory(folder))
        return files;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        if (item.is_regular_file() && item.path().extension() != ".md")
            files.push_back(item.path());
    return files;
}

TEST(FuzzRegressions, KeptInputsKeepEveryReaderPromise)
{
    const fs::path kept = fs::path(__FILE__).parent_path() / "../fuzz/regressions";
    for (const fs::path& file : files_below(kept))
        EXPECT_EQ(hpi_fuzz::check_archive_file(file), "") << file;
}

TEST(FuzzRegressions, FixedArchivesGoodAndDamagedKeepEveryReaderPromise)
{
    const auto files = files_below(QUARRIX_TESTDATA_DIR);
    ASSERT_GE(files.size(), 10u) << "the fixed archives are missing";
    for (const fs::path& file : files)
        EXPECT_EQ(hpi_fuzz::check_archive_file(file), "") << file;
}

}  // namespace

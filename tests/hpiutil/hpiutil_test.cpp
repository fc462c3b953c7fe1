// The archive-library contract as the dump engine relies on it: listing,
// extraction, creation and packing through 32-bit handles and UTF-8 texts.
#include "hpiutil/hpiutil.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <hpi/hpi.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <functional>

#include "../dump/small_tmpfs.h"
#include "hpiutil_testkit.h"
#include "support/v2_builder.h"

namespace {
namespace fs = std::filesystem;
using testkit::ScratchDir;

struct Listed {
    std::int32_t kind = 0;
    std::int32_t size = 0;
    std::string name;
};

// Lists the way the program does: a fresh buffer of 255 blanks and a NUL
// before every call, each call with the token the previous one returned.
std::vector<Listed> list_all(std::int32_t handle)
{
    std::vector<Listed> listed;
    std::int32_t token = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        char buffer[256];
        std::memset(buffer, ' ', 255);
        buffer[255] = '\0';
        Listed entry;
        token = HPIGetFiles(handle, token, buffer, &entry.kind, &entry.size);
        if (token == 0)
            break;
        entry.name = buffer;
        listed.push_back(entry);
    }
    return listed;
}

using testkit::fixture;

// The destination the program passes: a root, "\" and the entry's own path.
std::string below(const fs::path& root, const std::string& entry)
{
    return root.string() + "\\" + entry;
}

// Where that destination lies on this system.
fs::path on_disk(const fs::path& root, std::string entry)
{
    std::replace(entry.begin(), entry.end(), '\\', '/');
    return root / entry;
}

// Everything but folders, at any depth: what a failed extraction must not leave.
std::size_t files_below(const fs::path& folder)
{
    return std::size_t(std::count_if(fs::recursive_directory_iterator(folder), {},
                                     [](const fs::directory_entry& e) { return !e.is_directory(); }));
}

TEST(HpiutilListing, TokenZeroRestartsAndListingsOfOneHandleDoNotDisturbEachOther)
{
    const std::int32_t handle = HPIOpen(fixture("lz77.gp3").c_str());
    ASSERT_NE(handle, 0);
    const auto full = list_all(handle);
    ASSERT_GE(full.size(), 3u);
    char buffer[256];
    std::int32_t kind = -1, size = -1, token = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        // A second listing from the start in the middle of the first one.
        if (i == 2) {
            EXPECT_EQ(list_all(handle).size(), full.size());
        }
        token = HPIGetFiles(handle, token, buffer, &kind, &size);
        EXPECT_EQ(std::string(buffer), full[i].name);
    }
    HPIClose(handle);
}

TEST(HpiutilListing, NamesPastTheBufferAreLeftOutNothingIsWrittenPastItAndTheyStillExtract)
{
    ScratchDir scratch;
    const std::string folder = std::string(50, 'a') + "\\" + std::string(150, 'b');
    const std::string fits = folder + "\\" + std::string(53, 'f');  // 255 bytes
    // 229 bytes as stored, but "é" takes two bytes in UTF-8: 256.
    const std::string too_long_stored = folder + "\\" + std::string(27, '\xE9');
    const std::string too_long = hpi::cp1252_to_utf8(too_long_stored);
    testkit::write_file(scratch / "content", "content");
    hpi::Writer writer;
    ASSERT_FALSE(writer.add_file(fits, scratch / "content"));
    ASSERT_FALSE(writer.add_file(too_long_stored, scratch / "content"));
    ASSERT_FALSE(writer.pack(scratch / "deep.hpi", {}));
    const std::int32_t handle = HPIOpen((scratch / "deep.hpi").c_str());

    std::vector<std::string> names;
    for (std::int32_t token = 0;;) {
        unsigned char buffer[400];
        std::memset(buffer, 0x5A, sizeof buffer);
        std::int32_t kind = 0, size = 0;
        token = HPIGetFiles(handle, token, reinterpret_cast<char*>(buffer), &kind, &size);
        if (token == 0)
            break;
        EXPECT_TRUE(
            std::all_of(buffer + 256, buffer + sizeof buffer, [](unsigned char c) { return c == 0x5A; }));
        ASSERT_NE(std::find(buffer, buffer + 256, 0), buffer + 256);
        names.emplace_back(reinterpret_cast<char*>(buffer));
    }
    EXPECT_EQ(names, (std::vector<std::string>{std::string(50, 'a'), folder, fits}));

    EXPECT_EQ(HPIExtractFile(handle, too_long.c_str(), below(scratch.path(), too_long).c_str()), 1);
    EXPECT_EQ(testkit::read_file(on_disk(scratch.path(), too_long)), "content");
    HPIClose(handle);
}

// A version-2 file whose own name is damaged is named only in the report:
// a path made of it is no path to write to, so nothing is made for it.
TEST(HpiutilListing, AFileWhoseNameIsDamagedIsLeftOutWithItsCauseAndNotExtracted)
{
    ScratchDir scratch;
    testkit::write_file(scratch / "v2.hpi", hpi::test::V2Builder()
                                                .folder("d")
                                                .file("d\\fine", hpi::test::bytes_of("fine"))
                                                .file("d\\tab\there", hpi::test::bytes_of("x"))
                                                .build()
                                                .bytes);
    const std::int32_t handle = HPIOpen((scratch / "v2.hpi").c_str());
    ASSERT_NE(handle, 0);
    std::vector<std::string> names;
    for (const Listed& entry : list_all(handle))
        names.push_back(entry.name + (entry.kind ? "/" : "") + " " + std::to_string(entry.size));
    EXPECT_EQ(names, (std::vector<std::string>{"d/ 1", "d\\fine 4"}));
    const hpiutil::Failure damaged{
        hpiutil::Cause::Damaged, {}, hpi::ErrorKind::BadName, false, "not extracted"};
    EXPECT_EQ(HPIGetOmittedEntries(handle), (std::vector<hpiutil::OmittedEntry>{{"d\\tab\there", damaged}}));

    EXPECT_EQ(HPIExtractFile(handle, "d\\tab\there", (scratch / "out/d/tab\there").c_str()), 0);
    EXPECT_EQ(HPIGetLastFailure().damage, hpi::ErrorKind::BadName);
    EXPECT_FALSE(fs::exists(scratch / "out")) << "nothing made on disk";
    HPIClose(handle);
}

TEST(HpiutilHandles, ZeroUnknownClosedAndOtherKindHandlesFailWithoutHarm)
{
    ScratchDir scratch;
    const std::int32_t reading = HPIOpen(fixture("stored.hpi").c_str());
    const std::int32_t creating = HPICreate((scratch / "new.hpi").c_str(), nullptr);
    ASSERT_NE(reading, 0);
    ASSERT_NE(creating, 0);
    EXPECT_NE(reading, creating);
    const std::string out = (scratch / "readme.txt").string(), source = fixture("stored.hpi");
    char buffer[256];
    std::int32_t kind = 0, size = 0;
    for (std::int32_t bogus : {0, -1, creating + 1000, INT32_MAX, INT32_MIN}) {
        SCOPED_TRACE(bogus);
        EXPECT_EQ(HPIGetFiles(bogus, 0, buffer, &kind, &size), 0);
        EXPECT_EQ(HPIExtractFile(bogus, "readme.txt", out.c_str()), 0);
        EXPECT_EQ(HPICreateDirectory(bogus, "x"), 0);
        EXPECT_EQ(HPIAddFile(bogus, "x", source.c_str()), 0);
        EXPECT_EQ(HPIPackArchive(bogus, 2), 0);
        EXPECT_EQ(HPIClose(bogus), 0);
    }
    // A handle of the other kind is refused, and kept.
    EXPECT_EQ(HPIAddFile(reading, "x", source.c_str()), 0);
    EXPECT_EQ(HPIPackArchive(reading, 2), 0);
    EXPECT_EQ(HPIExtractFile(creating, "readme.txt", out.c_str()), 0);
    EXPECT_EQ(list_all(reading).size(), testkit::manifest_rows("stored.hpi").size());
    EXPECT_EQ(HPIAddFile(creating, "copy.hpi", source.c_str()), 1);

    EXPECT_EQ(HPIClose(creating), 1);
    EXPECT_FALSE(fs::exists(scratch / "new.hpi")) << "closing a creation handle writes nothing";
    EXPECT_EQ(HPIClose(reading), 1);
    EXPECT_EQ(HPIGetFiles(reading, 0, buffer, &kind, &size), 0);
    EXPECT_EQ(HPIClose(reading), 0);
}

TEST(HpiutilOpen, OpensUtf8PathsThroughBackslashesAndRefusesWhatIsNoArchiveOrNoUtf8)
{
    ScratchDir scratch;
    for (const char* name : {"Архив.hpi", "Caf\xE9.hpi"})
        fs::copy_file(fixture("zlib.ufo"), scratch / name);
    std::string windows_style = (scratch / "Архив.hpi").string();
    std::replace(windows_style.begin(), windows_style.end(), '/', '\\');
    const std::int32_t handle = HPIOpen(windows_style.c_str());
    EXPECT_NE(handle, 0);
    HPIClose(handle);

    // The second copy's name is Windows-1252, not UTF-8: refused, never
    // turned into some other name.
    for (const std::string& path :
         {(scratch / "Caf\xE9.hpi").string(), fixture("no-such.hpi"), fixture("damaged/dir-loop.hpi"),
          testkit::testdata_dir().string(), std::string()})
        EXPECT_EQ(HPIOpen(path.c_str()), 0) << path;
    EXPECT_EQ(HPIOpen(nullptr), 0);
}

TEST(HpiutilHandles, ManyThreadsOpenListAndCloseAtOnce)
{
    const std::size_t expected = testkit::manifest_rows("zlib.ufo").size();
    std::atomic<int> failures{0};
    auto open_list_close = [&] {
        for (int i = 0; i < 50; ++i) {
            const std::int32_t handle = HPIOpen(fixture("zlib.ufo").c_str());
            failures += handle == 0 || list_all(handle).size() != expected || HPIClose(handle) != 1;
        }
    };
    {
        std::jthread a(open_list_close), b(open_list_close), c(open_list_close), d(open_list_close);
    }
    EXPECT_EQ(failures.load(), 0);
}

class HpiutilExtract : public ::testing::Test {
protected:
    void SetUp() override
    {
        handle_ = HPIOpen(fixture("stored.hpi").c_str());
        ASSERT_NE(handle_, 0);
    }
    void TearDown() override { HPIClose(handle_); }

    ScratchDir scratch_;
    std::int32_t handle_ = 0;
};

TEST_F(HpiutilExtract, MakesMissingFoldersAndReplacesAnExistingFileLeavingNoTemporaryFile)
{
    // The root is made as named, doubled separator and all.
    const std::string destination = scratch_.path().string() + "\\out\\\\deeper\\data\\noise.bin";
    ASSERT_EQ(HPIExtractFile(handle_, "data\\noise.bin", destination.c_str()), 1);
    const fs::path written = scratch_ / "out/deeper/data/noise.bin";
    EXPECT_EQ(testkit::sha256_hex(testkit::read_file(written)),
              testkit::manifest_sha256("stored.hpi", "data\\noise.bin"));
    EXPECT_EQ(files_below(written.parent_path()), 1u) << "no temporary file";

    const fs::path old = scratch_ / "readme.txt";
    testkit::write_file(old, std::string(5000, 'x'));
    // A second name for the old file shows whether it was replaced or overwritten in place.
    fs::create_hard_link(old, scratch_ / "old-readme.txt");
    ASSERT_EQ(HPIExtractFile(handle_, "readme.txt", old.c_str()), 1);
    EXPECT_EQ(testkit::sha256_hex(testkit::read_file(old)),
              testkit::manifest_sha256("stored.hpi", "readme.txt"));
    EXPECT_EQ(testkit::read_file(scratch_ / "old-readme.txt"), std::string(5000, 'x'));
    EXPECT_EQ(scratch_.listing(), (std::vector<std::string>{"old-readme.txt", "out", "readme.txt"}));
}

TEST_F(HpiutilExtract, RefusesWhatIsNoFileOrWouldLeaveTheDestination)
{
    fs::create_directories(scratch_ / "root/readme.txt");
    const fs::path root = scratch_ / "root";
    const struct {
        const char* entry;
        std::string destination;
    } refused[] = {
        {"data", below(root, "data")},
        {"data\\missing.bin", below(root, "data\\missing.bin")},
        {"readme.txt", ""},
        {"readme.txt", below(root, "readme.txt")},  // a folder is in the way
        {"..\\readme.txt", below(root, "..\\readme.txt")},
        {"\\readme.txt", below(root, "\\readme.txt")},
        {"data\\.\\noise.bin", below(root, "data\\.\\noise.bin")},
        {"data\\noise.bin", below(root, "..\\noise.bin")},
        {"data\\noise.bin", below(root, "data\\\\noise.bin")},
        {"data\\noise.bin", "noise.bin"},               // fewer levels than the entry
        {"readme.txt", below(root, "readme\xE9.txt")},  // not UTF-8
        {"readm\xE9.txt", below(root, "readme.txt")},
    };
    for (const auto& c : refused)
        EXPECT_EQ(HPIExtractFile(handle_, c.entry, c.destination.c_str()), 0)
            << c.entry << " to " << c.destination;
    EXPECT_EQ(scratch_.listing(), std::vector<std::string>{"root"});
    EXPECT_EQ(files_below(root), 0u);
    EXPECT_TRUE(fs::is_empty(root / "readme.txt"));

    // A drive letter is refused even where the archive names an entry so.
    testkit::write_file(scratch_ / "drive.hpi", testkit::archive_of({{"C:x", "x"}}));
    const std::int32_t drive = HPIOpen((scratch_ / "drive.hpi").c_str());
    ASSERT_EQ(list_all(drive).at(0).name, "C:x");
    EXPECT_EQ(HPIExtractFile(drive, "C:x", below(root, "C:x").c_str()), 0);
    HPIClose(drive);
    EXPECT_EQ(files_below(root), 0u);
}

TEST_F(HpiutilExtract, NeverFollowsALinkInsideTheDestinationOutOfIt)
{
    fs::create_directories(scratch_ / "root");
    fs::create_directories(scratch_ / "outside");
    testkit::write_file(scratch_ / "outside/victim", "victim");
    fs::create_directory_symlink(scratch_ / "outside", scratch_ / "root/data");
    fs::create_symlink(scratch_ / "outside/victim", scratch_ / "root/readme.txt");

    EXPECT_EQ(HPIExtractFile(handle_, "data\\noise.bin", below(scratch_ / "root", "data\\noise.bin").c_str()),
              0);
    // The link in the file's own place is replaced, not written through.
    EXPECT_EQ(HPIExtractFile(handle_, "readme.txt", below(scratch_ / "root", "readme.txt").c_str()), 1);
    EXPECT_FALSE(fs::is_symlink(scratch_ / "root/readme.txt"));
    EXPECT_EQ(testkit::sha256_hex(testkit::read_file(scratch_ / "root/readme.txt")),
              testkit::manifest_sha256("stored.hpi", "readme.txt"));
    EXPECT_EQ(files_below(scratch_ / "outside"), 1u);
    EXPECT_EQ(testkit::read_file(scratch_ / "outside/victim"), "victim");
}

TEST(HpiutilExtractDamaged, ADamagedEntryLeavesNoFileAndKeepsTheOldOne)
{
    // Which entry carries the bad checksum is found through the library, not assumed.
    auto archive = hpi::Archive::open(fixture("damaged/bad-checksum.ufo"));
    ASSERT_TRUE(archive.ok());
    std::string damaged, intact;
    for (std::size_t i = 0; i < (*archive)->entries().size(); ++i) {
        const hpi::Entry& entry = (*archive)->entries()[i];
        if (entry.is_directory)
            continue;
        const hpi::Error error = (*archive)->read(i, [](auto) { return true; });
        (error.kind == hpi::ErrorKind::BadChecksum ? damaged : intact) = hpi::cp1252_to_utf8(entry.path);
    }
    ASSERT_FALSE(damaged.empty());
    ASSERT_FALSE(intact.empty());

    ScratchDir scratch;
    const std::int32_t handle = HPIOpen(fixture("damaged/bad-checksum.ufo").c_str());
    ASSERT_NE(handle, 0);
    fs::create_directories(on_disk(scratch / "kept", damaged).parent_path());
    testkit::write_file(on_disk(scratch / "kept", damaged), "earlier content");
    EXPECT_EQ(HPIExtractFile(handle, damaged.c_str(), below(scratch / "kept", damaged).c_str()), 0);
    EXPECT_EQ(testkit::read_file(on_disk(scratch / "kept", damaged)), "earlier content");
    EXPECT_EQ(files_below(scratch / "kept"), 1u);

    EXPECT_EQ(HPIExtractFile(handle, intact.c_str(), below(scratch / "kept", intact).c_str()), 1);
    HPIClose(handle);
}

// Root passes permission checks; as the user nobody, for this thread's file
// access only, it meets them as anyone does. -1 when root cannot.
std::int32_t as_nobody(const std::function<std::int32_t()>& call)
{
    if (::geteuid() != 0)
        return call();
    const int was = ::setfsuid(65534);
    const std::int32_t result = ::setfsuid(uid_t(-1)) == 65534 ? call() : -1;
    ::setfsuid(uid_t(was));
    return result;
}

// The cause HPIGetLastFailure hands the dump engine after each kind of failed
// call, and none once a call succeeds.
TEST(HpiutilLastFailure, IsTheCauseOfTheCallThatFailed)
{
    using hpiutil::Cause;
    ScratchDir scratch;
    testkit::write_file(scratch / "junk.hpi", std::string("junk"));
    fs::create_directories(scratch / "locked");
    fs::permissions(scratch.path(), fs::perms::owner_all | fs::perms::others_exec);
    fs::permissions(scratch / "locked", fs::perms::owner_exec | fs::perms::others_exec);
    const dumptest::SmallTmpfs full(scratch / "full", 8192), readOnly(scratch / "ro", 8192, true);
    if (full.mounted())
        testkit::write_file(scratch / "full/filler", std::string(8192, 'f'));
    const std::int32_t stored = HPIOpen(fixture("stored.hpi").c_str());
    const std::int32_t damaged = HPIOpen(fixture("damaged/bad-checksum.ufo").c_str());
    ASSERT_NE(stored, 0);
    ASSERT_NE(damaged, 0);
    const auto extract = [](std::int32_t handle, const char* entry, const fs::path& root) {
        return HPIExtractFile(handle, entry, below(root, entry).c_str());
    };
    const struct {
        const char* what;
        std::function<std::int32_t()> call;  // -1: cannot be tried here
        Cause cause;
        hpi::ErrorKind damage = hpi::ErrorKind::None;
    } cases[] = {
        {"a missing archive", [] { return HPIOpen(fixture("no-such.hpi").c_str()); }, Cause::Missing},
        {"not an archive", [&] { return HPIOpen((scratch / "junk.hpi").c_str()); }, Cause::NotAnArchive},
        {"an entry path leaving the target",
         [&] { return extract(stored, "..\\readme.txt", scratch / "out"); }, Cause::UnsafeName},
        {"a damaged entry", [&] { return extract(damaged, "noise.bin", scratch / "out"); }, Cause::Damaged,
         hpi::ErrorKind::BadChecksum},
        {"a full disk",
         [&] { return full.mounted() ? extract(stored, "data\\noise.bin", scratch / "full") : -1; },
         Cause::NoSpace},
        {"a read-only disk",
         [&] { return readOnly.mounted() ? extract(stored, "readme.txt", scratch / "ro") : -1; },
         Cause::ReadOnly},
        {"a folder that may not be written in",
         [&] { return as_nobody([&] { return extract(stored, "readme.txt", scratch / "locked"); }); },
         Cause::PermissionDenied},
    };
    std::string skipped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::int32_t result = c.call();
        if (result == -1) {
            skipped += std::string(skipped.empty() ? "not tried: " : ", ") + c.what;
            continue;
        }
        EXPECT_EQ(result, 0);
        const hpiutil::Failure& failure = HPIGetLastFailure();
        EXPECT_EQ(hpiutil::KindName(failure.cause), hpiutil::KindName(c.cause)) << hpiutil::Describe(failure);
        EXPECT_EQ(failure.damage, c.damage) << hpiutil::Describe(failure);
    }
    EXPECT_EQ(extract(stored, "readme.txt", scratch / "out"), 1);
    EXPECT_EQ(HPIGetLastFailure().cause, Cause::None) << hpiutil::Describe(HPIGetLastFailure());
    HPIClose(stored);
    HPIClose(damaged);
    if (!skipped.empty())
        GTEST_SKIP() << skipped << (full.mounted() ? "" : " (" + full.whyNot() + ")");
}

// Everything the library reported to the callback, for one pack.
struct Call {
    std::string disk, archive;
    std::int32_t done, total;
    bool rest_zero;
    std::thread::id thread;
};
std::vector<Call> g_calls;

std::int32_t record_progress(const char* disk, const char* archive, std::int32_t done, std::int32_t total,
                             std::int32_t a5, std::int32_t a6, std::int32_t a7, std::int32_t a8)
{
    g_calls.push_back({disk ? disk : "<null>", archive ? archive : "<null>", done, total,
                       a5 == 0 && a6 == 0 && a7 == 0 && a8 == 0, std::this_thread::get_id()});
    return 0;
}

class HpiutilPack : public ::testing::TestWithParam<std::int32_t> {
protected:
    struct File {
        std::string archive, disk, content;  // disk: below the scratch folder
    };

    void SetUp() override
    {
        g_calls.clear();
        fs::create_directories(scratch_ / "src/units/sub");
        std::string big;
        for (int i = 0; i < 200000; ++i)
            big.push_back(char((i * 7919 >> 3) ^ (i % 251)));
        files_ = {{"units\\a.fbi", "src/units/a.fbi", "[UNITINFO]\r\n{\r\n}\r\n"},
                  {"units\\sub\\big.bin", "src/units/sub/big.bin", big},
                  {"Café.txt", "src/Café.txt", "caf\xE9 au lait"}};
        for (const auto& file : files_)
            testkit::write_file(scratch_ / file.disk, file.content);
    }

    std::string disk_text(const File& file) const
    {
        std::string text = (scratch_ / file.disk).string();
        std::replace(text.begin(), text.end(), '/', '\\');
        return text;
    }

    ScratchDir scratch_;
    std::vector<File> files_;
};

TEST_P(HpiutilPack, RoundTripsThroughTheContractWithTheCallbackAsPromised)
{
    // A folder no Windows-1252 text could name.
    fs::create_directory(scratch_ / "Сборка");
    const std::string target = (scratch_ / "Сборка/Pack.ufo").string();
    const std::int32_t handle = HPICreate(target.c_str(), record_progress);
    ASSERT_NE(handle, 0);
    for (const char* folder : {"units", "units\\sub", "empty dir"})
        EXPECT_EQ(HPICreateDirectory(handle, folder), 1);
    for (const File& file : files_)
        EXPECT_EQ(HPIAddFile(handle, file.archive.c_str(), disk_text(file).c_str()), 1);
    EXPECT_TRUE(g_calls.empty()) << "nothing is packed before HPIPackArchive";

    ASSERT_EQ(HPIPackArchive(handle, GetParam()), 1);
    EXPECT_EQ(HPIPackArchive(handle, GetParam()), 0) << "the handle is gone";

    ASSERT_FALSE(g_calls.empty());
    std::int32_t total_bytes = 0;
    for (const File& file : files_)
        total_bytes += std::int32_t(file.content.size());
    for (const auto& call : g_calls) {
        EXPECT_EQ(call.thread, std::this_thread::get_id());
        EXPECT_TRUE(call.rest_zero);
        EXPECT_TRUE(call.done >= 0 && call.done <= call.total);
    }
    EXPECT_EQ(g_calls.back().done, total_bytes);
    EXPECT_EQ(g_calls.back().total, total_bytes);

    const std::int32_t reading = HPIOpen(target.c_str());
    std::set<std::string> directories;
    for (const Listed& entry : list_all(reading))
        if (entry.kind)
            directories.insert(entry.name);
    EXPECT_EQ(directories, (std::set<std::string>{"empty dir", "units", "units\\sub"}));
    for (const File& file : files_) {
        EXPECT_TRUE(std::any_of(
            g_calls.begin(), g_calls.end(),
            [&](const auto& call) { return call.archive == file.archive && call.disk == disk_text(file); }))
            << "no callback names " << file.archive;
        ASSERT_EQ(
            HPIExtractFile(reading, file.archive.c_str(), below(scratch_ / "out", file.archive).c_str()), 1);
        EXPECT_EQ(testkit::read_file(on_disk(scratch_ / "out", file.archive)), file.content) << file.archive;
    }
    HPIClose(reading);
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, HpiutilPack, ::testing::Values(0, 1, 2));

TEST_F(HpiutilPack, RefusalsOfCreateAddAndPackLeaveNoArchive)
{
    for (const std::string& refused :
         {(scratch_ / "no-such-folder/Pack.ufo").string(), std::string(), (scratch_ / "src").string() + "/",
          (scratch_ / "src").string(), (scratch_ / "Caf\xE9.ufo").string()})
        EXPECT_EQ(HPICreate(refused.c_str(), record_progress), 0) << refused;
    EXPECT_EQ(HPICreate(nullptr, record_progress), 0);

    const std::string target = (scratch_ / "Pack.ufo").string();
    std::int32_t handle = HPICreate(target.c_str(), record_progress);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(HPIAddFile(handle, "missing.txt", (scratch_ / "src/missing.txt").c_str()), 0);
    EXPECT_EQ(HPIAddFile(handle, "units", (scratch_ / "src/units").c_str()), 0);
    EXPECT_EQ(HPIPackArchive(handle, 3), 0) << "no such method";
    EXPECT_EQ(HPIPackArchive(handle, 2), 0) << "released by the refused pack all the same";
    EXPECT_FALSE(fs::exists(scratch_ / "Pack.ufo"));

    // The folder vanishing before the pack makes the pack fail, not crash.
    fs::create_directory(scratch_ / "gone");
    handle = HPICreate((scratch_ / "gone/Pack.ufo").c_str(), record_progress);
    EXPECT_EQ(HPIAddFile(handle, files_[0].archive.c_str(), disk_text(files_[0]).c_str()), 1);
    fs::remove(scratch_ / "gone");
    EXPECT_EQ(HPIPackArchive(handle, 2), 0);

    // An empty archive still ends with a full progress call.
    handle = HPICreate(target.c_str(), record_progress);
    ASSERT_EQ(HPIPackArchive(handle, 2), 1);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.back().done, g_calls.back().total);
    const std::int32_t reading = HPIOpen(target.c_str());
    EXPECT_TRUE(list_all(reading).empty());
    HPIClose(reading);
}

// Every byte an archive name can hold goes in as UTF-8, is stored as that one
// byte, and comes back as the same UTF-8 through the listing, the extraction
// and the disk. Names the archive cannot hold, or that are no UTF-8, are
// refused.
TEST_F(HpiutilPack, EveryNameByteRoundTripsAsUtf8)
{
    // The byte's number keeps "a" and "A" apart: archive names ignore ASCII case.
    std::set<std::string> stored_names, expected;
    for (int byte = 0x01; byte <= 0xFF; ++byte)
        if (byte != '\\' && byte != '/')
            stored_names.insert(std::to_string(byte) + char(byte));
    const std::string target = (scratch_ / "names.hpi").string();
    const std::int32_t handle = HPICreate(target.c_str(), nullptr);
    for (const std::string& stored : stored_names) {
        expected.insert(hpi::cp1252_to_utf8(stored));
        ASSERT_EQ(HPIAddFile(handle, hpi::cp1252_to_utf8(stored).c_str(), disk_text(files_[0]).c_str()), 1)
            << stored;
    }
    for (const char* refused : {"Ж.txt", "n\xE9", "n\xC0\xA9"}) {
        EXPECT_EQ(HPIAddFile(handle, refused, disk_text(files_[0]).c_str()), 0) << refused;
        EXPECT_EQ(HPICreateDirectory(handle, refused), 0) << refused;
    }
    EXPECT_EQ(HPIAddFile(handle, "x", (scratch_ / "src/Caf\xE9.txt").c_str()), 0)
        << "a disk path that is no UTF-8";
    ASSERT_EQ(HPIPackArchive(handle, 0), 1);

    auto archive = hpi::Archive::open(target);
    ASSERT_TRUE(archive.ok());
    std::set<std::string> in_archive, listed, on_disk;
    for (const hpi::Entry& entry : (*archive)->entries())
        in_archive.insert(entry.path);
    EXPECT_EQ(in_archive, stored_names);

    const std::int32_t reading = HPIOpen(target.c_str());
    for (const Listed& entry : list_all(reading)) {
        listed.insert(entry.name);
        EXPECT_EQ(HPIExtractFile(reading, entry.name.c_str(), below(scratch_ / "out", entry.name).c_str()),
                  1);
    }
    HPIClose(reading);
    for (const auto& file : fs::directory_iterator(scratch_ / "out"))
        on_disk.insert(file.path().filename().string());
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(on_disk, expected);
}

}  // namespace

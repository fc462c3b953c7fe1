// The archive-library contract as the dump engine relies on it: listing,
// extraction, creation and packing through 32-bit handles and 8-bit texts.
#include "hpiutil/hpiutil.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <hpi/hpi.h>
#include <sys/stat.h>

#include "hpiutil_testkit.h"

namespace {
namespace fs = std::filesystem;
using testkit::ScratchDir;

struct Listed {
    std::int32_t kind = 0;
    std::int32_t size = 0;
    std::string name;  // as the library wrote it, Windows-1252
};

// Lists the way the program does: a fresh buffer of 255 blanks and a NUL
// before every call, each call with the token the previous one returned.
std::vector<Listed> list_all(std::int32_t handle) {
    std::vector<Listed> listed;
    std::int32_t token = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        char buffer[256];
        std::memset(buffer, ' ', 255);
        buffer[255] = '\0';
        Listed entry;
        token = HPIGetFiles(handle, token, buffer, &entry.kind, &entry.size);
        if (token == 0) break;
        entry.name = buffer;
        listed.push_back(entry);
    }
    return listed;
}

std::string fixture(const std::string& name) { return (testkit::testdata_dir() / name).string(); }

std::string manifest_sha(const std::string& archive, const std::string& path) {
    for (const auto& row : testkit::manifest_rows(archive))
        if (row.path == path) return row.sha256;
    return "not in the manifest";
}

std::string parent_of(const std::string& path) {
    const auto cut = path.rfind('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// The text the program would hand over for a path made here (UTF-8 on disk).
std::string as_text(const fs::path& path) {
    std::string text;
    hpi::utf8_to_cp1252(path.string(), text);
    return text;
}

TEST(HpiutilListing, FollowsEveryFixedArchiveInOrderWithDirectoryFileCounts) {
    for (const std::string& archive : testkit::good_archives()) {
        SCOPED_TRACE(archive);
        const auto rows = testkit::manifest_rows(archive);
        ASSERT_FALSE(rows.empty());
        const std::int32_t handle = HPIOpen(fixture(archive).c_str());
        ASSERT_NE(handle, 0);
        const auto listed = list_all(handle);
        ASSERT_EQ(listed.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(hpi::cp1252_to_utf8(listed[i].name), rows[i].path);
            EXPECT_EQ(listed[i].kind != 0, rows[i].is_directory) << rows[i].path;
            if (rows[i].is_directory) {
                const auto direct_files = std::count_if(rows.begin(), rows.end(), [&](const auto& row) {
                    return !row.is_directory && parent_of(row.path) == rows[i].path;
                });
                EXPECT_EQ(listed[i].size, direct_files) << rows[i].path;
            } else {
                EXPECT_EQ(std::uint64_t(listed[i].size), rows[i].size) << rows[i].path;
            }
        }
        HPIClose(handle);
    }
}

TEST(HpiutilListing, TokenZeroRestartsAndListingsOfOneHandleDoNotDisturbEachOther) {
    const std::int32_t handle = HPIOpen(fixture("lz77.gp3").c_str());
    ASSERT_NE(handle, 0);
    const auto full = list_all(handle);
    ASSERT_GE(full.size(), 3u);

    char buffer[256];
    std::int32_t kind = -1, size = -1;
    std::int32_t token = HPIGetFiles(handle, 0, buffer, &kind, &size);
    token = HPIGetFiles(handle, token, buffer, &kind, &size);
    ASSERT_NE(token, 0);
    EXPECT_EQ(std::string(buffer), full[1].name);
    // A second listing from the start in the middle of the first one.
    const auto again = list_all(handle);
    ASSERT_EQ(again.size(), full.size());
    for (std::size_t i = 0; i < full.size(); ++i) EXPECT_EQ(again[i].name, full[i].name);
    // The first listing goes on where it was.
    token = HPIGetFiles(handle, token, buffer, &kind, &size);
    ASSERT_NE(token, 0);
    EXPECT_EQ(std::string(buffer), full[2].name);
    HPIClose(handle);
}

// An archive whose deepest paths need 254, 255 and 256 bytes.
class HpiutilLongPaths : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string a(50, 'a'), b(50, 'b'), c(50, 'c'), d(50, 'd'), e(50, 'e');
        dir4_ = a + "\\" + b + "\\" + c + "\\" + d;            // 203 bytes
        dir5_ = dir4_ + "\\" + e;                              // 254 bytes
        fits_ = dir4_ + "\\" + std::string(51, 'f');           // 255 bytes
        too_long_ = dir4_ + "\\" + std::string(52, 'g');       // 256 bytes
        below_too_long_ = dir5_ + "\\h\\i.txt";                // below a 256-byte directory
        testkit::write_file(scratch_ / "fits", "fits");
        testkit::write_file(scratch_ / "too-long", "too long");
        hpi::Writer writer;
        ASSERT_FALSE(writer.add_directory(dir5_));
        ASSERT_FALSE(writer.add_file(fits_, scratch_ / "fits"));
        ASSERT_FALSE(writer.add_file(too_long_, scratch_ / "too-long"));
        ASSERT_FALSE(writer.add_file(below_too_long_, scratch_ / "fits"));
        hpi::PackOptions options;
        options.method = hpi::Method::Stored;
        ASSERT_FALSE(writer.pack(scratch_ / "deep.hpi", options));
        handle_ = HPIOpen((scratch_ / "deep.hpi").c_str());
        ASSERT_NE(handle_, 0);
    }
    void TearDown() override { HPIClose(handle_); }

    ScratchDir scratch_;
    std::string dir4_, dir5_, fits_, too_long_, below_too_long_;
    std::int32_t handle_ = 0;
};

TEST_F(HpiutilLongPaths, NamesPastTheBufferAreLeftOutAndNothingIsWrittenPastIt) {
    std::vector<std::string> names;
    std::int32_t token = 0;
    for (;;) {
        unsigned char buffer[400];
        std::memset(buffer, 0x5A, sizeof buffer);
        std::int32_t kind = 0, size = 0;
        token = HPIGetFiles(handle_, token, reinterpret_cast<char*>(buffer), &kind, &size);
        if (token == 0) break;
        EXPECT_TRUE(std::all_of(buffer + 256, buffer + sizeof buffer, [](unsigned char c) { return c == 0x5A; }));
        ASSERT_NE(std::find(buffer, buffer + 256, 0), buffer + 256);
        names.emplace_back(reinterpret_cast<char*>(buffer));
        if (names.back() == dir4_) {
            EXPECT_EQ(size, 1) << "only the file that can be listed counts";
        }
        if (names.back() == dir5_) {
            EXPECT_EQ(size, 0);
        }
    }
    EXPECT_NE(std::find(names.begin(), names.end(), fits_), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), dir5_), names.end());
    for (const std::string& name : names) EXPECT_LE(name.size(), 255u) << name;
    EXPECT_EQ(std::find(names.begin(), names.end(), too_long_), names.end());

    // Unlisted entries still extract by their full path.
    EXPECT_EQ(HPIExtractFile(handle_, too_long_.c_str(), (scratch_ / "out").c_str()), 1);
    EXPECT_EQ(testkit::read_file(scratch_ / "out"), "too long");
}

TEST(HpiutilHandles, ZeroUnknownClosedAndOtherKindHandlesFailWithoutHarm) {
    ScratchDir scratch;
    const std::int32_t reading = HPIOpen(fixture("stored.hpi").c_str());
    const std::int32_t creating = HPICreate((scratch / "new.hpi").c_str(), nullptr);
    ASSERT_NE(reading, 0);
    ASSERT_NE(creating, 0);
    EXPECT_NE(reading, creating);
    const std::string out = (scratch / "out").string(), source = fixture("stored.hpi");
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
    EXPECT_EQ(HPIGetFiles(creating, 0, buffer, &kind, &size), 0);
    EXPECT_EQ(HPIExtractFile(creating, "readme.txt", out.c_str()), 0);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(list_all(reading).size(), testkit::manifest_rows("stored.hpi").size());
    EXPECT_EQ(HPIAddFile(creating, "copy.hpi", source.c_str()), 1);

    EXPECT_EQ(HPIClose(creating), 1);
    EXPECT_FALSE(fs::exists(scratch / "new.hpi")) << "closing a creation handle writes nothing";
    EXPECT_EQ(HPIClose(reading), 1);
    EXPECT_EQ(HPIGetFiles(reading, 0, buffer, &kind, &size), 0);
    EXPECT_EQ(HPIClose(reading), 0);
}

TEST(HpiutilOpen, FailsOnMissingAndDamagedArchivesButOpensThroughBackslashes) {
    EXPECT_EQ(HPIOpen(""), 0);
    EXPECT_EQ(HPIOpen(nullptr), 0);
    for (const char* name : {"no-such.hpi", "damaged/not-an-archive.hpi", "damaged/version2.hpi", "damaged/dir-loop.hpi"})
        EXPECT_EQ(HPIOpen(fixture(name).c_str()), 0) << name;
    EXPECT_EQ(HPIOpen(testkit::testdata_dir().c_str()), 0) << "a folder is no archive";

    std::string windows_style = fixture("zlib.ufo");
    std::replace(windows_style.begin(), windows_style.end(), '/', '\\');
    const std::int32_t handle = HPIOpen(windows_style.c_str());
    EXPECT_NE(handle, 0);
    HPIClose(handle);
}

TEST(HpiutilHandles, ManyThreadsOpenListAndCloseAtOnce) {
    const std::size_t expected = testkit::manifest_rows("zlib.ufo").size();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                const std::int32_t handle = HPIOpen(fixture("zlib.ufo").c_str());
                if (handle == 0 || list_all(handle).size() != expected || HPIClose(handle) != 1)
                    ++failures;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

class HpiutilExtract : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = HPIOpen(fixture("stored.hpi").c_str());
        ASSERT_NE(handle_, 0);
    }
    void TearDown() override { HPIClose(handle_); }

    ScratchDir scratch_;
    std::int32_t handle_ = 0;
};

TEST_F(HpiutilExtract, MakesMissingFoldersAndReplacesAnExistingFileLeavingNoTemporaryFile) {
    const std::string destination = scratch_.path().string() + "\\out\\\\data\\deeper\\noise.bin";
    ASSERT_EQ(HPIExtractFile(handle_, "data\\noise.bin", destination.c_str()), 1);
    const fs::path written = scratch_ / "out/data/deeper/noise.bin";
    EXPECT_EQ(testkit::sha256_hex(testkit::read_file(written)), manifest_sha("stored.hpi", "data\\noise.bin"));
    EXPECT_EQ(std::distance(fs::directory_iterator(written.parent_path()), {}), 1) << "no temporary file";

    const fs::path old = scratch_ / "readme.txt";
    testkit::write_file(old, std::string(5000, 'x'));
    // A second name for the old file shows whether it was replaced or overwritten in place.
    fs::create_hard_link(old, scratch_ / "old-readme.txt");
    ASSERT_EQ(HPIExtractFile(handle_, "readme.txt", old.c_str()), 1);
    EXPECT_EQ(testkit::sha256_hex(testkit::read_file(old)), manifest_sha("stored.hpi", "readme.txt"));
    EXPECT_EQ(testkit::read_file(scratch_ / "old-readme.txt"), std::string(5000, 'x'));
    EXPECT_EQ(scratch_.listing(), (std::vector<std::string>{"old-readme.txt", "out", "readme.txt"}));

    // An empty entry becomes an empty file with ordinary permissions.
    const mode_t old_mask = ::umask(022);
    const std::int32_t result = HPIExtractFile(handle_, "DATA/EMPTY.DAT", (scratch_ / "empty.dat").c_str());
    ::umask(old_mask);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(fs::file_size(scratch_ / "empty.dat"), 0u);
    EXPECT_EQ(fs::status(scratch_ / "empty.dat").permissions() & fs::perms::all, fs::perms(0644));
}

TEST_F(HpiutilExtract, RefusesDirectoriesUnknownEntriesAndFolderDestinations) {
    EXPECT_EQ(HPIExtractFile(handle_, "data", (scratch_ / "data").c_str()), 0);
    EXPECT_EQ(HPIExtractFile(handle_, "data\\missing.bin", (scratch_ / "missing").c_str()), 0);
    EXPECT_EQ(HPIExtractFile(handle_, "readme.txt", ""), 0);
    fs::create_directory(scratch_ / "folder");
    EXPECT_EQ(HPIExtractFile(handle_, "readme.txt", (scratch_ / "folder").c_str()), 0);
    EXPECT_EQ(scratch_.listing(), std::vector<std::string>{"folder"});
    EXPECT_TRUE(fs::is_empty(scratch_ / "folder"));
}

TEST(HpiutilExtractCase, NamesDifferingOnlyInCaseEachGiveTheirOwnContent) {
    ScratchDir scratch;
    testkit::write_file(scratch / "case.hpi",
                        testkit::stored_archive({{"Readme.TXT", "upper"}, {"readme.txt", "lower"}}));
    const std::int32_t handle = HPIOpen((scratch / "case.hpi").c_str());
    ASSERT_NE(handle, 0);
    for (const Listed& entry : list_all(handle)) {
        const fs::path out = scratch / ("out-" + entry.name);
        ASSERT_EQ(HPIExtractFile(handle, entry.name.c_str(), out.c_str()), 1) << entry.name;
        EXPECT_EQ(testkit::read_file(out), entry.name == "readme.txt" ? "lower" : "upper");
    }
    EXPECT_EQ(HPIExtractFile(handle, "README.txt", (scratch / "any").c_str()), 1)
        << "other spellings still find an entry";
    HPIClose(handle);
}

TEST(HpiutilExtractDamaged, ADamagedEntryLeavesNoFileAndKeepsTheOldOne) {
    // Which entry carries the bad checksum is found through the library, not assumed.
    auto archive = hpi::Archive::open(fixture("damaged/bad-checksum.ufo"));
    ASSERT_TRUE(archive.ok());
    std::string damaged, intact;
    for (std::size_t i = 0; i < (*archive)->entries().size(); ++i) {
        const hpi::Entry& entry = (*archive)->entries()[i];
        if (entry.is_directory) continue;
        const hpi::Error error = (*archive)->read(i, [](auto) { return true; });
        (error.kind == hpi::ErrorKind::BadChecksum ? damaged : intact) = entry.path;
    }
    ASSERT_FALSE(damaged.empty());
    ASSERT_FALSE(intact.empty());

    ScratchDir scratch;
    const std::int32_t handle = HPIOpen(fixture("damaged/bad-checksum.ufo").c_str());
    ASSERT_NE(handle, 0);
    EXPECT_EQ(HPIExtractFile(handle, damaged.c_str(), (scratch / "sub/new.bin").c_str()), 0);
    EXPECT_FALSE(fs::exists(scratch / "sub/new.bin"));
    EXPECT_TRUE(fs::is_empty(scratch / "sub")) << "no temporary file may stay behind";

    testkit::write_file(scratch / "kept.bin", "earlier content");
    EXPECT_EQ(HPIExtractFile(handle, damaged.c_str(), (scratch / "kept.bin").c_str()), 0);
    EXPECT_EQ(testkit::read_file(scratch / "kept.bin"), "earlier content");

    EXPECT_EQ(HPIExtractFile(handle, intact.c_str(), (scratch / "intact.bin").c_str()), 1);
    HPIClose(handle);
}

TEST(HpiutilNames, AWindows1252NameBecomesAUtf8FileOnDisk) {
    ScratchDir scratch;
    const std::int32_t handle = HPIOpen(fixture("encrypted.hpi").c_str());
    ASSERT_NE(handle, 0);
    std::string stored_name;
    for (const Listed& entry : list_all(handle))
        if (entry.name.find('\xE9') != std::string::npos) stored_name = entry.name;
    ASSERT_EQ(stored_name, "units\\Caf\xE9 cr\xE8me.fbi");

    const std::string destination = as_text(scratch.path()) + "\\Caf\xE9\\" + stored_name;
    ASSERT_EQ(HPIExtractFile(handle, stored_name.c_str(), destination.c_str()), 1);
    const fs::path on_disk = scratch / "Café/units/Café crème.fbi";
    ASSERT_TRUE(fs::exists(on_disk));
    EXPECT_EQ(testkit::sha256_hex(testkit::read_file(on_disk)), manifest_sha("encrypted.hpi", "units\\Café crème.fbi"));
    HPIClose(handle);
}

// Everything the library reported to the callback, for one pack.
struct Call {
    std::string disk, archive;
    std::int32_t done, total;
    bool rest_zero;
    std::thread::id thread;
};
std::vector<Call> g_calls;

std::int32_t record_progress(const char* disk, const char* archive, std::int32_t done,
                             std::int32_t total, std::int32_t a5, std::int32_t a6, std::int32_t a7,
                             std::int32_t a8) {
    g_calls.push_back({disk ? disk : "<null>", archive ? archive : "<null>", done, total,
                           a5 == 0 && a6 == 0 && a7 == 0 && a8 == 0, std::this_thread::get_id()});
    return 0;
}

class HpiutilPack : public ::testing::TestWithParam<std::int32_t> {
protected:
    void SetUp() override {
        g_calls.clear();
        fs::create_directories(scratch_ / "src/units/sub");
        std::string big;
        for (int i = 0; i < 200000; ++i) big.push_back(char((i * 7919 >> 3) ^ (i % 251)));
        files_ = {
            {"units\\a.fbi", "src/units/a.fbi", "[UNITINFO]\r\n{\r\n}\r\n"},
            {"units\\sub\\big.bin", "src/units/sub/big.bin", big},
            {"Caf\xE9.txt", "src/Café.txt", "caf\xE9 au lait"},
            {"edge.bin", "src/edge.bin", std::string(65536, 'e')},
        };
        for (const auto& file : files_) testkit::write_file(scratch_ / file.disk, file.content);
    }

    struct File {
        std::string archive;   // Windows-1252
        std::string disk;      // below the scratch folder, UTF-8
        std::string content;
    };

    std::string disk_text(const File& file) const {
        std::string text = as_text(scratch_ / file.disk);
        std::replace(text.begin(), text.end(), '/', '\\');
        return text;
    }

    ScratchDir scratch_;
    std::vector<File> files_;
};

TEST_P(HpiutilPack, RoundTripsThroughTheContractWithTheCallbackAsPromised) {
    const std::string target = as_text(scratch_ / "Pack.ufo");
    const std::int32_t handle = HPICreate(target.c_str(), record_progress);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(HPICreateDirectory(handle, "units"), 1);
    EXPECT_EQ(HPICreateDirectory(handle, "units\\sub"), 1);
    EXPECT_EQ(HPICreateDirectory(handle, "empty dir"), 1);
    for (const File& file : files_)
        EXPECT_EQ(HPIAddFile(handle, file.archive.c_str(), disk_text(file).c_str()), 1) << file.archive;
    EXPECT_TRUE(g_calls.empty()) << "nothing is packed before HPIPackArchive";

    ASSERT_EQ(HPIPackArchive(handle, GetParam()), 1);
    EXPECT_EQ(HPIAddFile(handle, "late.txt", disk_text(files_[0]).c_str()), 0) << "the handle is gone";
    EXPECT_EQ(HPIPackArchive(handle, GetParam()), 0);

    ASSERT_FALSE(g_calls.empty());
    std::uint64_t total_bytes = 0;
    for (const File& file : files_) total_bytes += file.content.size();
    for (const auto& call : g_calls) {
        EXPECT_EQ(call.thread, std::this_thread::get_id());
        EXPECT_TRUE(call.rest_zero);
        EXPECT_GE(call.done, 0);
        EXPECT_LE(call.done, call.total);
    }
    EXPECT_EQ(g_calls.back().done, g_calls.back().total);
    EXPECT_EQ(std::uint64_t(g_calls.back().total), total_bytes);
    for (const File& file : files_) {
        const bool reported = std::any_of(g_calls.begin(), g_calls.end(), [&](const auto& call) {
            return call.archive == file.archive && call.disk == disk_text(file);
        });
        EXPECT_TRUE(reported) << "no callback names " << file.archive;
    }

    const std::int32_t reading = HPIOpen(target.c_str());
    ASSERT_NE(reading, 0);
    std::set<std::string> directories;
    for (const Listed& entry : list_all(reading))
        if (entry.kind) directories.insert(entry.name);
    EXPECT_EQ(directories, (std::set<std::string>{"empty dir", "units", "units\\sub"}));
    for (const File& file : files_) {
        const fs::path out = scratch_ / "out.bin";
        ASSERT_EQ(HPIExtractFile(reading, file.archive.c_str(), out.c_str()), 1) << file.archive;
        EXPECT_EQ(testkit::read_file(out), file.content) << file.archive;
    }
    HPIClose(reading);
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, HpiutilPack, ::testing::Values(0, 1, 2));

TEST_F(HpiutilPack, RefusalsOfCreateAddAndPackLeaveNoArchive) {
    EXPECT_EQ(HPICreate(as_text(scratch_ / "no-such-folder/Pack.ufo").c_str(), record_progress), 0);
    EXPECT_EQ(HPICreate("", record_progress), 0);
    EXPECT_EQ(HPICreate(nullptr, record_progress), 0);
    EXPECT_EQ(HPICreate(as_text(scratch_ / "src").append("/").c_str(), record_progress), 0);
    EXPECT_EQ(HPICreate(as_text(scratch_ / "src").c_str(), record_progress), 0) << "a folder";

    const std::string target = as_text(scratch_ / "Pack.ufo");
    std::int32_t handle = HPICreate(target.c_str(), record_progress);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(HPIAddFile(handle, "missing.txt", as_text(scratch_ / "src/missing.txt").c_str()), 0);
    EXPECT_EQ(HPIAddFile(handle, "units", as_text(scratch_ / "src/units").c_str()), 0);
    EXPECT_EQ(HPIAddFile(handle, "..", disk_text(files_[0]).c_str()), 0);
    EXPECT_EQ(HPIAddFile(handle, "", disk_text(files_[0]).c_str()), 0);
    EXPECT_EQ(HPIPackArchive(handle, 3), 0) << "no such method";
    EXPECT_EQ(HPIPackArchive(handle, 2), 0) << "released by the refused pack all the same";
    EXPECT_FALSE(fs::exists(scratch_ / "Pack.ufo"));

    // The folder vanishing before the pack makes the pack fail, not crash.
    fs::create_directory(scratch_ / "gone");
    handle = HPICreate(as_text(scratch_ / "gone/Pack.ufo").c_str(), record_progress);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(HPIAddFile(handle, files_[0].archive.c_str(), disk_text(files_[0]).c_str()), 1);
    fs::remove(scratch_ / "gone");
    EXPECT_EQ(HPIPackArchive(handle, 2), 0);
}

TEST_F(HpiutilPack, AnEmptyArchiveStillEndsWithAFullProgressCall) {
    const std::string target = as_text(scratch_ / "Empty.ufo");
    const std::int32_t handle = HPICreate(target.c_str(), record_progress);
    ASSERT_EQ(HPIPackArchive(handle, 2), 1);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.back().done, g_calls.back().total);
    const std::int32_t reading = HPIOpen(target.c_str());
    ASSERT_NE(reading, 0);
    EXPECT_TRUE(list_all(reading).empty());
    HPIClose(reading);
}

}  // namespace

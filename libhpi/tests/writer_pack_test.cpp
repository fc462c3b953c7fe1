// Packing as a whole: the archive replaces its target only on success, the
// progress contract and the 32-bit size limit.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "hpi/hpi.h"
#include "support/writer_view.h"
#include "temporary_archive.h"
#include "writer_pack.h"
#include "writer_tree.h"

namespace {

using writer_test::Bytes;
using writer_test::make_content;
using writer_test::ScratchDir;

hpi::PackOptions options(hpi::Method method, unsigned threads = 2)
{
    hpi::PackOptions o;
    o.method = method;
    o.threads = threads;
    return o;
}

using Sources = std::vector<std::pair<std::string, std::filesystem::path>>;  // archive path, disk file

// A few files of each kind under a small tree, on disk in `dir`/src.
Sources make_sources(const ScratchDir& dir)
{
    Bytes big = make_content(3 << 20, 4, true);
    const Bytes noise = make_content(1 << 20, 5, false);
    big.insert(big.end(), noise.begin(), noise.end());
    const std::pair<const char*, Bytes> contents[] = {{"scripts\\main.bos", make_content(150000, 1, true)},
                                                      {"scripts\\empty.bos", {}},
                                                      {"gamedata\\table.tdf", make_content(65537, 2, true)},
                                                      {"textures\\noise.gaf", make_content(90000, 3, false)},
                                                      {"big.dat", big}};
    std::filesystem::create_directories(dir / "src");
    Sources files;
    for (const auto& [archive_path, content] : contents) {
        files.emplace_back(archive_path, dir / "src" / std::to_string(files.size()));
        writer_test::write_file(files.back().second, content);
    }
    return files;
}

void add_all(hpi::Writer& w, const Sources& files)
{
    for (const auto& [archive_path, disk] : files)
        ASSERT_FALSE(w.add_file(archive_path, disk));
}

// An archive of directories alone still reports completion, once.
TEST(WriterPack, ProgressComesOnTheCallingThreadForEveryFileAndEndsComplete)
{
    for (bool only_directories : {false, true}) {
        SCOPED_TRACE(only_directories ? "only directories" : "files");
        ScratchDir dir;
        const auto files = only_directories ? Sources{} : make_sources(dir);
        hpi::Writer w;
        add_all(w, files);
        ASSERT_FALSE(w.add_directory("only\\dirs"));
        std::vector<hpi::PackProgress> calls;
        std::set<std::string> seen;
        const auto caller = std::this_thread::get_id();
        ASSERT_FALSE(w.pack(dir / "out.hpi", options(hpi::Method::Zlib, 2), [&](const hpi::PackProgress& p) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            calls.push_back(p);
            if (!p.disk_path)
                return;
            seen.insert(std::string(p.archive_path));
            EXPECT_TRUE(std::filesystem::exists(*p.disk_path));
        }));
        std::uint64_t total = 0;
        for (const auto& [archive_path, disk] : files) {
            EXPECT_EQ(seen.count(archive_path), 1u) << archive_path;
            total += std::filesystem::file_size(disk);
        }
        ASSERT_FALSE(calls.empty());
        EXPECT_TRUE(!only_directories || calls.size() == 1);
        for (std::size_t i = 1; i < calls.size(); ++i) {
            EXPECT_LE(calls[i - 1].bytes_done, calls[i].bytes_done);
            EXPECT_EQ(calls[i].bytes_total, total);
        }
        EXPECT_EQ(calls.back().bytes_done, total);
        EXPECT_EQ(calls.back().bytes_total, total);
    }
}

// A disk file that vanished or changed between add and pack fails the whole
// pack: the existing archive stays as it was and no temporary file is left.
TEST(WriterPack, AFailedPackLeavesTheExistingTargetAndNoTemporaryFile)
{
    for (std::size_t victim_index : {2u, 1u}) {  // a 64 KiB + 1 file, an empty one
        for (bool remove_instead_of_grow : {true, false}) {
            SCOPED_TRACE(std::to_string(victim_index) + (remove_instead_of_grow ? " removed" : " grown"));
            ScratchDir dir;
            auto files = make_sources(dir);
            writer_test::write_file(dir / "out.hpi", std::string("the old archive"));
            hpi::Writer w;
            add_all(w, files);
            const auto& victim = files[victim_index].second;
            if (remove_instead_of_grow)
                std::filesystem::remove(victim);
            else
                std::ofstream(victim, std::ios::app) << "more";
            hpi::Error e = w.pack(dir / "out.hpi", options(hpi::Method::Zlib));
            EXPECT_EQ(e.kind, hpi::ErrorKind::IoError);
            EXPECT_NE(e.message.find(victim.string()), std::string::npos) << e.message;
            Bytes old = writer_test::read_file(dir / "out.hpi");
            EXPECT_EQ(std::string(old.begin(), old.end()), "the old archive");
            EXPECT_EQ(dir.listing(), (std::vector<std::string>{"out.hpi", "src"}));
        }
    }
}

// While it is written the new archive has no name (or, where unnamed files
// are refused, a hidden one); it replaces an earlier archive in one step, and
// a pack stopped half-way leaves the earlier archive and nothing else.
TEST(WriterPack, TheNewArchiveIsNamelessUntilCompleteAndAStoppedPackLeavesNothing)
{
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary file" : "unnamed temporary file");
        hpi::detail::force_named_temporary_archives(named);
        ScratchDir dir;
        const auto files = make_sources(dir);
        writer_test::write_file(dir / "out.hpi", std::string("the old archive"));
        hpi::Writer w;
        add_all(w, files);
        std::atomic<bool> stop{false};
        hpi::PackOptions o = options(hpi::Method::Zlib);
        o.stop = &stop;
        std::size_t names_while_packing = 0;
        const hpi::Error e = w.pack(dir / "out.hpi", o, [&](const hpi::PackProgress&) {
            names_while_packing = dir.listing().size();
            stop = true;
        });
        EXPECT_EQ(e.kind, hpi::ErrorKind::Interrupted) << e.message;
        EXPECT_EQ(names_while_packing, named ? 3u : 2u);
        EXPECT_EQ(dir.listing(), (std::vector<std::string>{"out.hpi", "src"}));
        Bytes old = writer_test::read_file(dir / "out.hpi");
        EXPECT_EQ(std::string(old.begin(), old.end()), "the old archive");

        stop = false;
        ASSERT_FALSE(w.pack(dir / "out.hpi", o));
        ASSERT_FALSE(w.pack(dir / "new.hpi", o));
        EXPECT_EQ(dir.listing(), (std::vector<std::string>{"new.hpi", "out.hpi", "src"}));
        EXPECT_TRUE(writer_test::read_file(dir / "out.hpi") == writer_test::read_file(dir / "new.hpi"));
        EXPECT_TRUE(hpi::Archive::open(dir / "out.hpi").ok());

        // Asked before the pack begins, even of an archive without a file
        // to stop at: nothing is written.
        stop = true;
        hpi::Writer folders_only;
        ASSERT_FALSE(folders_only.add_directory("units"));
        EXPECT_EQ(folders_only.pack(dir / "empty.hpi", o).kind, hpi::ErrorKind::Interrupted);
        EXPECT_EQ(dir.listing(), (std::vector<std::string>{"new.hpi", "out.hpi", "src"}));
    }
    hpi::detail::force_named_temporary_archives(false);
}

TEST(WriterPack, RefusedPacksWriteNothing)
{
    ScratchDir dir;
    hpi::Writer w;
    EXPECT_EQ(w.pack(dir / "absent" / "out.hpi", options(hpi::Method::Zlib)).kind, hpi::ErrorKind::IoError);
    for (int level : {0, 13, -1}) {  // outside the compressor's range
        hpi::PackOptions o = options(hpi::Method::Zlib);
        o.zlib_level = level;
        EXPECT_EQ(w.pack(dir / "out.hpi", o).kind, hpi::ErrorKind::InvalidArgument) << level;
    }
    EXPECT_TRUE(dir.listing().empty());
}

// The size limit is checked before anything would be written past it. The
// real limit is 4 GiB; the packer takes a lower one so the refusal can be
// reached here: an archive of exactly the limit is fine, one byte more is not.
TEST(WriterPack, AnArchivePastTheOffsetLimitIsRefusedBeforeItIsWritten)
{
    for (hpi::Method method : {hpi::Method::Stored, hpi::Method::Zlib}) {
        SCOPED_TRACE(int(method));
        ScratchDir dir;
        auto files = make_sources(dir);
        hpi::detail::PathTree tree;
        for (const auto& [archive_path, disk] : files)
            ASSERT_FALSE(tree.add_file(archive_path, disk));
        ASSERT_FALSE(hpi::detail::pack_tree(tree.root(), dir / "full.hpi", options(method), {}));
        const auto exact = std::filesystem::file_size(dir / "full.hpi");

        ASSERT_FALSE(hpi::detail::pack_tree(tree.root(), dir / "fits.hpi", options(method), {}, exact));
        EXPECT_TRUE(writer_test::read_file(dir / "fits.hpi") == writer_test::read_file(dir / "full.hpi"));

        for (std::uint64_t limit : {exact - 1, exact / 2, std::uint64_t(30)}) {
            hpi::Error e = hpi::detail::pack_tree(tree.root(), dir / "over.hpi", options(method), {}, limit);
            EXPECT_EQ(e.kind, hpi::ErrorKind::TooLarge) << limit;
        }
        EXPECT_EQ(dir.listing(), (std::vector<std::string>{"fits.hpi", "full.hpi", "src"}));
    }
}

}  // namespace

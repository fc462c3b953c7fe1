// quarrix-cli mount through the kernel: the real program mounts archives
// built here and the tests read the folder as any program would. Where this
// machine cannot mount FUSE file systems the tests are skipped, saying why.
#include "collection/merged_view.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/v2_builder.h"
#include "support/writer_view.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using hpi::test::Bytes;
using writer_test::make_content;

std::string text_of(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts `args` with standard error appended to `err`, or, when `pipe_end`
// is given, standard output and error into it as `$(... 2>&1)` does; returns
// its process id.
pid_t start(const std::vector<std::string>& args, const fs::path& err, int pipe_end = -1)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipe_end < 0) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
    } else {
        posix_spawn_file_actions_adddup2(&actions, pipe_end, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipe_end, STDERR_FILENO);
    }
    // Ctrl-C must reach the child even where this process was started
    // with it ignored (a background job of a script).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &interrupt);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// What comes out of `fd` until its end, and whether the end came within
// `patience`.
std::pair<std::string, bool> read_to_end(int fd, std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::string text;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, int(left.count())) <= 0)
            return {text, false};
        char piece[256];
        const ssize_t got = ::read(fd, piece, sizeof piece);
        if (got <= 0)
            return {text, got == 0};
        text.append(piece, std::size_t(got));
    }
}

int finish(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool is_mounted(const fs::path& folder)
{
    std::istringstream table(text_of("/proc/self/mountinfo"));
    for (std::string line; std::getline(table, line);)
        if (line.find(" " + folder.string() + " ") != std::string::npos)
            return true;
    return false;
}

class Mount : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scratch_ = new writer_test::ScratchDir;
        hpi::test::ArchiveBuilder a;
        a.directory("units");
        a.chunked_file("units\\Big.bin", hpi::Method::Zlib, 300000,
                       hpi::test::chunks_of(make_content(300000, 1, true), hpi::test::zlib_chunk));
        a.stored_file("units\\small.txt", hpi::test::bytes_of("first"));
        a.stored_file("empty.txt", {});
        a.directory("Maps");
        writer_test::write_file(*scratch_ / "a.hpi", a.build().bytes);
        hpi::test::ArchiveBuilder b;
        b.directory("UNITS");
        b.chunked_file("UNITS\\SMALL.TXT", hpi::Method::Lz77, 70000,
                       hpi::test::chunks_of(make_content(70000, 2, true), hpi::test::lz77_literal_chunk));
        auto damaged = hpi::test::chunks_of(make_content(140000, 3, true), hpi::test::zlib_chunk);
        damaged[1].checksum = 1;
        b.chunked_file("damaged.bin", hpi::Method::Zlib, 140000, damaged);
        writer_test::write_file(*scratch_ / "b.ufo", b.build().bytes);
        // Version 2: each file one chunk of its whole size.
        hpi::test::V2Archive c = hpi::test::V2Builder()
                                     .folder("units")
                                     .file("units\\Long.bin", make_content(1000000, 4, true))
                                     .file("units\\Hurt.bin", make_content(200000, 5, true))
                                     .build();
        c.bytes[c.data.at("units\\Hurt.bin") + 100] ^= 0x40;
        writer_test::write_file(*scratch_ / "c.hpi", c.bytes);
    }
    static void TearDownTestSuite() { delete scratch_; }

    void SetUp() override
    {
        if (::access("/dev/fuse", R_OK | W_OK) != 0)
            GTEST_SKIP() << "no usable /dev/fuse: " << std::strerror(errno);
        if (::access("/usr/bin/fusermount3", X_OK) != 0 && ::access("/bin/fusermount3", X_OK) != 0)
            GTEST_SKIP() << "fusermount3 is not installed (Debian package fuse3)";
        mount_point_ = *scratch_ / ("mnt-" + std::to_string(++serial_));
        fs::create_directory(mount_point_);
        err_ = mount_point_.string() + ".err";
        const int status = finish(
            start({QUARRIX_CLI, "mount", archive("a.hpi"), archive("b.ufo"), archive("c.hpi"), mount_point_},
                  err_));
        if (status != 0 && text_of(err_).find("cannot mount") != std::string::npos)
            GTEST_SKIP() << "this machine refuses FUSE mounts: " << text_of(err_);
        ASSERT_EQ(status, 0) << text_of(err_);
        view_ = std::make_unique<quarrix::collection::MergedView>(
            quarrix::collection::MergedView::build({archive("a.hpi"), archive("b.ufo"), archive("c.hpi")}));
    }
    void TearDown() override
    {
        if (!mount_point_.empty() && is_mounted(mount_point_))
            finish(start({"/bin/fusermount3", "-u", mount_point_}, err_));
    }

    static std::string archive(const std::string& name) { return (*scratch_ / name).string(); }

    // What the view says the file holds, read straight from its archive.
    std::string expected(const std::string& path) const
    {
        const auto& node = view_->node(*view_->find(path));
        Bytes bytes;
        EXPECT_FALSE(hpi::test::read_all(view_->archive_of(node.kept()), node.entry, bytes));
        return std::string(bytes.begin(), bytes.end());
    }

    // Bytes [offset, offset + length) through the mount.
    std::string read_at(const std::string& path, off_t offset, std::size_t length, int* error = nullptr) const
    {
        const int fd = ::open((mount_point_ / path).c_str(), O_RDONLY);
        std::string bytes(length, '\0');
        const ssize_t got = fd < 0 ? -1 : ::pread(fd, bytes.data(), length, offset);
        if (error)
            *error = got < 0 ? errno : 0;
        if (fd >= 0)
            ::close(fd);
        bytes.resize(std::size_t(std::max<ssize_t>(got, 0)));
        return bytes;
    }

    static inline writer_test::ScratchDir* scratch_ = nullptr;
    static inline int serial_ = 0;
    fs::path mount_point_;
    fs::path err_;
    std::unique_ptr<quarrix::collection::MergedView> view_;
};

TEST_F(Mount, ListsTheDumpsTreeWithItsAttributesAndReadsEveryFileByteExact)
{
    std::vector<std::string> listed;
    for (auto it = fs::recursive_directory_iterator(mount_point_); it != fs::recursive_directory_iterator();
         ++it)
        listed.push_back(it->path().lexically_relative(mount_point_).string() +
                         (it->is_directory() ? "/" : ""));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed,
              (std::vector<std::string>{"Maps/", "damaged.bin", "empty.txt", "units/", "units/Big.bin",
                                        "units/Hurt.bin", "units/Long.bin", "units/small.txt"}));
    struct stat folder {
    }, file{}, archive_b{};
    ASSERT_EQ(::stat(mount_point_.c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode, S_IFDIR | 0555u);
    EXPECT_EQ(folder.st_nlink, 4u);  // ".", its entry above, and two subfolders' ".."
    ASSERT_EQ(::stat((mount_point_ / "UNITS/SMALL.txt").c_str(), &file), 0);
    ASSERT_EQ(::stat(archive("b.ufo").c_str(), &archive_b), 0);
    EXPECT_EQ(file.st_mode, S_IFREG | 0444u);
    EXPECT_EQ(file.st_size, 70000);
    EXPECT_EQ(file.st_mtim.tv_sec, archive_b.st_mtim.tv_sec) << "the providing archive's time";
    for (const char* path : {"units/Big.bin", "units/Long.bin", "units/small.txt", "empty.txt"})
        EXPECT_EQ(text_of(mount_point_ / path), expected(path)) << path;
    EXPECT_EQ(text_of(mount_point_ / "UNITS/BIG.BIN"), expected("units/Big.bin")) << "found in any case";
}

// A version-2 file as well: one chunk, read on through readers kept open.
TEST_F(Mount, ReadsAtAnyOffsetAndAcrossChunkBordersAndFromSeveralThreadsAtOnce)
{
    for (const std::string path : {"units/Big.bin", "units/Long.bin"}) {
        const std::string whole = expected(path);
        const std::pair<off_t, std::size_t> ranges[] = {{0, 1},          {65535, 2},   {65536, 65536},
                                                        {100000, 70000}, {299999, 10}, {300000, 5},
                                                        {296000, 8192},  {1, 299999}};
        for (const auto& [offset, length] : ranges)
            EXPECT_EQ(read_at(path, offset, length), whole.substr(std::size_t(offset), length))
                << path << offset;

        std::atomic<int> wrong{0};
        std::vector<std::thread> readers;
        for (unsigned t = 0; t < 4; ++t)
            readers.emplace_back([&, t] {
                std::mt19937 random(t);
                for (int i = 0; i < 50; ++i) {
                    const off_t offset = off_t(random() % whole.size());
                    const std::size_t length = 1 + random() % 100000;
                    if (read_at(path, offset, length) != whole.substr(std::size_t(offset), length))
                        ++wrong;
                }
            });
        for (std::thread& reader : readers)
            reader.join();
        EXPECT_EQ(wrong, 0) << path;
    }
}

TEST_F(Mount, ADamagedEntryFailsWithAnIoErrorReportedOnceAndWritesAreRefused)
{
    int error = 0;
    read_at("damaged.bin", 65536, 100, &error);
    EXPECT_EQ(error, EIO);
    read_at("DAMAGED.BIN", 70000, 100, &error);
    EXPECT_EQ(error, EIO);
    read_at("units/Hurt.bin", 131072, 100, &error);
    EXPECT_EQ(error, EIO) << "version 2";
    const std::string err = text_of(err_);
    const std::string line =
        "quarrix-cli: " + archive("b.ufo") + ": damaged.bin: damaged entry: checksum mismatch";
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(err.find(line), err.rfind(line)) << "one line per damaged entry: " << err;

    const struct {
        const char* what;
        std::function<int()> attempt;
    } writes[] = {
        {"open for writing", [&] { return ::open((mount_point_ / "empty.txt").c_str(), O_WRONLY); }},
        {"create", [&] { return ::open((mount_point_ / "new.txt").c_str(), O_WRONLY | O_CREAT, 0644); }},
        {"mkdir", [&] { return ::mkdir((mount_point_ / "Maps/new").c_str(), 0755); }},
        {"unlink", [&] { return ::unlink((mount_point_ / "empty.txt").c_str()); }},
        {"rename",
         [&] { return ::rename((mount_point_ / "empty.txt").c_str(), (mount_point_ / "e").c_str()); }},
    };
    for (const auto& w : writes) {
        errno = 0;
        EXPECT_EQ(w.attempt(), -1) << w.what;
        EXPECT_EQ(errno, EROFS) << w.what;
    }
}

TEST_F(Mount, AnArchiveReplacedWhileMountedIsStillReadAsItWasMounted)
{
    hpi::test::ArchiveBuilder other;
    other.directory("units");
    other.stored_file("units\\Big.bin", hpi::test::bytes_of("replaced"));
    writer_test::write_file(*scratch_ / "replacement", other.build().bytes);
    const std::string before = expected("units/Big.bin");
    fs::copy_file(archive("a.hpi"), *scratch_ / "a.saved");
    fs::rename(*scratch_ / "replacement", archive("a.hpi"));
    const std::string after = text_of(mount_point_ / "units/Big.bin");
    fs::rename(*scratch_ / "a.saved", archive("a.hpi"));
    EXPECT_EQ(after, before);
}

TEST_F(Mount, InTheForegroundCtrlCUnmounts)
{
    finish(start({"/bin/fusermount3", "-u", mount_point_}, err_));
    ASSERT_FALSE(is_mounted(mount_point_));
    const pid_t pid = start({QUARRIX_CLI, "mount", "-f", archive("a.hpi"), mount_point_}, err_);
    for (int i = 0; i < 500 && !is_mounted(mount_point_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(is_mounted(mount_point_)) << text_of(err_);
    EXPECT_EQ(text_of(mount_point_ / "units/small.txt"), "first");
    ::kill(pid, SIGINT);
    EXPECT_EQ(finish(pid), 0) << text_of(err_);
    EXPECT_FALSE(is_mounted(mount_point_));
    const std::string said =
        "quarrix-cli: 3 files of 1 archive on " + mount_point_.string() + "; Ctrl-C unmounts\n";
    EXPECT_NE(text_of(err_).find(said), std::string::npos) << text_of(err_);
}

// Without -f the command returns once the mount is ready, and a caller
// reading its output through a pipe sees the end of it then, not at the
// unmount.
TEST_F(Mount, InTheBackgroundItsOutputEndsWhenTheCommandReturns)
{
    finish(start({"/bin/fusermount3", "-u", mount_point_}, err_));
    ASSERT_FALSE(is_mounted(mount_point_));
    int pipe_ends[2];
    ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
    const pid_t pid = start({QUARRIX_CLI, "mount", archive("a.hpi"), mount_point_}, err_, pipe_ends[1]);
    ::close(pipe_ends[1]);
    EXPECT_EQ(finish(pid), 0);
    const auto [output, ended] = read_to_end(pipe_ends[0], std::chrono::seconds(10));
    ::close(pipe_ends[0]);
    EXPECT_TRUE(ended) << "still open 10 s after the command returned";
    EXPECT_EQ(output, "quarrix-cli: 3 files of 1 archive on " + mount_point_.string() +
                          "; fusermount3 -u unmounts\n");
    EXPECT_TRUE(is_mounted(mount_point_));
}

}  // namespace

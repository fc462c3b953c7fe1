// quarrix-cli stopped by a signal, as a person or a script meets it: the real
// program in a child process, SIGINT, SIGTERM or SIGKILL sent while it
// works, and the target folder listed before and after. Nothing of the run
// may be left but what was there before (and, after SIGKILL, the private
// folder of a consolidated dump, which the next dump there removes).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/writer_view.h"

namespace {

namespace fs = std::filesystem;

struct Child {
    pid_t pid = -1;
    fs::path errFile;
};

Child start(const std::vector<std::string>& args, const fs::path& errFile)
{
    Child child{::fork(), errFile};
    if (child.pid == 0) {
        std::vector<char*> argv{const_cast<char*>(QUARRIX_CLI)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        std::freopen(errFile.c_str(), "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        ::execv(QUARRIX_CLI, argv.data());
        ::_exit(127);
    }
    return child;
}

// Waits, without a time limit of its own (ctest has one), until `ready`
// holds or the child has ended.
template <class Ready>
void waitUntil(const Child& child, Ready ready)
{
    while (!ready()) {
        int status = 0;
        if (::waitpid(child.pid, &status, WNOHANG | WNOWAIT) == child.pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::string readText(const fs::path& file)
{
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The child catches SIGINT: its signal handlers are in place.
bool catchesSigint(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
    return false;
}

// The child holds a file open directly in `folder`: the new archive, which
// has no name there, is being written.
bool writesInto(pid_t pid, const fs::path& folder)
{
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const fs::path target = fs::read_symlink(fd.path(), error);
        if (!error && target.parent_path() == folder && target.filename().string() != "")
            if (target.filename().string().starts_with("#") ||
                target.filename().string().starts_with(".hpi-"))
                return true;
    }
    return false;
}

// A consolidated dump has made its private folder: its extraction is under
// way (or done).
bool hasPrivateFolder(const fs::path& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(".quarrix-dump-"))
            return true;
    return false;
}

struct Ended {
    int exitStatus = -1;  // -1 when ended by a signal
    int signal = 0;
};

Ended waitEnd(const Child& child)
{
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    if (WIFSIGNALED(status))
        return {-1, WTERMSIG(status)};
    return {WEXITSTATUS(status), 0};
}

class Interrupted : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Incompressible data at the slowest level on one thread: the packing
        // lasts long enough to be caught in the middle.
        fs::create_directories(scratch_ / "tree/units");
        writer_test::write_file(scratch_ / "tree/big.bin", writer_test::make_content(24 << 20, 7, false));
        for (int i = 0; i < 200; ++i)
            writer_test::write_file(scratch_ / "tree/units" / ("u" + std::to_string(i) + ".fbi"),
                                    std::string(3000, char('a' + i % 26)));
        fs::create_directories(scratch_ / "scan");
        fs::create_directories(scratch_ / "target");
        writer_test::write_file(scratch_ / "target/All.ufo", std::string("the earlier archive"));
    }
    writer_test::ScratchDir scratch_;
};

TEST_F(Interrupted, APackOrAConsolidatedDumpLeavesTheFolderAsItWasAndEndsWithTheSignalsStatus)
{
    ASSERT_EQ(::system(("'" QUARRIX_CLI "' pack -q --method store '" + (scratch_ / "tree").string() +
                        "' -o '" + (scratch_ / "scan/a.hpi").string() + "'")
                           .c_str()),
              0);
    const fs::path target = scratch_ / "target";
    const std::vector<std::string> pack = {"pack",
                                           "-q",
                                           "--level",
                                           "12",
                                           "--threads",
                                           "1",
                                           (scratch_ / "tree").string(),
                                           "-o",
                                           (target / "All.ufo").string()};
    const std::vector<std::string> dump = {
        "dump", "-q", (scratch_ / "scan").string(), "-o", target.string(), "--consolidated", "All.ufo"};
    const struct {
        const char* what;
        std::vector<std::string> args;
        int signal;
        bool whilePacking;
        int exitStatus;  // -1: ended by the signal itself
        const char* said;
    } cases[] = {
        {"pack, SIGINT", pack, SIGINT, true, 130, "interrupted by SIGINT; the archive was not written"},
        {"pack, SIGTERM", pack, SIGTERM, true, 143, "interrupted by SIGTERM; the archive was not written"},
        {"pack, SIGKILL", pack, SIGKILL, true, -1, ""},
        {"consolidated dump, SIGINT while it packs", dump, SIGINT, true, 130,
         "the consolidated archive was not written"},
        {"consolidated dump, SIGTERM while it extracts", dump, SIGTERM, false, 143, "not extracted"},
        {"consolidated dump, SIGKILL while it packs", dump, SIGKILL, true, -1, ""},
    };
    const std::vector<std::string> before = {"All.ufo"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Child child = start(c.args, scratch_ / "err.txt");
        waitUntil(child, [&] { return catchesSigint(child.pid); });
        if (c.whilePacking)
            waitUntil(child, [&] { return writesInto(child.pid, target); });
        else if (c.args.front() == "dump")
            waitUntil(child, [&] { return hasPrivateFolder(target); });
        ::kill(child.pid, c.signal);
        const Ended ended = waitEnd(child);
        EXPECT_EQ(ended.exitStatus, c.exitStatus);
        EXPECT_EQ(ended.signal, c.exitStatus == -1 ? c.signal : 0);
        EXPECT_NE(readText(scratch_ / "err.txt").find(c.said), std::string::npos)
            << readText(scratch_ / "err.txt");

        std::vector<std::string> after;
        for (const auto& entry : fs::directory_iterator(target))
            after.push_back(entry.path().filename().string());
        std::sort(after.begin(), after.end());
        const bool killedDump = c.exitStatus == -1 && c.args.front() == "dump";
        if (killedDump) {
            // The killed dump's own folder, holding only whole files, is
            // removed by the next dump into that target.
            ASSERT_EQ(after.size(), 2u);
            EXPECT_TRUE(after[0].starts_with(".quarrix-dump-")) << after[0];
            fs::create_directories(scratch_ / "empty");
            waitEnd(start({"dump", "-q", (scratch_ / "empty").string(), "-o", target.string()},
                          scratch_ / "err.txt"));
            after = {};
            for (const auto& entry : fs::directory_iterator(target))
                after.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(after, before);
        EXPECT_EQ(readText(target / "All.ufo"), "the earlier archive");
    }
}

}  // namespace

// Times a dump through the main window against `quarrix-cli dump` on the
// same archives, in both modes, and checks that both wrote the same tree.
// The window runs offscreen with its dialogs answered; the scan itself is
// not timed.
//
//   quarrix-bench-dump [--files N] [--mib M] [--repeat R] [--dir DIR]
//   quarrix-bench-dump window SCANDIR TARGET
//
// The second form runs one unpacked dump of the archives found in SCANDIR
// through the window and prints its seconds, for bench/run to set against
// quarrix-cli dump.
//
// Two sets of three archives: N small files (200 bytes to 3 KiB, where the
// cost per file shows), and M MiB of the game-like corpus. Everything goes
// below DIR (/tmp by default; a memory file system such as /dev/shm leaves
// out the noise of the disk). Each figure is the best of R runs.
#include "app/frm_main.h"
#include "commands.h"
#include "corpus.h"
#include "platform/folder_dialog.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "support/list_box.h"
#include "ui/frm_dump_options.h"

#include <hpi/hpi.h>

#include <stdexcept>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Settings {
    int files = 12000;
    int mib = 48;
    int repeat = 3;
    std::string dir = "/tmp";  // where the archives and the dumps go
};

// Answers every folder browser with `folder` and every message box with OK;
// any message but a plain "Operation Complete" is printed and noted.
struct Answers final : quarrix::platform::FolderChooser, quarrix::platform::MessageBoxPresenter {
    QString folder;
    bool failed = false;
    QString chooseFolder(QWidget*, const QString&) override { return folder; }
    quarrix::platform::MsgBoxResult present(const quarrix::platform::MessageBoxRequest& request) override
    {
        if (request.text != u"Operation Complete") {
            failed = true;
            std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        }
        return quarrix::platform::MsgBoxResult::Ok;
    }
};

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every file and folder below root with its content, for comparing two trees.
std::map<std::string, std::string> treeOf(const fs::path& root)
{
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        tree[entry.path().lexically_relative(root).generic_string()] =
            entry.is_directory() ? std::string("/") : readAll(entry.path());
    return tree;
}

// The tree a dump wrote: the target itself, or the consolidated archive in
// it extracted again.
std::map<std::string, std::string> dumpedTree(const fs::path& target, bool consolidated)
{
    if (!consolidated)
        return treeOf(target);
    const fs::path again = target.string() + "-extracted";
    fs::remove_all(again);
    const std::string archive = (target / "Pack.ufo").string(), out = again.string();
    const char* argv[] = {"quarrix-cli", "extract", archive.c_str(), "-o", out.c_str(), "--quiet"};
    std::ostringstream ignored;
    quarrix::cli::run(6, argv, ignored, ignored);
    return treeOf(again);
}

// Three archives (zlib, LZ77, stored) of the files below `source`, dealt
// out by turns.
void packThree(const fs::path& source, const fs::path& scan)
{
    const char* const names[] = {"a.hpi", "b.ufo", "c.gp3"};
    const hpi::Method methods[] = {hpi::Method::Zlib, hpi::Method::Lz77, hpi::Method::Stored};
    hpi::Writer writers[3];
    int turn = 0;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        if (!entry.is_regular_file())
            continue;
        std::string inside = entry.path().lexically_relative(source).generic_string();
        std::replace(inside.begin(), inside.end(), '/', '\\');
        if (const hpi::Error error = writers[turn++ % 3].add_file(inside, entry.path()))
            throw std::runtime_error(error.message);
    }
    fs::create_directories(scan);
    for (int i = 0; i < 3; ++i) {
        hpi::PackOptions options;
        options.method = methods[i];
        if (hpi::Error error = writers[i].pack(scan / names[i], options)) {
            std::fprintf(stderr, "cannot pack: %s\n", error.message.c_str());
            std::exit(1);
        }
    }
}

void smallFiles(const fs::path& dir, int count)
{
    std::uint32_t seed = 12345;
    for (int i = 0; i < count; ++i) {
        const fs::path file =
            dir / ("folder" + std::to_string(i % 40)) / ("file" + std::to_string(i) + ".txt");
        fs::create_directories(file.parent_path());
        seed = seed * 1664525u + 1013904223u;
        std::string content(200 + seed % 2900, ' ');
        for (std::size_t k = 0; k < content.size(); ++k)
            content[k] = char('a' + (k * 7 + i) % 26);
        std::ofstream(file, std::ios::binary) << content;
    }
}

double cliDump(const fs::path& scan, const fs::path& target, bool consolidated)
{
    std::vector<std::string> args = {"quarrix-cli", "dump", scan.string(), "-o", target.string(), "--quiet"};
    if (consolidated) {
        args.push_back("--consolidated");
        args.push_back("Pack.ufo");
    }
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const auto start = Clock::now();
    const int status = quarrix::cli::run(int(argv.size()), argv.data(), out, err);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (status != 0)
        std::fprintf(stderr, "quarrix-cli dump failed: %s\n", err.str().c_str());
    return seconds;
}

// The window's Dump button, after a scan of `scan` with `target` chosen.
double windowDump(Answers& answers, const fs::path& scan, const fs::path& target, bool consolidated)
{
    fs::create_directories(target);
    quarrix::frmMain window;
    answers.folder = QString::fromStdString(target.string());
    window.Command2_Click();
    answers.folder = QString::fromStdString(scan.string());
    window.Command3_Click();
    QTimer::singleShot(0, [consolidated] {
        quarrix::frmDumpOptions& dialog = quarrix::frmDumpOptions::instance();
        if (consolidated)
            dialog.Option1_Click(1);
        dialog.Command1_Click();
    });
    const auto start = Clock::now();
    window.Command4_Click();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The window's settings in `appDir`: the types both scans look for.
void useAppDir(const fs::path& appDir, Answers& answers)
{
    fs::create_directories(appDir);
    quarrix::platform::SetApplicationDirectory(QString::fromStdString(appDir.string()));
    std::ofstream(appDir / "Options.ini") << "[FileType]\r\nType_Count=3\r\n0=hpi\r\n1=ufo\r\n2=gp3\r\n";
    quarrix::platform::InstallFolderChooser(&answers);
    quarrix::platform::InstallMessageBoxPresenter(&answers);
}

int dumpOnce(const fs::path& scan, const fs::path& target)
{
    char pattern[] = "/tmp/quarrix-bench-dump-app-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    Answers answers;
    useAppDir(pattern, answers);
    std::printf("%.6f\n", windowDump(answers, scan, target, false));
    fs::remove_all(pattern);
    return answers.failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc == 4 && !std::strcmp(argv[1], "window")) {
        QApplication application(argc, argv);
        return dumpOnce(argv[2], argv[3]);
    }
    Settings settings;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--files"))
            settings.files = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--mib"))
            settings.mib = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--repeat"))
            settings.repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--dir"))
            settings.dir = argv[i + 1];
    }
    QApplication application(argc, argv);

    std::string pattern = settings.dir + "/quarrix-bench-dump-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return 1;
    const fs::path work = pattern;
    Answers answers;
    useAppDir(work / "app", answers);

    smallFiles(work / "small", settings.files);
    packThree(work / "small", work / "scan-small");
    bench::generate_corpus(work / "game", std::uint64_t(settings.mib) << 20);
    packThree(work / "game", work / "scan-game");

    std::printf("%-8s %-13s %10s %10s %7s  %s\n", "archives", "mode", "cli s", "window s", "ratio",
                "same tree");
    for (const char* set : {"small", "game"}) {
        const fs::path scan = work / (std::string("scan-") + set);
        for (const bool consolidated : {false, true}) {
            double cli = 1e9, win = 1e9;
            bool same = true;
            for (int r = 0; r < settings.repeat; ++r) {
                const fs::path cliOut = work / "out-cli", winOut = work / "out-window";
                fs::remove_all(cliOut);
                fs::remove_all(winOut);
                // Each run starts with nothing left to write back from the
                // one before, and they take turns at going first.
                for (int turn = 0; turn < 2; ++turn) {
                    ::sync();
                    if ((turn + r) % 2 == 0)
                        cli = std::min(cli, cliDump(scan, cliOut, consolidated));
                    else
                        win = std::min(win, windowDump(answers, scan, winOut, consolidated));
                }
                same = same && dumpedTree(cliOut, consolidated) == dumpedTree(winOut, consolidated);
            }
            std::printf("%-8s %-13s %10.3f %10.3f %7.2f  %s\n", set,
                        consolidated ? "consolidated" : "unpacked", cli, win, win / cli, same ? "yes" : "NO");
        }
    }
    fs::remove_all(work);
    return 0;
}

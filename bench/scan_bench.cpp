// The two halves of bench/scan that need the program's own code:
//
//   quarrix-bench-scan tree DIR     builds the tree: 100,000 files in 5,000
//                                   directories, 334 of them archives
//   quarrix-bench-scan window DIR   scans DIR recursively the way the main
//                                   window does (offscreen), prints the found
//                                   paths on standard output and the seconds
//                                   from the click to the filled list on
//                                   standard error
#include "app/frm_main.h"
#include "platform/folder_dialog.h"
#include "platform/paths.h"
#include "support/list_box.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kGroups = 50;
constexpr int kDirectoriesPerGroup = 100;
constexpr int kFilesPerDirectory = 20;
constexpr int kArchiveEvery = 300;

// Game and mod folders: mostly data files, now and then an archive.
int buildTree(const fs::path& root)
{
    static const char* const kData[] = {".pcx", ".wav", ".tdf", ".fbi", ".gaf", ".txt", ".3do"};
    static const char* const kArchives[] = {".hpi", ".ufo", ".gp3", ".gp4"};
    int file = 0;
    for (int group = 0; group < kGroups; ++group) {
        for (int d = 0; d < kDirectoriesPerGroup; ++d) {
            const fs::path directory = root / ("group" + std::to_string(group)) / ("mod" + std::to_string(d));
            fs::create_directories(directory);
            for (int f = 0; f < kFilesPerDirectory; ++f, ++file) {
                const bool archive = file % kArchiveEvery == 7;
                const std::string extension =
                    archive ? kArchives[(file / kArchiveEvery) % 4] : kData[file % 7];
                std::ofstream(directory / ("file" + std::to_string(file) + extension));
            }
        }
    }
    return 0;
}

class ChosenFolder final : public quarrix::platform::FolderChooser {
public:
    explicit ChosenFolder(QString folder) : folder_(std::move(folder)) {}
    QString chooseFolder(QWidget*, const QString&) override { return folder_; }

private:
    QString folder_;
};

int scanLikeTheWindow(int argc, char* argv[], const QString& directory)
{
    QApplication application(argc, argv);
    QTemporaryDir appDir;
    quarrix::platform::SetApplicationDirectory(appDir.path());
    QFile options(appDir.filePath(QStringLiteral("Options.ini")));
    if (!options.open(QIODevice::WriteOnly) ||
        options.write("[Recursivity]\r\nEtat=Checked\r\n[FileType]\r\nType_Count=4\r\n"
                      "0=hpi\r\n1=ufo\r\n2=gp3\r\n3=gp4\r\n") < 0)
        return 1;
    options.close();
    ChosenFolder chooser(directory);
    quarrix::platform::InstallFolderChooser(&chooser);

    quarrix::frmMain window;
    window.show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    window.Command3->click();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    for (int i = 0; i < window.lstFiles->ListCount(); ++i)
        std::printf("%s\n", window.lstFiles->List(i).toUtf8().constData());
    std::fprintf(stderr, "%.3f\n", seconds);
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc == 3 && std::string(argv[1]) == "tree")
        return buildTree(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "window")
        return scanLikeTheWindow(argc, argv, QString::fromLocal8Bit(argv[2]));
    std::fprintf(stderr, "usage: quarrix-bench-scan tree|window DIR\n");
    return 2;
}

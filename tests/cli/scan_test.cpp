// quarrix-cli scan: which extensions it looks for (given, registered in
// Options.ini, or the four defaults), its output lines and its failures.
#include "commands.h"
#include "hpiutil_testkit.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ScanCase {
    const char* name;
    std::string options_ini;  // empty: no Options.ini
    std::vector<std::string> args;
    std::vector<std::string> lines;  // below the scanned directory, sorted
    int status;
};

TEST(CliScan, ListsTheExtensionsAskedForRegisteredOrDefault)
{
    testkit::ScratchDir tree;
    testkit::ScratchDir app_dir;
    for (const char* name : {"a.hpi", "b.ufo", "c.gp3", "d.GP4", "e.txt", "ctl\x01.hpi"})
        testkit::write_file(tree / name, "x");
    std::filesystem::create_directory(tree / "sub");
    testkit::write_file(tree / "sub" / "f.hpi", "x");
    const std::string dir = tree.path().string();
    quarrix::platform::SetApplicationDirectory(QString::fromStdString(app_dir.path().string()));

    const ScanCase cases[] = {
        {"none registered: the four defaults",
         "",
         {dir},
         {"a.hpi", "b.ufo", "c.gp3", "ctl?.hpi", "d.GP4"},
         0},
        {"a missing key is an empty type",
         "[FileType]\r\nType_Count=3\r\n0=hpi\r\n2=gp3\r\n",
         {dir},
         {"a.hpi", "c.gp3", "ctl?.hpi"},
         0},
        {"the count's number rule, blanks around a key",
         "[FileType]\r\nType_Count=2abc\r\n 1 = ufo \r\n2=gp3\r\n",
         {dir},
         {"b.ufo"},
         0},
        {"a negative count registers none",
         "[FileType]\r\nType_Count=-1\r\n0=ufo\r\n",
         {dir},
         {"a.hpi", "b.ufo", "c.gp3", "ctl?.hpi", "d.GP4"},
         0},
        {"blanks and a trailing \\ as separator", "", {" " + dir + "\\ ", "--types", "ufo"}, {"b.ufo"}, 0},
        {"--types with , and |, over registered types, recursive",
         "[FileType]\r\nType_Count=1\r\n0=gp3\r\n",
         {dir, "-r", "--types", "hpi, ufo|gp4"},
         {"a.hpi", "b.ufo", "ctl?.hpi", "d.GP4", "sub/f.hpi"},
         0},
        {"an extension that can never match", "", {dir, "--types", "hpi,.ufo"}, {}, 2},
        {"a directory that does not exist", "", {dir + "/missing"}, {}, 1},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(app_dir / "Options.ini");
        if (!c.options_ini.empty())
            testkit::write_file(app_dir / "Options.ini", c.options_ini);
        std::vector<const char*> argv = {"quarrix-cli", "scan"};
        for (const std::string& arg : c.args)
            argv.push_back(arg.c_str());
        std::ostringstream out, err;
        EXPECT_EQ(quarrix::cli::run(int(argv.size()), argv.data(), out, err), c.status);
        std::vector<std::string> lines;
        std::istringstream listing(out.str());
        for (std::string line; std::getline(listing, line);)
            lines.push_back(line.substr(dir.size() + 1));
        std::sort(lines.begin(), lines.end());
        EXPECT_EQ(lines, c.lines);
        if (c.status == 1) {
            EXPECT_NE(err.str().find(c.args[0]), std::string::npos) << err.str();
        }
    }
    quarrix::platform::SetApplicationDirectory(QString());
}

}  // namespace

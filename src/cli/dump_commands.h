// extract, pack and dump: the program's main job from the command line, on
// the same extraction and packing code as the main window.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace quarrix::cli {

class DumpCommands {
public:
    // Adds the three commands to app.
    explicit DumpCommands(CLI::App& app);

    // Runs whichever of the three the parsed command line named; nothing when
    // it named none of them. out takes the --json lines; show_progress:
    // standard error is a terminal.
    std::optional<int> run_parsed(std::ostream& out, std::ostream& err, bool show_progress);

private:
    CLI::App* extract_ = nullptr;
    CLI::App* pack_ = nullptr;
    CLI::App* dump_ = nullptr;

    std::vector<std::string> archives_;
    std::string output_;
    std::string folder_;
    std::string method_ = "zlib";
    int level_ = 6;
    int format_ = 1;
    unsigned threads_ = 0;
    bool recursive_ = false;
    std::string types_;
    std::string consolidated_;
    bool quiet_ = false;
    bool here_ = false;
    bool json_ = false;
};

}  // namespace quarrix::cli

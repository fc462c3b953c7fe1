// conflicts and mount: the collection as the game sees it, from the merged
// view of its archives.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace quarrix::collection {
class MergedView;
}

namespace quarrix::cli {

class CollectionCommands {
public:
    // Adds the two commands to app.
    explicit CollectionCommands(CLI::App& app);

    // Runs whichever of the two the parsed command line named; nothing when
    // it named neither.
    std::optional<int> run_parsed(std::ostream& out, std::ostream& err);

private:
    // The archives the sources name, folders searched as dump searches them;
    // nothing (status set) when a folder cannot be searched.
    std::optional<std::vector<std::string>> archives(const std::vector<std::string>& sources,
                                                     std::ostream& err, int& status) const;

    CLI::App* conflicts_ = nullptr;
    CLI::App* mount_ = nullptr;
    std::vector<std::string> sources_;
    std::vector<std::string> mount_arguments_;  // the sources, then the mount point
    bool recursive_ = false;
    std::string types_;
    bool json_ = false;
    bool foreground_ = false;
};

// Writes the files that more than one archive holds, one per line, and the
// summary on err; reports the archives that could not be read.
int write_conflicts(const collection::MergedView& view, bool json, std::ostream& out, std::ostream& err);

// Reports what a dump of the view's archives would report (archives that
// cannot be opened, entries it cannot write); false if an archive could not
// be opened.
bool report_view_failures(const collection::MergedView& view, std::ostream& err);

}  // namespace quarrix::cli

#include "collection_commands.h"

#include "commands.h"
#include "terminal_text.h"

#include "collection/conflicts.h"
#include "dump/failures.h"
#include "hpiutil/failure.h"
#include "collection/merged_view.h"
#include "mount/collection_fs.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include <nlohmann/json.hpp>

namespace quarrix::cli {
namespace {

constexpr const char* kProgram = "quarrix-cli";

const char* const kSourceHelp =
    "Archives, or folders searched for archives as dump searches them, in dump order";
const char* const kTypesHelp =
    "Extensions to look for in folders, separated by | or , (default: the types registered in "
    "Quarrix's Options.ini, or hpi,ufo,gp3,gp4 when none is)";

const char* const kConflictsFooter =
    "Each line is PATH<TAB>KEPT<TAB>OVERRIDDEN...<TAB>same|differs: the file's path\n"
    "as the dump writes it (\\ between levels), the archive whose copy the dump\n"
    "keeps, each archive whose copy it writes over (one field each, in dump\n"
    "order), and whether all those copies hold the same bytes as the kept one.\n"
    "Copies of equal size are read and compared; a copy that cannot be read\n"
    "counts as different and is reported. With --json each line is an object\n"
    "with the keys path, kept, overridden (a list) and identical (true or false).\n"
    "A summary line goes to standard error. Control characters in plain output\n"
    "show as ?.\n"
    "Exit status: 0 every archive was read, 1 an archive failed (reported with\n"
    "its cause), 2 usage error.";

const char* const kMountFooter =
    "The last argument is the mount point, an empty folder. The folders and files\n"
    "an unpacked dump of the archives would write appear there, read-only, each\n"
    "file decompressed as it is read. Names are listed as the dump spells them and\n"
    "found in any ASCII case. Without -f the command returns once the mount is\n"
    "ready, and fusermount3 unmounts it (see the manual page); with -f it stays\n"
    "in the foreground and Ctrl-C unmounts. A damaged file fails its reads with\n"
    "an I/O error and one line on standard error (without -f, only when that is\n"
    "a terminal or a file).\n"
    "Exit status: 0 mounted (and, with -f, unmounted again), 1 an archive could\n"
    "not be opened or the folder could not be mounted on, 2 usage error.";

std::string plain_line(const collection::MergedView& view, const collection::Conflict& conflict)
{
    const collection::Node& node = view.node(conflict.file);
    std::string line = without_controls(view.path_of(conflict.file)) + '\t' +
                       without_controls(view.members()[node.member].path);
    for (std::uint32_t member : conflict.overridden)
        line += '\t' + without_controls(view.members()[member].path);
    return line + (conflict.identical ? "\tsame" : "\tdiffers");
}

std::string json_line(const collection::MergedView& view, const collection::Conflict& conflict)
{
    const collection::Node& node = view.node(conflict.file);
    nlohmann::ordered_json line;
    line["path"] = view.path_of(conflict.file);
    line["kept"] = view.members()[node.member].path;
    line["overridden"] = nlohmann::ordered_json::array();
    for (std::uint32_t member : conflict.overridden)
        line["overridden"].push_back(view.members()[member].path);
    line["identical"] = conflict.identical;
    // A disk path need not be UTF-8; what is not shows as U+FFFD.
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string mount_failure_words(const mount::MountResult& result)
{
    switch (result.failure) {
        case mount::MountFailure::None:
            break;
        case mount::MountFailure::NoMountPoint:
            return "no such folder";
        case mount::MountFailure::NotAFolder:
            return "not a folder";
        case mount::MountFailure::NotEmpty:
            return "not an empty folder";
        case mount::MountFailure::Unreadable:
            return "cannot be read: " + result.error.message();
        case mount::MountFailure::NoFuse:
            return "cannot mount: this machine offers no FUSE (/dev/fuse: " + result.error.message() + ")";
        case mount::MountFailure::Refused:
            return "cannot mount: " + result.error.message();
    }
    return "cannot mount";
}

std::string read_failure_line(const collection::MergedView& view, const collection::Copy& copy,
                              const hpi::Error& error)
{
    const dump::DumpFailure failure{view.members()[copy.member].path,
                                    hpi::cp1252_to_utf8(view.entry_of(copy).path), false,
                                    hpiutil::FromLibrary(error)};
    return std::string(kProgram) + ": " + without_controls(dump::FailureLine(failure));
}

int mount_view(const collection::MergedView& view, const std::string& mount_point, bool foreground,
               std::ostream& err)
{
    if (!report_view_failures(view, err))
        return kFailure;
    // Reads come on the file system's threads; the file system reports each
    // damaged copy once, one at a time.
    mount::CollectionFs filesystem(view,
                                   [&view, &err](const collection::Copy& copy, const hpi::Error& error) {
                                       err << read_failure_line(view, copy, error) << std::endl;
                                   });
    const mount::MountResult mounted = filesystem.mount(mount_point);
    if (!mounted) {
        err << kProgram << ": " << without_controls(mount_point) << ": " << mount_failure_words(mounted)
            << '\n';
        return kFailure;
    }
    std::size_t files = 0;
    for (const collection::Node& node : view.nodes())
        files += node.is_folder ? 0 : 1;
    const std::size_t archives = view.members().size();
    err << kProgram << ": " << files << (files == 1 ? " file of " : " files of ") << archives
        << (archives == 1 ? " archive on " : " archives on ") << without_controls(mount_point)
        << (foreground ? "; Ctrl-C unmounts\n" : "; fusermount3 -u unmounts\n");
    if (!foreground) {
        std::error_code error;
        if (!filesystem.continue_in_background(error)) {
            if (!error)
                return kSuccess;  // the child serves it now
            err << kProgram << ": cannot go on in the background: " << error.message() << '\n';
            return kFailure;
        }
    }
    return filesystem.serve() ? kSuccess : kFailure;
}

}  // namespace

bool report_view_failures(const collection::MergedView& view, std::ostream& err)
{
    for (const std::string& line : view.failures().ReportLines())
        err << kProgram << ": " << without_controls(line) << '\n';
    return std::all_of(view.members().begin(), view.members().end(),
                       [](const collection::Member& member) { return bool(member.archive); });
}

int write_conflicts(const collection::MergedView& view, bool json, std::ostream& out, std::ostream& err)
{
    int status = report_view_failures(view, err) ? kSuccess : kFailure;
    std::size_t files = 0;
    std::size_t different = 0;
    collection::for_each_conflict(view, [&](const collection::Conflict& conflict) {
        ++files;
        if (!conflict.identical)
            ++different;
        if (conflict.failure) {
            err << read_failure_line(view, conflict.failure->failed, conflict.failure->error) << '\n';
            status = kFailure;
        }
        out << (json ? json_line(view, conflict) : plain_line(view, conflict)) << '\n';
    });
    err << files << (files == 1 ? " file" : " files") << " in more than one archive, " << different
        << " of them different\n";
    return status;
}

CollectionCommands::CollectionCommands(CLI::App& app)
{
    conflicts_ = app.add_subcommand(
        "conflicts", "List the files more than one archive holds, and which archive's copy wins.");
    conflicts_->add_option("SOURCE", sources_, kSourceHelp)->required();
    conflicts_->add_flag("--json", json_, "One JSON object per line");
    conflicts_->footer(kConflictsFooter);

    mount_ = app.add_subcommand("mount", "Mount the collection as one read-only folder (FUSE).");
    mount_
        ->add_option("SOURCE", mount_arguments_,
                     std::string(kSourceHelp) + "; then the mount point, an empty folder")
        ->required();
    mount_->add_flag("-f,--foreground", foreground_, "Stay in the foreground; Ctrl-C unmounts");
    mount_->footer(kMountFooter);

    for (CLI::App* command : {conflicts_, mount_}) {
        command->add_flag("-r,--recursive", recursive_, "Search the subfolders of folders too");
        command->add_option("--types", types_, kTypesHelp);
    }
}

std::optional<std::vector<std::string>> CollectionCommands::archives(const std::vector<std::string>& sources,
                                                                     std::ostream& err, int& status) const
{
    std::vector<std::string> archives;
    for (const std::string& source : sources) {
        std::error_code error;
        if (!std::filesystem::is_directory(source, error)) {
            archives.push_back(source);
            continue;
        }
        const auto found = find_archives(source, recursive_, types_, err, status);
        if (!found)
            return std::nullopt;
        archives.insert(archives.end(), found->begin(), found->end());
    }
    return archives;
}

std::optional<int> CollectionCommands::run_parsed(std::ostream& out, std::ostream& err)
{
    if (!conflicts_->parsed() && !mount_->parsed())
        return std::nullopt;
    std::vector<std::string> sources = conflicts_->parsed() ? sources_ : mount_arguments_;
    std::string mount_point;
    if (mount_->parsed()) {
        if (sources.size() < 2) {
            err << kProgram << " mount: give at least one SOURCE and the mount point\n";
            return kUsageError;
        }
        mount_point = sources.back();
        sources.pop_back();
    }
    int status = kSuccess;
    const auto found = archives(sources, err, status);
    if (!found)
        return status;
    const auto view = collection::MergedView::build(*found);
    if (mount_->parsed())
        return mount_view(view, mount_point, foreground_, err);
    return write_conflicts(view, json_, out, err);
}

}  // namespace quarrix::cli

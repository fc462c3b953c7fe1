#include "collection_commands.h"

#include "commands.h"
#include "terminal_text.h"

#include "collection/conflicts.h"
#include "collection/merged_view.h"

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

std::string plain_line(const collection::MergedView& view, const collection::Conflict& conflict) {
    const collection::Node& node = view.node(conflict.file);
    std::string line = without_controls(view.path_of(conflict.file)) + '\t' +
                       without_controls(view.members()[node.member].path);
    for (std::uint32_t member : conflict.overridden)
        line += '\t' + without_controls(view.members()[member].path);
    return line + (conflict.identical ? "\tsame" : "\tdiffers");
}

std::string json_line(const collection::MergedView& view, const collection::Conflict& conflict) {
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

}  // namespace

bool report_unopened(const collection::MergedView& view, std::ostream& err) {
    bool all_opened = true;
    for (const collection::Member& member : view.members()) {
        if (member.archive) continue;
        err << kProgram << ": " << without_controls(member.path) << ": "
            << describe(member.path, member.error) << '\n';
        all_opened = false;
    }
    return all_opened;
}

int write_conflicts(const collection::MergedView& view, bool json, std::ostream& out,
                    std::ostream& err) {
    int status = report_unopened(view, err) ? kSuccess : kFailure;
    std::size_t files = 0;
    std::size_t different = 0;
    collection::for_each_conflict(view, [&](const collection::Conflict& conflict) {
        ++files;
        if (!conflict.identical) ++different;
        if (conflict.failure) {
            const std::string& archive = view.members()[conflict.failure->failed.member].path;
            err << kProgram << ": " << without_controls(archive) << ": "
                << describe(archive, conflict.failure->error) << '\n';
            status = kFailure;
        }
        out << (json ? json_line(view, conflict) : plain_line(view, conflict)) << '\n';
    });
    err << files << (files == 1 ? " file" : " files") << " in more than one archive, " << different
        << " of them different\n";
    return status;
}

CollectionCommands::CollectionCommands(CLI::App& app) {
    conflicts_ = app.add_subcommand(
        "conflicts", "List the files more than one archive holds, and which archive's copy wins.");
    conflicts_->add_option("SOURCE", sources_, kSourceHelp)->required();
    conflicts_->add_flag("--json", json_, "One JSON object per line");
    conflicts_->footer(kConflictsFooter);

    for (CLI::App* command : {conflicts_}) {
        command->add_flag("-r,--recursive", recursive_, "Search the subfolders of folders too");
        command->add_option("--types", types_, kTypesHelp);
    }
}

std::optional<std::vector<std::string>> CollectionCommands::archives(
    const std::vector<std::string>& sources, std::ostream& err, int& status) const {
    std::vector<std::string> archives;
    for (const std::string& source : sources) {
        std::error_code error;
        if (!std::filesystem::is_directory(source, error)) {
            archives.push_back(source);
            continue;
        }
        const auto found = find_archives(source, recursive_, types_, err, status);
        if (!found) return std::nullopt;
        archives.insert(archives.end(), found->begin(), found->end());
    }
    return archives;
}

std::optional<int> CollectionCommands::run_parsed(std::ostream& out, std::ostream& err) {
    if (!conflicts_->parsed()) return std::nullopt;
    int status = kSuccess;
    const auto found = archives(sources_, err, status);
    if (!found) return status;
    const auto view = collection::MergedView::build(*found);
    return write_conflicts(view, json_, out, err);
}

}  // namespace quarrix::cli

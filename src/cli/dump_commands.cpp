#include "dump_commands.h"

#include "commands.h"

#include "dump/extraction.h"
#include "dump/folder_walk.h"
#include "dump/monolithic.h"
#include "hpiutil/hpiutil.h"
#include "json_lines.h"
#include "platform/folder_listing.h"
#include "platform/private_folder.h"
#include "platform/stop_signals.h"
#include "progress_bar.h"
#include "terminal_text.h"

#include <hpi/hpi.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <set>
#include <span>

namespace quarrix::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "quarrix-cli";

// For the length of a command, Ctrl-C and SIGTERM ask the work to stop: the
// extraction gives up the file in hand and stops, a pack stops within a
// chunk; every temporary file goes, and the command ends with 130 or 143. A
// second signal ends the program at once, its temporary files removed first.
class StopOnSignals {
public:
    StopOnSignals() { platform::AddLastMomentCleanup(&hpi::remove_temporary_archives); }

private:
    platform::StopSignalScope scope_;
};

const char* SignalName(int signal)
{
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal";
}

// What became of one archive of an extract or a dump.
struct ArchiveOutcome {
    std::string folder;       // where its files went, as the person sees it; empty: a private one
    std::uint64_t files = 0;  // written completely
    std::uint64_t bytes = 0;
    bool started = false;  // its extraction began
    bool done = false;     // its turn came and went: extracted, or refused
    bool refused = false;  // not extracted: its folder could not be had
};

// The extraction's two bars folded into one: archives done plus the share of
// the archive in hand; and the files written counted for that archive.
class BarExtraction final : public dump::ExtractionProgress {
public:
    // The extraction's first archive is outcomes[first].
    BarExtraction(ProgressBar& bar, std::vector<ArchiveOutcome>& outcomes, std::size_t first)
        : bar_(bar), outcomes_(outcomes), first_(first)
    {
    }
    void StartMain(const std::string& strPart, const std::string&) override { bar_.set_name(strPart); }
    void UpdateMain(std::int32_t Value, std::int32_t) override
    {
        index_ = first_ + std::size_t(std::max(Value, 1) - 1);
        outcomes_.at(index_).started = true;
        bar_.set_fraction(double(index_), double(outcomes_.size()));
    }
    void StartSub(const std::string&) override {}
    void UpdateSub(std::int32_t Value, std::int32_t Max) override
    {
        if (Max > 0)
            bar_.set_fraction(double(index_) + std::min(1.0, double(Value) / Max), double(outcomes_.size()));
    }
    bool Cancel() override { return platform::StopRequested(); }
    void FileWritten(const std::string&, const std::string&, std::uint64_t bytes) override
    {
        bar_.add_file(bytes);
        ++outcomes_.at(index_).files;
        outcomes_.at(index_).bytes += bytes;
    }

private:
    ProgressBar& bar_;
    std::vector<ArchiveOutcome>& outcomes_;
    std::size_t first_;
    std::size_t index_ = 0;
};

bool make_folder(const std::string& folder, dump::DumpFailures& failures)
{
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        failures.AddFolder(folder, std::string(), hpiutil::FromSystem(error));
    return !error;
}

// The archives of one extract or dump, in order, extracted below one folder
// or each beside itself, and what became of each.
class Extraction {
public:
    Extraction(const std::vector<std::string>& archives, ProgressBar& bar, dump::DumpFailures& failures)
        : archives_(archives), outcomes_(archives.size()), bar_(bar), failures_(failures)
    {
    }

    // All of them below `folder`; `shown` is false for a private folder.
    void into(const std::string& folder, bool shown = true)
    {
        extract(folder, 0, archives_.size(), shown);
        bar_.finish();
    }

    // Each into a folder beside it, named after it without its extension.
    void beside_each()
    {
        for (std::size_t i = 0; i < archives_.size() && !platform::StopRequested(); ++i) {
            const std::string folder = folder_beside(archives_[i]);
            if (usable_beside(archives_[i], folder))
                extract(folder, i, 1, true);
            else
                outcomes_[i].done = outcomes_[i].refused = true;
        }
        bar_.finish();
    }

    // What an interrupted run left undone, for the summary: the archive it
    // was in (its files that were written are whole) and those after it.
    std::string undone() const
    {
        const auto left = std::count_if(outcomes_.begin(), outcomes_.end(),
                                        [](const ArchiveOutcome& outcome) { return !outcome.done; });
        std::string words = std::to_string(left) + (left == 1 ? " archive" : " archives") + " not extracted";
        if (const auto in_hand = last_started())
            words = "stopped in " + archives_[*in_hand] + ", " + words;
        return words;
    }

    // For --json, with the failures the extraction collected: those that
    // concern no archive of the run first (a folder that could not be made),
    // then each archive's failures and its archive object, in order. A stop
    // marks the archive in hand and those after it with a failure
    // "interrupted".
    void write_json(std::span<const dump::DumpFailure> failures, std::ostream& out) const
    {
        const std::set<std::string> names(archives_.begin(), archives_.end());
        for (const dump::DumpFailure& failure : failures)
            if (!names.count(failure.archive))
                json::write(out, json::failure(failure));
        const bool stopped = platform::StopRequested();
        const std::optional<std::size_t> in_hand = stopped ? last_started() : std::nullopt;
        std::set<std::string> written;
        for (std::size_t i = 0; i < archives_.size(); ++i) {
            const ArchiveOutcome& outcome = outcomes_[i];
            bool ok = outcome.done && !outcome.refused;
            for (const dump::DumpFailure& failure : failures) {
                if (failure.archive != archives_[i])
                    continue;
                ok = false;
                if (!written.count(archives_[i]))
                    json::write(out, json::failure(failure));
            }
            written.insert(archives_[i]);
            if (stopped && (in_hand == i || !outcome.done)) {
                json::write(out, json::failure(archives_[i], std::string(),
                                               hpiutil::Because(hpiutil::Cause::Interrupted)));
                ok = false;
            }
            json::Object line = json::archive(archives_[i]);
            line["ok"] = ok;
            if (!outcome.folder.empty())
                line["folder"] = outcome.folder;
            line["files"] = outcome.files;
            line["bytes"] = outcome.bytes;
            json::write(out, line);
        }
    }

private:
    void extract(const std::string& folder, std::size_t first, std::size_t count, bool shown)
    {
        const std::vector<std::string> part(archives_.begin() + std::ptrdiff_t(first),
                                            archives_.begin() + std::ptrdiff_t(first + count));
        for (std::size_t i = first; i < first + count; ++i)
            if (shown)
                outcomes_[i].folder = folder;
        dump::PlainArchiveList list(part);
        BarExtraction progress(bar_, outcomes_, first);
        dump::ExtractArchives(folder, list, progress, failures_);
        for (std::size_t i = first; i < first + count - std::size_t(list.ListCount()); ++i)
            outcomes_[i].done = true;
    }

    static std::string folder_beside(const std::string& archive)
    {
        const fs::path path(archive);
        return (path.parent_path() / path.stem()).string();
    }

    // The archive opens, and its folder is there or made; otherwise its
    // failure is noted and nothing is made for it.
    bool usable_beside(const std::string& archive, const std::string& folder)
    {
        const std::int32_t handle = HPIOpen(archive.c_str());
        if (handle == 0) {
            failures_.Add(archive, std::string(), HPIGetLastFailure());
            return false;
        }
        HPIClose(handle);
        std::error_code error;
        const fs::file_status status = fs::symlink_status(folder, error);
        if (fs::exists(status) && !fs::is_directory(fs::status(folder, error))) {
            failures_.Add(archive, std::string(), hpiutil::Because(hpiutil::Cause::InTheWay, folder));
            return false;
        }
        return make_folder(folder, failures_);
    }

    std::optional<std::size_t> last_started() const
    {
        for (std::size_t i = outcomes_.size(); i-- > 0;)
            if (outcomes_[i].started)
                return i;
        return std::nullopt;
    }

    const std::vector<std::string>& archives_;
    std::vector<ArchiveOutcome> outcomes_;
    ProgressBar& bar_;
    dump::DumpFailures& failures_;
};

// Packing for the command line: messages are left to the final summary,
// which holds every failure with its cause.
class BarPacking final : public dump::MonolithicHost {
public:
    explicit BarPacking(ProgressBar& bar) : bar_(bar) {}
    void Message(const std::string&) override {}
    void PackingStarts() override { bar_.set_fraction(0, 1); }
    void PackingEnds() override { bar_.finish(); }
    void DeleteFolder(const std::string& folder) override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    void Start(const std::string& strPart, const std::string&) override { bar_.set_name(strPart); }
    void Update(std::int32_t Value, std::int32_t Max) override { bar_.set_fraction(Value, Max); }

private:
    ProgressBar& bar_;
};

// Every failure with its cause, then how many; a run stopped by a signal
// says so last and ends with the shell's status for that signal.
int summarise(const dump::DumpFailures& failures, const std::string& interrupted, std::ostream& err)
{
    for (const std::string& line : failures.ReportLines())
        err << kProgram << ": " << without_controls(line) << '\n';
    if (!failures.Empty())
        err << kProgram << ": " << failures.Items().size()
            << (failures.Items().size() == 1 ? " problem\n" : " problems\n");
    if (platform::StopRequested()) {
        err << kProgram << ": interrupted by " << SignalName(platform::StopSignal())
            << (interrupted.empty() ? "" : "; ") << interrupted << '\n';
        return platform::StopExitStatus();
    }
    return failures.Empty() ? kSuccess : kFailure;
}

// ---- extract ---------------------------------------------------------------

int extract_command(const std::vector<std::string>& archives, const std::optional<std::string>& folder,
                    ProgressBar& bar, std::ostream& out, std::ostream& err, Output output)
{
    StopOnSignals stop;
    dump::DumpFailures failures;
    Extraction extraction(archives, bar, failures);
    std::string interrupted;
    if (!folder) {
        extraction.beside_each();
        interrupted = extraction.undone();
    } else if (make_folder(*folder, failures)) {
        extraction.into(*folder);
        interrupted = extraction.undone();
    }
    if (output == Output::Json)
        extraction.write_json(failures.Items(), out);
    return summarise(failures, interrupted, err);
}

// ---- pack ------------------------------------------------------------------

hpi::Method method_named(const std::string& name)
{
    if (name == "lz77")
        return hpi::Method::Lz77;
    return name == "store" ? hpi::Method::Stored : hpi::Method::Zlib;
}

// The folder's tree straight into the library's writer, with the command's
// own method, level and threads.
class WriterTarget final : public dump::PackingTarget {
public:
    explicit WriterTarget(hpi::Writer& writer) : writer_(writer) {}
    hpiutil::Failure AddFolder(const std::string& archivePath) override
    {
        return hpiutil::FromLibrary(writer_.add_directory(stored(archivePath)));
    }
    hpiutil::Failure AddFile(const std::string& archivePath, const std::string& diskPath) override
    {
        return hpiutil::FromLibrary(writer_.add_file(stored(archivePath), diskPath));
    }

private:
    // The walk has checked that Windows-1252 holds the name.
    static std::string stored(const std::string& archivePath)
    {
        std::string cp1252;
        hpi::utf8_to_cp1252(archivePath, cp1252);
        return cp1252;
    }
    hpi::Writer& writer_;
};

int pack_command(const std::string& folder, const std::string& archive, hpi::PackOptions options,
                 ProgressBar& bar, std::ostream& err)
{
    StopOnSignals stop;
    dump::DumpFailures failures;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        failures.AddFolder(
            folder, std::string(),
            error ? hpiutil::FromSystem(error) : hpiutil::Because(hpiutil::Cause::Other, "not a folder"));
        return summarise(failures, std::string(), err);
    }
    // The archive's folder is made when missing, as extract and dump make
    // their target.
    const fs::path archiveFolder = fs::path(archive).parent_path();
    if (!archiveFolder.empty() && !make_folder(archiveFolder.string(), failures))
        return summarise(failures, std::string(), err);
    hpi::Writer writer;
    WriterTarget target(writer);
    // An earlier archive of that name inside the folder is not packed into
    // the new one.
    platform::FileIdentity earlier;
    const bool hasEarlier = platform::IdentityOf(archive, earlier);
    dump::WalkFolderForPacking(folder, std::string(), target, failures, archive,
                               hasEarlier ? std::optional(earlier) : std::nullopt);
    bar.set_name(fs::path(archive).filename().string());
    options.stop = &platform::StopFlag();
    // A file is reported once or more while it is packed (a large one as it
    // goes), so it counts from its first report on.
    std::string in_hand;
    const hpi::Error packed =
        writer.pack(archive, options, [&bar, &in_hand](const hpi::PackProgress& progress) {
            if (!progress.archive_path.empty() && progress.archive_path != in_hand) {
                in_hand = progress.archive_path;
                bar.add_file(0);  // its bytes are in bytes_done
            }
            bar.set_bytes(progress.bytes_done);
            bar.set_fraction(double(progress.bytes_done), double(progress.bytes_total));
        });
    bar.finish();
    if (packed && packed.kind != hpi::ErrorKind::Interrupted)
        failures.Add(archive, std::string(), hpiutil::FromLibrary(packed, true));
    return summarise(failures, "the archive was not written", err);
}

// ---- dump ------------------------------------------------------------------

// The consolidated archive's failures (they come after the extraction's)
// and its object; ok when it was written without a failure of its own.
void write_consolidated_json(const std::string& archive, std::span<const dump::DumpFailure> failures,
                             std::ostream& out)
{
    for (const dump::DumpFailure& failure : failures)
        json::write(out, json::failure(failure));
    const bool stopped = platform::StopRequested();
    if (stopped)
        json::write(out,
                    json::failure(archive, std::string(), hpiutil::Because(hpiutil::Cause::Interrupted)));
    json::Object line = {{"type", "consolidated"}, {"archive", archive}};
    line["ok"] = failures.empty() && !stopped;
    json::write(out, line);
}

int dump_command(const std::string& scan_folder, const std::string& target, bool recursive,
                 const std::string& types, const std::optional<std::string>& consolidated, ProgressBar& bar,
                 std::ostream& out, std::ostream& err, Output output)
{
    // From the start: a large tree can take a while to search.
    StopOnSignals stop;
    int status = kSuccess;
    const auto archives =
        find_archives(scan_folder, recursive, types, err, status, output == Output::Json ? &out : nullptr);
    if (!archives)
        return status;
    dump::DumpFailures failures;
    if (platform::StopRequested()) {
        if (output == Output::Json)
            json::write(out,
                        json::folder_failure(scan_folder, hpiutil::Because(hpiutil::Cause::Interrupted)));
        return summarise(failures, "stopped while looking for archives, none extracted", err);
    }
    Extraction extraction(*archives, bar, failures);
    const auto finish = [&](const std::string& interrupted) {
        if (output == Output::Json)
            extraction.write_json(failures.Items(), out);
        return summarise(failures, interrupted, err);
    };
    if (!make_folder(target, failures))
        return finish(std::string());
    // What a killed consolidated dump left in this target goes first.
    platform::SweepAbandonedPrivateFolders(target);
    if (!consolidated) {
        extraction.into(target);
        return finish(extraction.undone());
    }

    // A folder of our own inside the target, on the same disk as the
    // archive that will be written.
    std::error_code error;
    platform::PrivateFolder temp(target, error);
    if (temp.path().empty()) {
        failures.AddFolder(target, std::string(),
                           hpiutil::FromSystem(error, "cannot make a temporary folder in it"));
        return finish(std::string());
    }
    extraction.into(temp.path().string(), false);
    std::string interrupted = extraction.undone();
    const std::size_t extracted = failures.Items().size();
    if (!platform::StopRequested()) {
        BarPacking host(bar);
        dump::CreateMonolithic(target, *consolidated, temp.path().string(), host, failures);
    }
    if (platform::StopRequested())
        interrupted += "; the consolidated archive was not written";
    if (output == Output::Json) {
        const std::span<const dump::DumpFailure> all(failures.Items());
        extraction.write_json(all.first(extracted), out);
        write_consolidated_json((fs::path(target) / *consolidated).string(), all.subspan(extracted), out);
    }
    return summarise(failures, interrupted, err);
}

const char* const kFooter =
    "Exit status: 0 all good, 1 something failed (listed on standard error), 2 usage error,\n"
    "130 or 143 stopped by Ctrl-C (SIGINT) or SIGTERM, with nothing half-written left.";

}  // namespace

DumpCommands::DumpCommands(CLI::App& app)
{
    extract_ = app.add_subcommand(
        "extract", "Extract every file of each archive below a folder, or each beside itself.");
    extract_->add_option("ARCHIVE", archives_, "Archive files")->required();
    CLI::Option* output =
        extract_->add_option("-o,--output", output_, "Folder to extract into (made when missing)");
    extract_->add_flag("--here", here_, "Extract each archive into a folder beside it, named after it")
        ->excludes(output);
    extract_->parse_complete_callback([this, output] {
        if (output->count() == 0 && !here_)
            throw CLI::RequiredError("--output or --here");
    });
    extract_->footer(
        std::string("Each archive's folder tree is rebuilt below the folder; names that differ\n"
                    "only in case go to one file, the later archive winning. Entries whose path\n"
                    "would leave the folder are skipped and reported. With --here, the folder\n"
                    "beside ARCHIVE is made when missing; an archive whose folder name is taken\n"
                    "by a file is reported, and the others are still extracted.\n") +
        json::kFooter + "\n" + kFooter);

    pack_ = app.add_subcommand("pack", "Pack a folder tree into a new archive.");
    pack_->add_option("FOLDER", folder_, "Folder to pack")->required();
    pack_->add_option("-o,--output", output_, "Archive to write")->required();
    pack_->add_option("--method", method_, "zlib (default), lz77 or store")
        ->check(CLI::IsMember({"zlib", "lz77", "store"}));
    pack_->add_option("--level", level_, "zlib level, 1 to 12 (default 6)")->check(CLI::Range(1, 12));
    pack_->add_option("--threads", threads_, "Compression threads (default 0: every core)");
    pack_
        ->add_option("--format", format_,
                     "Archive version: 1 (default), read by every tool, or 2, the later game's "
                     "(zlib or store; levels above 9 act as 9)")
        ->check(CLI::IsMember({1, 2}));
    pack_->footer(std::string("Names an archive cannot hold (outside Windows-1252), names that differ only\n"
                              "in case from one already packed, links to folders, and pipes, sockets and\n"
                              "devices are reported and left out. Ctrl-C stops the packing; an earlier\n"
                              "archive of that name is then left as it was.\n") +
                  kFooter);

    dump_ = app.add_subcommand("dump", "Find the archives in a folder and dump them, as the window does.");
    dump_->add_option("SCANDIR", folder_, "Folder to scan for archives")->required();
    dump_->add_option("-o,--output", output_, "Target folder (made when missing)")->required();
    dump_->add_flag("-r,--recursive", recursive_, "Scan the subfolders too");
    dump_->add_option("--types", types_,
                      "Extensions to look for, separated by | or , (default: the types registered "
                      "in Quarrix's Options.ini, or hpi,ufo,gp3,gp4 when none is)");
    dump_->add_option("--consolidated", consolidated_,
                      "Pack everything into one new archive of this name in the target folder");
    dump_->footer(std::string("Without --consolidated every archive is extracted below the target folder.\n"
                              "With it, they are extracted into a private temporary folder, packed into\n"
                              "TARGET/NAME and the temporary folder is removed.\n") +
                  json::kFooter + "\n" + kFooter);

    for (CLI::App* command : {extract_, dump_})
        command->add_flag("--json", json_, json::kHelp);
    for (CLI::App* command : {extract_, pack_, dump_}) {
        command->add_flag("-q,--quiet", quiet_, "No progress bar");
        command->get_option("--output")->check([](const std::string& value) {
            return value.empty() ? std::string("must not be empty") : std::string();
        });
    }
}

std::optional<int> DumpCommands::run_parsed(std::ostream& out, std::ostream& err, bool show_progress)
{
    // JSON is for scripts; a bar would only stand in the way of what they read.
    ProgressBar bar(err, show_progress && !quiet_ && !json_);
    const Output output = json_ ? Output::Json : Output::Text;
    if (extract_->parsed())
        return extract_command(archives_, here_ ? std::nullopt : std::optional(output_), bar, out, err,
                               output);
    if (pack_->parsed()) {
        hpi::PackOptions options;
        options.method = method_named(method_);
        options.zlib_level = level_;
        options.threads = threads_;
        options.version = format_;
        return pack_command(folder_, output_, options, bar, err);
    }
    if (dump_->parsed()) {
        const std::optional<std::string> consolidated =
            dump_->count("--consolidated") ? std::optional(consolidated_) : std::nullopt;
        return dump_command(folder_, output_, recursive_, types_, consolidated, bar, out, err, output);
    }
    return std::nullopt;
}

}  // namespace quarrix::cli

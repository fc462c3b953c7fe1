#include "dump_commands.h"

#include "commands.h"

#include "dump/extraction.h"
#include "dump/folder_walk.h"
#include "dump/monolithic.h"
#include "platform/folder_listing.h"
#include "platform/private_folder.h"
#include "platform/stop_signals.h"
#include "progress_bar.h"
#include "terminal_text.h"

#include <hpi/hpi.h>

#include <csignal>
#include <filesystem>
#include <ostream>

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

// The extraction's two bars folded into one: archives done plus the share of
// the archive in hand.
class BarExtraction final : public dump::ExtractionProgress {
public:
    explicit BarExtraction(ProgressBar& bar) : bar_(bar) {}
    void StartMain(const std::string& strPart, const std::string&) override {
        bar_.set_name(strPart);
    }
    void UpdateMain(std::int32_t Value, std::int32_t Max) override {
        archive_ = Value;
        archives_ = Max;
        bar_.set_fraction(Value - 1, Max);
    }
    void StartSub(const std::string&) override {}
    void UpdateSub(std::int32_t Value, std::int32_t Max) override {
        if (Max > 0)
            bar_.set_fraction(archive_ - 1 + std::min(1.0, double(Value) / Max), archives_);
    }
    bool Cancel() override { return platform::StopRequested(); }
    void FileWritten(std::uint64_t bytes) override { bar_.add_file(bytes); }
    // The ordinal of the archive in hand, from 1; 0 before the first.
    std::int32_t ordinal() const { return archive_; }

private:
    ProgressBar& bar_;
    std::int32_t archive_ = 0;
    std::int32_t archives_ = 0;
};

// Packing for the command line: messages are left to the final summary,
// which holds every failure with its cause.
class BarPacking final : public dump::MonolithicHost {
public:
    explicit BarPacking(ProgressBar& bar) : bar_(bar) {}
    void Message(const std::string&) override {}
    void PackingStarts() override { bar_.set_fraction(0, 1); }
    void PackingEnds() override { bar_.finish(); }
    void DeleteFolder(const std::string& folder) override {
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
int summarise(const dump::DumpFailures& failures, const std::string& interrupted, std::ostream& err) {
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

bool make_folder(const std::string& folder, dump::DumpFailures& failures) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) failures.AddFolder(folder, std::string(), hpiutil::FromSystem(error));
    return !error;
}

// What an interrupted extraction left undone, for the summary: the archive
// it was in (its files that were written are whole) and those after it.
std::string extract_into(const std::vector<std::string>& archives, const std::string& folder,
                         ProgressBar& bar, dump::DumpFailures& failures) {
    dump::PlainArchiveList list(archives);
    BarExtraction progress(bar);
    dump::ExtractArchives(folder, list, progress, failures);
    bar.finish();
    const std::int32_t left = list.ListCount();
    std::string undone = std::to_string(left) + (left == 1 ? " archive" : " archives") + " not extracted";
    if (progress.ordinal() > 0)
        undone = "stopped in " + archives[std::size_t(progress.ordinal() - 1)] + ", " + undone;
    return undone;
}

// ---- extract ---------------------------------------------------------------

int extract_command(const std::vector<std::string>& archives, const std::string& folder,
                    ProgressBar& bar, std::ostream& err) {
    StopOnSignals stop;
    dump::DumpFailures failures;
    std::string interrupted;
    if (make_folder(folder, failures)) interrupted = extract_into(archives, folder, bar, failures);
    return summarise(failures, interrupted, err);
}

// ---- pack ------------------------------------------------------------------

hpi::Method method_named(const std::string& name) {
    if (name == "lz77") return hpi::Method::Lz77;
    return name == "store" ? hpi::Method::Stored : hpi::Method::Zlib;
}

// The folder's tree straight into the library's writer, with the command's
// own method, level and threads.
class WriterTarget final : public dump::PackingTarget {
public:
    explicit WriterTarget(hpi::Writer& writer) : writer_(writer) {}
    hpiutil::Failure AddFolder(const std::string& archivePath) override {
        return hpiutil::FromLibrary(writer_.add_directory(stored(archivePath)));
    }
    hpiutil::Failure AddFile(const std::string& archivePath, const std::string& diskPath) override {
        return hpiutil::FromLibrary(writer_.add_file(stored(archivePath), diskPath));
    }

private:
    // The walk has checked that Windows-1252 holds the name.
    static std::string stored(const std::string& archivePath) {
        std::string cp1252;
        hpi::utf8_to_cp1252(archivePath, cp1252);
        return cp1252;
    }
    hpi::Writer& writer_;
};

int pack_command(const std::string& folder, const std::string& archive, hpi::PackOptions options,
                 ProgressBar& bar, std::ostream& err) {
    StopOnSignals stop;
    dump::DumpFailures failures;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        failures.AddFolder(folder, std::string(),
                           error ? hpiutil::FromSystem(error)
                                 : hpiutil::Because(hpiutil::Cause::Other, "not a folder"));
        return summarise(failures, std::string(), err);
    }
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
    const hpi::Error packed =
        writer.pack(archive, options, [&bar](const hpi::PackProgress& progress) {
            bar.set_bytes(progress.bytes_done);
            bar.set_fraction(double(progress.bytes_done), double(progress.bytes_total));
        });
    bar.finish();
    if (packed && packed.kind != hpi::ErrorKind::Interrupted)
        failures.Add(archive, std::string(), hpiutil::FromLibrary(packed, true));
    return summarise(failures, "the archive was not written", err);
}

// ---- dump ------------------------------------------------------------------

int dump_command(const std::string& scan_folder, const std::string& target, bool recursive,
                 const std::string& types, const std::optional<std::string>& consolidated,
                 ProgressBar& bar, std::ostream& err) {
    int status = kSuccess;
    const auto archives = find_archives(scan_folder, recursive, types, err, status);
    if (!archives) return status;
    StopOnSignals stop;
    dump::DumpFailures failures;
    if (!make_folder(target, failures)) return summarise(failures, std::string(), err);
    // What a killed consolidated dump left in this target goes first.
    platform::SweepAbandonedPrivateFolders(target);
    if (!consolidated) return summarise(failures, extract_into(*archives, target, bar, failures), err);

    // A folder of our own inside the target, on the same disk as the
    // archive that will be written.
    std::error_code error;
    platform::PrivateFolder temp(target, error);
    if (temp.path().empty()) {
        failures.AddFolder(target, std::string(),
                           hpiutil::FromSystem(error, "cannot make a temporary folder in it"));
        return summarise(failures, std::string(), err);
    }
    std::string interrupted = extract_into(*archives, temp.path().string(), bar, failures);
    if (!platform::StopRequested()) {
        BarPacking host(bar);
        dump::CreateMonolithic(target, *consolidated, temp.path().string(), host, failures);
    }
    if (platform::StopRequested()) interrupted += "; the consolidated archive was not written";
    return summarise(failures, interrupted, err);
}

const char* const kFooter =
    "Exit status: 0 all good, 1 something failed (listed on standard error), 2 usage error,\n"
    "130 or 143 stopped by Ctrl-C (SIGINT) or SIGTERM, with nothing half-written left.";

}  // namespace

DumpCommands::DumpCommands(CLI::App& app) {
    extract_ = app.add_subcommand("extract", "Extract every file of each archive below a folder.");
    extract_->add_option("ARCHIVE", archives_, "Archive files")->required();
    extract_->add_option("-o,--output", output_, "Folder to extract into (made when missing)")
        ->required();
    extract_->footer(
        std::string("Each archive's folder tree is rebuilt below the folder; names that differ\n"
                    "only in case go to one file, the later archive winning. Entries whose path\n"
                    "would leave the folder are skipped and reported.\n") +
        kFooter);

    pack_ = app.add_subcommand("pack", "Pack a folder tree into a new archive.");
    pack_->add_option("FOLDER", folder_, "Folder to pack")->required();
    pack_->add_option("-o,--output", output_, "Archive to write")->required();
    pack_->add_option("--method", method_, "zlib (default), lz77 or store")
        ->check(CLI::IsMember({"zlib", "lz77", "store"}));
    pack_->add_option("--level", level_, "zlib level, 1 to 12 (default 6)")
        ->check(CLI::Range(1, 12));
    pack_->add_option("--threads", threads_, "Compression threads (default 0: every core)");
    pack_->add_option("--format", format_,
                      "Archive version: 1 (default), read by every tool, or 2, the later game's "
                      "(zlib or store; levels above 9 act as 9)")
        ->check(CLI::IsMember({1, 2}));
    pack_->footer(std::string("Names an archive cannot hold (outside Windows-1252), names that differ only\n"
                              "in case from one already packed and links to folders are reported and\n"
                              "left out. Ctrl-C stops the packing; an earlier archive of that name is\n"
                              "then left as it was.\n") +
                  kFooter);

    dump_ = app.add_subcommand("dump",
                               "Find the archives in a folder and dump them, as the window does.");
    dump_->add_option("SCANDIR", folder_, "Folder to scan for archives")->required();
    dump_->add_option("-o,--output", output_, "Target folder (made when missing)")->required();
    dump_->add_flag("-r,--recursive", recursive_, "Scan the subfolders too");
    dump_->add_option("--types", types_,
                      "Extensions to look for, separated by | or , (default: the types registered "
                      "in Quarrix's Options.ini, or hpi,ufo,gp3,gp4 when none is)");
    dump_->add_option("--consolidated", consolidated_,
                      "Pack everything into one new archive of this name in the target folder");
    dump_->footer(
        std::string("Without --consolidated every archive is extracted below the target folder.\n"
                    "With it, they are extracted into a private temporary folder, packed into\n"
                    "TARGET/NAME and the temporary folder is removed.\n") +
        kFooter);

    for (CLI::App* command : {extract_, pack_, dump_}) {
        command->add_flag("-q,--quiet", quiet_, "No progress bar");
        command->get_option("--output")->check([](const std::string& value) {
            return value.empty() ? std::string("must not be empty") : std::string();
        });
    }
}

std::optional<int> DumpCommands::run_parsed(std::ostream& err, bool show_progress) {
    ProgressBar bar(err, show_progress && !quiet_);
    if (extract_->parsed()) return extract_command(archives_, output_, bar, err);
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
        return dump_command(folder_, output_, recursive_, types_, consolidated, bar, err);
    }
    return std::nullopt;
}

}  // namespace quarrix::cli

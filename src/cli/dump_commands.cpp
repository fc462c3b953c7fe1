#include "dump_commands.h"

#include "commands.h"

#include "dump/extraction.h"
#include "dump/monolithic.h"
#include "dump/text.h"
#include "progress_bar.h"
#include "terminal_text.h"

#include <hpi/hpi.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>

namespace quarrix::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "quarrix-cli";

// Ctrl-C stops a dump between two files, so that no half-written file and no
// temporary folder is left behind; a second one ends the program at once.
volatile std::sig_atomic_t interrupted = 0;

class InterruptCatcher {
public:
    InterruptCatcher() {
        interrupted = 0;
        struct sigaction action {};
        action.sa_handler = [](int) { interrupted = 1; };
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptCatcher() { ::sigaction(SIGINT, &previous_, nullptr); }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

private:
    struct sigaction previous_ {};
};

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
    bool Cancel() override { return interrupted != 0; }
    void FileWritten(std::uint64_t bytes) override { bar_.add_file(bytes); }

private:
    ProgressBar& bar_;
    std::int32_t archive_ = 0;
    std::int32_t archives_ = 0;
};

// Packing for the command line: messages are left to the final summary,
// which holds every failure with its reason.
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

int summarise(const dump::DumpFailures& failures, std::ostream& err) {
    for (const dump::DumpFailure& failure : failures.Items())
        err << kProgram << ": "
            << without_controls(failure.archive.empty() ? failure.reason
                                                        : failure.archive + ": " + failure.reason)
            << '\n';
    if (failures.Empty()) return kSuccess;
    err << kProgram << ": " << failures.Items().size()
        << (failures.Items().size() == 1 ? " problem\n" : " problems\n");
    return kFailure;
}

bool make_folder(const std::string& folder, dump::DumpFailures& failures) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) failures.Add(folder, "cannot make the folder: " + error.message());
    return !error;
}

void extract_into(const std::vector<std::string>& archives, const std::string& folder,
                  ProgressBar& bar, dump::DumpFailures& failures) {
    dump::PlainArchiveList list(archives);
    BarExtraction progress(bar);
    dump::ExtractArchives(folder, list, progress, failures);
    bar.finish();
    if (interrupted && list.ListCount() > 0)
        failures.Add(std::string(), "interrupted; " + std::to_string(list.ListCount()) +
                                        " archive(s) not extracted");
}

// ---- extract ---------------------------------------------------------------

int extract_command(const std::vector<std::string>& archives, const std::string& folder,
                    ProgressBar& bar, std::ostream& err) {
    InterruptCatcher catcher;
    dump::DumpFailures failures;
    if (make_folder(folder, failures)) extract_into(archives, folder, bar, failures);
    return summarise(failures, err);
}

// ---- pack ------------------------------------------------------------------

hpi::Method method_named(const std::string& name) {
    if (name == "lz77") return hpi::Method::Lz77;
    return name == "store" ? hpi::Method::Stored : hpi::Method::Zlib;
}

// Every folder and file below `folder`, by its path inside the archive.
class FolderWalk {
public:
    FolderWalk(hpi::Writer& writer, dump::DumpFailures& failures, const std::string& archive)
        : writer_(writer), failures_(failures), archive_(archive) {}

    void add_tree(const fs::path& folder, const fs::path& skipped) {
        std::error_code error;
        fs::recursive_directory_iterator walk(folder, error), end;
        for (; !error && walk != end; walk.increment(error)) {
            const fs::directory_entry& entry = *walk;
            if (entry.path() == skipped) continue;
            add(entry, entry.path().lexically_relative(folder), walk);
        }
        if (error)
            failures_.Add(archive_, "cannot read " + folder.string() + ": " + error.message());
    }

private:
    void add(const fs::directory_entry& entry, const fs::path& relative,
             fs::recursive_directory_iterator& walk) {
        std::string stored;
        if (!hpi::utf8_to_cp1252(relative.generic_string(), stored)) {
            skip(entry, "its name has characters an archive cannot hold", walk);
            return;
        }
        for (char& c : stored)
            if (c == '/') c = '\\';
        // An archive compares names without regard to case: of two such names
        // only one could be kept, so the second is reported, not dropped.
        const auto [earlier, added] = seen_.try_emplace(dump::FoldCase(stored), entry.path().string());
        if (!added) {
            skip(entry, "differs only in case from " + earlier->second, walk);
            return;
        }
        std::error_code error;
        hpi::Error result;
        if (entry.is_symlink(error) && entry.is_directory(error))
            skip(entry, "is a link to a folder", walk);
        else if (entry.is_directory(error))
            result = writer_.add_directory(stored);
        else
            result = writer_.add_file(stored, entry.path());
        if (result)
            failures_.Add(archive_, "cannot add " + entry.path().string() + ": " + result.message);
    }

    void skip(const fs::directory_entry& entry, const std::string& why,
              fs::recursive_directory_iterator& walk) {
        failures_.Add(archive_, "skipped " + entry.path().string() + ": " + why);
        std::error_code error;
        if (entry.is_directory(error)) walk.disable_recursion_pending();
    }

    hpi::Writer& writer_;
    dump::DumpFailures& failures_;
    const std::string& archive_;
    std::map<std::string, std::string> seen_;
};

int pack_command(const std::string& folder, const std::string& archive,
                 const hpi::PackOptions& options, ProgressBar& bar, std::ostream& err) {
    dump::DumpFailures failures;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        failures.Add(folder, "not a folder");
        return summarise(failures, err);
    }
    hpi::Writer writer;
    FolderWalk walk(writer, failures, archive);
    // An earlier archive of that name inside the folder is not packed into
    // the new one.
    const fs::path base = fs::weakly_canonical(folder, error);
    walk.add_tree(base, fs::weakly_canonical(archive, error));
    bar.set_name(fs::path(archive).filename().string());
    const hpi::Error packed =
        writer.pack(archive, options, [&bar](const hpi::PackProgress& progress) {
            bar.set_bytes(progress.bytes_done);
            bar.set_fraction(double(progress.bytes_done), double(progress.bytes_total));
        });
    bar.finish();
    if (packed) failures.Add(archive, packed.message);
    return summarise(failures, err);
}

// ---- dump ------------------------------------------------------------------

// A folder of our own inside the target, on the same disk as the archive
// that will be written, removed whatever happens.
class PrivateFolder {
public:
    explicit PrivateFolder(const std::string& parent) {
        std::string pattern = (fs::path(parent) / ".quarrix-dump-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~PrivateFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

int dump_command(const std::string& scan_folder, const std::string& target, bool recursive,
                 const std::string& types, const std::optional<std::string>& consolidated,
                 ProgressBar& bar, std::ostream& err) {
    int status = kSuccess;
    const auto archives = find_archives(scan_folder, recursive, types, err, status);
    if (!archives) return status;
    InterruptCatcher catcher;
    dump::DumpFailures failures;
    if (!make_folder(target, failures)) return summarise(failures, err);
    if (!consolidated) {
        extract_into(*archives, target, bar, failures);
        return summarise(failures, err);
    }
    PrivateFolder temp(target);
    if (temp.path().empty()) {
        failures.Add(target, "cannot make a temporary folder in it");
        return summarise(failures, err);
    }
    extract_into(*archives, temp.path(), bar, failures);
    if (!interrupted) {
        BarPacking host(bar);
        dump::CreateMonolithic(target, *consolidated, temp.path(), host, failures);
    }
    return summarise(failures, err);
}

const char* const kFooter =
    "Exit status: 0 all good, 1 something failed (listed on standard error), 2 usage error.";

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
                              "left out.\n") +
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

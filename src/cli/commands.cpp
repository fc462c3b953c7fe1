#include "commands.h"

#include "collection_commands.h"
#include "dump_commands.h"
#include "json_lines.h"
#include "terminal_text.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>
#include <hpi/hpi.h>

#include <cerrno>
#include <cstring>

#include <QRegularExpression>
#include <QString>

#include "platform/find_file.h"
#include "search/search.h"
#include "settings/registered_types.h"

namespace quarrix::cli {
namespace {

constexpr const char* kProgram = "quarrix-cli";

// A failure in the words of the dump's report: "<entry>: <cause>" for one of
// the archive's files, the cause alone for the archive itself (every line
// already starts with the archive's path).
std::string describe(const std::string& entry, const hpi::Error& error)
{
    const std::string cause = hpiutil::Describe(hpiutil::FromLibrary(error, entry.empty()));
    return without_controls(entry.empty() ? cause : entry + ": " + cause);
}

void report(std::ostream& err, const std::string& archive, const std::string& what)
{
    err << kProgram << ": " << archive << ": " << what << '\n';
}

std::unique_ptr<hpi::Archive> open_or_report(const std::string& archive, std::ostream& err)
{
    auto opened = hpi::Archive::open(archive);
    if (!opened) {
        report(err, archive, describe(std::string(), opened.error()));
        return nullptr;
    }
    return std::move(opened.value());
}

// Why each file the archive lists under a damaged name cannot be read.
std::vector<std::pair<std::string, hpi::Error>> name_failures(const hpi::Archive& archive)
{
    std::vector<std::pair<std::string, hpi::Error>> failures;
    const hpi::Sink discard = [](std::span<const std::uint8_t>) { return true; };
    for (std::size_t i = 0; i < archive.entries().size(); ++i)
        if (archive.entries()[i].bad_name)
            failures.emplace_back(hpi::cp1252_to_utf8(archive.entries()[i].path), archive.read(i, discard));
    return failures;
}

// A file listed under a damaged name has its line like the others; its
// failure goes to standard error.
bool write_listing(const std::string& name, const hpi::Archive& archive, std::ostream& out, std::ostream& err)
{
    for (const hpi::Entry& entry : archive.entries()) {
        if (entry.is_directory)
            out << "d\t-\t";
        else
            out << "f\t" << entry.size << '\t';
        out << without_controls(hpi::cp1252_to_utf8(entry.path)) << '\n';
    }
    const auto failures = name_failures(archive);
    for (const auto& [entry, error] : failures)
        report(err, name, describe(entry, error));
    return failures.empty();
}

bool write_json_listing(const std::string& name, const hpi::Archive& archive, std::ostream& out,
                        std::ostream& err)
{
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    for (const hpi::Entry& entry : archive.entries()) {
        json::write(out, json::entry(name, entry));
        if (entry.is_directory)
            continue;
        ++files;
        bytes += entry.size;
    }
    const auto failures = name_failures(archive);
    for (const auto& [entry, error] : failures) {
        report(err, name, describe(entry, error));
        json::write(out, json::failure(name, entry, hpiutil::FromLibrary(error)));
    }
    json::Object summary = json::archive(name);
    summary["ok"] = failures.empty();
    summary["files"] = files;
    summary["bytes"] = bytes;
    json::write(out, summary);
    return failures.empty();
}

// An archive that could not be opened or read: its failure, then its
// archive object.
void write_json_failure(const std::string& name, const std::string& entry, const hpiutil::Failure& cause,
                        std::ostream& out)
{
    json::write(out, json::failure(name, entry, cause));
    json::Object summary = json::archive(name);
    summary["ok"] = false;
    json::write(out, summary);
}

// The first damage a full read of the archive's files meets, as
// Archive::test() finds it, with the entry it was found in.
struct Damage {
    hpi::Error error;
    std::string entry;  // UTF-8; empty when it is the archive's own
};

Damage first_damage(const hpi::Result<std::unique_ptr<hpi::Archive>>& opened)
{
    if (!opened)
        return {opened.error(), std::string()};
    const hpi::Archive& archive = *opened.value();
    const hpi::Sink discard = [](std::span<const std::uint8_t>) { return true; };
    for (std::size_t i = 0; i < archive.entries().size(); ++i) {
        const hpi::Entry& entry = archive.entries()[i];
        if (entry.is_directory)
            continue;
        if (hpi::Error error = archive.read(i, discard))
            return {error, hpi::cp1252_to_utf8(entry.path)};
    }
    return {};
}

// Returns the entry's index, or reports why there is none.
std::optional<std::size_t> find_file_or_report(const hpi::Archive& archive, const std::string& archive_name,
                                               const std::string& entry_path, std::ostream& err)
{
    std::string stored_form;
    // A name with characters that Windows-1252 cannot hold names no entry.
    const bool representable = hpi::utf8_to_cp1252(entry_path, stored_form);
    const auto index = representable ? archive.find(stored_form) : std::nullopt;
    if (!index) {
        report(err, archive_name, "no entry " + entry_path);
        return std::nullopt;
    }
    if (archive.entries()[*index].is_directory) {
        report(err, archive_name, entry_path + " is a directory");
        return std::nullopt;
    }
    return index;
}

const char* const kListFooter =
    "Each line is f<TAB>SIZE<TAB>PATH for a file or d<TAB>-<TAB>PATH for a directory,\n"
    "depth first, each directory before its contents; PATH uses \\ between levels.\n"
    "With several archives, each archive's lines follow a line \"ARCHIVE:\" and an\n"
    "empty line separates the archives. Control characters in names show as ?.\n"
    "A version-2 file whose own name is damaged is listed too; what is wrong with\n"
    "it goes to standard error, and the exit status is 1.";

const char* const kScanFooter =
    "Each line is the full path of one file whose name ends in one of the\n"
    "extensions (compared without regard to case), in the order the Quarrix window\n"
    "lists them: a directory's files first, then its subdirectories, the one\n"
    "listed last by the disk first. Subdirectories whose names begin with . are\n"
    "not entered. Control characters in paths show as ?.";

const char* const kDefaultTypes = "hpi|ufo|gp3|gp4|";

// Extensions separated by "|" or "," as the finder takes them, each followed
// by "|"; blanks around an extension are dropped. Empty when an extension
// could never match a file ending.
QString finder_extensions(std::string_view types, std::string& mistake)
{
    static const QRegularExpression separators(QStringLiteral("[|,]"));
    QString list;
    for (const QString& piece :
         QString::fromUtf8(types.data(), qsizetype(types.size())).split(separators, Qt::SkipEmptyParts)) {
        const QString extension = piece.trimmed();
        if (extension.toUcs4().size() != 3 || extension.contains(u'.')) {
            mistake = "--types: '" + extension.toStdString() + "' is not a three-character extension";
            return {};
        }
        list += extension + u'|';
    }
    if (list.isEmpty())
        mistake = "--types: no extension given";
    return list;
}

bool has_extension(const QString& list)
{
    return list.size() > list.count(u'|');
}

const char* const kExitFooter = "Exit status: 0 all good, 1 an archive or entry failed, 2 usage error.";

Output output_of(bool json)
{
    return json ? Output::Json : Output::Text;
}

}  // namespace

int list_archives(const std::vector<std::string>& archives, std::ostream& out, std::ostream& err,
                  Output output)
{
    const bool json = output == Output::Json;
    const bool with_headers = archives.size() > 1 && !json;
    int status = kSuccess;
    for (std::size_t i = 0; i < archives.size(); ++i) {
        if (with_headers)
            out << (i > 0 ? "\n" : "") << archives[i] << ":\n";
        auto opened = hpi::Archive::open(archives[i]);
        if (!opened) {
            report(err, archives[i], describe(std::string(), opened.error()));
            if (json)
                write_json_failure(archives[i], std::string(), hpiutil::FromLibrary(opened.error(), true),
                                   out);
            status = kFailure;
            continue;
        }
        const bool sound = json ? write_json_listing(archives[i], *opened.value(), out, err)
                                : write_listing(archives[i], *opened.value(), out, err);
        if (!sound)
            status = kFailure;
    }
    return status;
}

int cat_entry(const std::string& archive_name, const std::string& entry_path, std::ostream& out,
              std::ostream& err)
{
    auto archive = open_or_report(archive_name, err);
    if (!archive)
        return kFailure;
    const auto index = find_file_or_report(*archive, archive_name, entry_path, err);
    if (!index)
        return kFailure;
    const hpi::Error error = archive->read(*index, [&out](std::span<const std::uint8_t> piece) {
        out.write(reinterpret_cast<const char*>(piece.data()), std::streamsize(piece.size()));
        return bool(out);
    });
    if (error) {
        report(err, archive_name, describe(hpi::cp1252_to_utf8(archive->entries()[*index].path), error));
        return kFailure;
    }
    if (!out.flush()) {
        err << kProgram << ": cannot write to standard output\n";
        return kFailure;
    }
    return kSuccess;
}

int test_archives(const std::vector<std::string>& archives, std::ostream& out, std::ostream& err,
                  Output output)
{
    int status = kSuccess;
    for (const std::string& name : archives) {
        const Damage damage = first_damage(hpi::Archive::open(name));
        if (damage.error) {
            err << name << ": " << describe(damage.entry, damage.error) << '\n';
            status = kFailure;
        }
        if (output == Output::Text) {
            if (!damage.error)
                out << name << ": OK\n";
        } else if (damage.error) {
            write_json_failure(name, damage.entry, hpiutil::FromLibrary(damage.error, damage.entry.empty()),
                               out);
        } else {
            json::Object summary = json::archive(name);
            summary["ok"] = true;
            json::write(out, summary);
        }
    }
    return status;
}

std::optional<std::vector<std::string>> find_archives(const std::string& directory, bool recursive,
                                                      std::string_view types, std::ostream& err, int& status,
                                                      std::ostream* json)
{
    QString extensions;
    if (types.empty()) {
        extensions = RegisteredExtensionList();
        if (!has_extension(extensions))
            extensions = QString::fromLatin1(kDefaultTypes);
    } else {
        std::string mistake;
        extensions = finder_extensions(types, mistake);
        if (extensions.isEmpty()) {
            err << kProgram << ": " << mistake << '\n';
            status = kUsageError;
            return std::nullopt;
        }
    }
    const QString start = QString::fromStdString(directory);
    platform::WIN32_FIND_DATAA entry;
    platform::FindHandle probe =
        platform::FindFirstFileA((Search_::DirectoryPath(start) + u'*').toUtf8().constData(), &entry,
                                 platform::FindDetail::KindAndName);
    if (probe == platform::INVALID_HANDLE_VALUE) {
        const int error = errno;
        report(err, without_controls(directory),
               std::string("cannot read directory: ") + std::strerror(error));
        if (json)
            json::write(*json, json::folder_failure(directory, hpiutil::FromSystem(std::error_code(
                                                                   error, std::generic_category()))));
        status = kFailure;
        return std::nullopt;
    }
    platform::FindClose(probe);

    SearchProgress silent;
    Search_ finder(silent);
    finder.TrouveFichier(start, extensions, recursive);
    std::vector<std::string> archives;
    for (qint32 i = 0; i < finder.lstFiles.ListCount(); ++i)
        archives.push_back(finder.lstFiles.List(i).toString().toStdString());
    return archives;
}

int scan_directory(const std::string& directory, bool recursive, std::string_view types, std::ostream& out,
                   std::ostream& err, Output output)
{
    int status = kSuccess;
    const auto archives =
        find_archives(directory, recursive, types, err, status, output == Output::Json ? &out : nullptr);
    if (!archives)
        return status;
    for (const std::string& archive : *archives) {
        if (output == Output::Json)
            json::write(out, json::archive(archive));
        else
            out << without_controls(archive) << '\n';
    }
    return out ? kSuccess : kFailure;
}

int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool progress_on_err)
{
    CLI::App app{
        "Lists, extracts, packs, dumps and checks archives of the HPI family (hpi, ufo, gp3, gp4), and shows "
        "a collection of them as the game sees it."};
    app.name(kProgram);
    app.set_version_flag("--version", std::string(kProgram) + " " + QUARRIX_VERSION);
    app.footer(kExitFooter);
    app.require_subcommand(1);

    std::vector<std::string> list_inputs;
    bool list_json = false;
    CLI::App* list = app.add_subcommand("list", "List every entry of each archive.");
    list->add_option("ARCHIVE", list_inputs, "Archive files")->required();
    list->add_flag("--json", list_json, json::kHelp);
    list->footer(std::string(kListFooter) + "\n" + json::kFooter + "\n" + kExitFooter);

    std::string cat_input;
    std::string cat_path;
    CLI::App* cat = app.add_subcommand("cat", "Write one file of an archive to standard output.");
    cat->add_option("ARCHIVE", cat_input, "Archive file")->required();
    cat->add_option("PATH", cat_path,
                    "Path of the file inside the archive, with \\ or /, ASCII letters in any case")
        ->required();
    cat->footer(std::string("The bytes go out as they are read; a damaged file stops the output where\n"
                            "the damage is found, with exit status 1.\n") +
                kExitFooter);

    std::vector<std::string> test_inputs;
    bool test_json = false;
    CLI::App* test =
        app.add_subcommand("test", "Read and check every entry of each archive; one line per archive.");
    test->add_option("ARCHIVE", test_inputs, "Archive files")->required();
    test->add_flag("--json", test_json, json::kHelp);
    test->footer(std::string("Prints \"ARCHIVE: OK\" on standard output, or \"ARCHIVE: \" and what\n"
                             "is damaged on standard error.\n") +
                 json::kFooter + "\n" + kExitFooter);

    std::string scan_input;
    bool scan_recursive = false;
    std::string scan_types;
    CLI::App* scan = app.add_subcommand("scan", "List the archives in a directory, one full path per line.");
    scan->add_option("DIR", scan_input, "Directory to search")->required();
    bool scan_json = false;
    scan->add_flag("-r,--recursive", scan_recursive, "Search its subdirectories too");
    scan->add_flag("--json", scan_json, json::kHelp);
    scan->add_option("--types", scan_types,
                     "Extensions to look for, separated by | or , (default: the types registered "
                     "in Quarrix's Options.ini, or hpi,ufo,gp3,gp4 when none is)");
    scan->footer(std::string(kScanFooter) + "\n" + json::kFooter + "\n" +
                 "Exit status: 0 done, 1 the directory cannot be read, 2 usage error.");

    DumpCommands dump_commands(app);
    CollectionCommands collection_commands(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, out, err);
        return code == 0 ? kSuccess : kUsageError;
    }
    if (const std::optional<int> status = dump_commands.run_parsed(out, err, progress_on_err))
        return *status;
    if (const std::optional<int> status = collection_commands.run_parsed(out, err))
        return *status;
    if (list->parsed())
        return list_archives(list_inputs, out, err, output_of(list_json));
    if (cat->parsed())
        return cat_entry(cat_input, cat_path, out, err);
    if (scan->parsed())
        return scan_directory(scan_input, scan_recursive, scan_types, out, err, output_of(scan_json));
    return test_archives(test_inputs, out, err, output_of(test_json));
}

}  // namespace quarrix::cli

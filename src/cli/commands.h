// The commands of quarrix-cli, callable with any streams so that tests see
// exactly what a terminal would.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrix::cli {

enum ExitStatus : int {
    kSuccess = 0,     // every archive and entry was fine
    kFailure = 1,     // an archive or an entry failed
    kUsageError = 2,  // the command line itself was wrong
};

// What goes to standard output: the lines for people, or JSON Lines for
// scripts (see json_lines.h). Standard error says the same in both.
enum class Output { Text, Json };

// Parses the command line and runs the command it names; --help text goes to
// out, usage errors to err. progress_on_err: err is a terminal, where the
// long commands draw their progress bar.
int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
        bool progress_on_err = false);

// One line per entry in listing order: "f<TAB>SIZE<TAB>PATH" or
// "d<TAB>-<TAB>PATH", PATH with "\" between levels, in UTF-8. With more than
// one archive, each archive's lines are preceded by a line "ARCHIVE:" and
// archives are separated by an empty line. As JSON: an object per entry,
// then one per archive with its counts, or its failure.
int list_archives(const std::vector<std::string>& archives, std::ostream& out, std::ostream& err,
                  Output output = Output::Text);

// The bytes of one file entry. entry_path is UTF-8 with "\" or "/" and is
// matched without regard to ASCII case.
int cat_entry(const std::string& archive, const std::string& entry_path, std::ostream& out,
              std::ostream& err);

// Reads and checks every entry of every archive: "ARCHIVE: OK" on out, or
// "ARCHIVE: <what is damaged>" on err. As JSON: the failure, with the entry
// that is damaged when it is one, then an object per archive.
int test_archives(const std::vector<std::string>& archives, std::ostream& out, std::ostream& err,
                  Output output = Output::Text);

// One full path per line of every archive in `directory` (and with
// `recursive` in its subdirectories), in the order the program's own scan
// lists them. `types` are extensions separated by "|" or ","; empty means the
// types registered in the program's Options.ini, or hpi, ufo, gp3 and
// gp4 when none is. A directory that cannot be listed is a failure. As
// JSON: an archive object per path found, or the folder's failure.
int scan_directory(const std::string& directory, bool recursive, std::string_view types, std::ostream& out,
                   std::ostream& err, Output output = Output::Text);

// The archives scan_directory would list, full paths in UTF-8; nothing when
// the types are wrong or the directory cannot be listed, with the reason on
// err and the exit status in status; given json, the failure of a directory
// that cannot be listed goes there as a JSON line too.
std::optional<std::vector<std::string>> find_archives(const std::string& directory, bool recursive,
                                                      std::string_view types, std::ostream& err, int& status,
                                                      std::ostream* json = nullptr);

}  // namespace quarrix::cli

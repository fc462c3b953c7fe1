#include "profile.h"

#include "platform/atomic_file.h"

#include <hpi/names.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <vector>

namespace quarrix::platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBlanks = " \t\r\f\v";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool namesMatch(std::string_view a, std::string_view b)
{
    return hpi::equal_ignoring_ascii_case(trimmed(a), trimmed(b));
}

struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n" or "" for a last line without one
};

struct ProfileText {
    std::string bom;  // kept as found so that a rewrite does not drop it
    std::vector<Line> lines;
};

ProfileText splitLines(std::string_view data)
{
    ProfileText profile;
    if (data.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        profile.bom = kUtf8Bom;
        data.remove_prefix(kUtf8Bom.size());
    }
    while (!data.empty()) {
        const auto newline = data.find('\n');
        if (newline == std::string_view::npos) {
            profile.lines.push_back({std::string(data), ""});
            break;
        }
        const bool crlf = newline > 0 && data[newline - 1] == '\r';
        const auto textLength = crlf ? newline - 1 : newline;
        profile.lines.push_back({std::string(data.substr(0, textLength)), crlf ? "\r\n" : "\n"});
        data.remove_prefix(newline + 1);
    }
    return profile;
}

// The section name of a header line "[name]", or nothing for other lines.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    return trimmed(line.substr(0, line.find(']')));
}

struct Entry {
    std::string_view key;    // as written, blanks included
    std::string_view value;  // trimmed
};

std::optional<Entry> entryOf(std::string_view line)
{
    if (sectionName(line))
        return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return Entry{line.substr(0, equals), trimmed(line.substr(equals + 1))};
}

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

std::size_t findSection(const std::vector<Line>& lines, std::string_view section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i].text);
        if (name && namesMatch(*name, section))
            return i;
    }
    return kNotFound;
}

// One past the last line of the section whose header is at `header`.
std::size_t sectionEnd(const std::vector<Line>& lines, std::size_t header)
{
    std::size_t i = header + 1;
    while (i < lines.size() && !sectionName(lines[i].text))
        ++i;
    return i;
}

std::size_t findKey(const std::vector<Line>& lines, std::size_t header, std::string_view key)
{
    const std::size_t end = sectionEnd(lines, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto entry = entryOf(lines[i].text);
        if (entry && namesMatch(entry->key, key))
            return i;
    }
    return kNotFound;
}

enum class ReadOutcome { Read, Missing, Failed };

ReadOutcome readWholeFile(const fs::path& file, std::string& data)
{
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (status.type() == fs::file_type::not_found)
        return ReadOutcome::Missing;
    if (error || status.type() != fs::file_type::regular)
        return ReadOutcome::Failed;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return ReadOutcome::Failed;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? ReadOutcome::Failed : ReadOutcome::Read;
}

bool containsAny(std::string_view text, std::string_view characters)
{
    return text.find_first_of(characters) != std::string_view::npos;
}

bool safeToWrite(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string_view lineBreaksAndNul("\r\n\0", 3);
    if (containsAny(section, lineBreaksAndNul) || containsAny(key, lineBreaksAndNul) ||
        containsAny(value, lineBreaksAndNul))
        return false;
    const std::string_view cleanSection = trimmed(section);
    const std::string_view cleanKey = trimmed(key);
    return !cleanSection.empty() && !containsAny(cleanSection, "]") && !cleanKey.empty() &&
           !containsAny(cleanKey, "=") && cleanKey.front() != '[';
}

// The line end that new lines get: the file's own style, CRLF for a new file.
std::string lineEndStyle(const std::vector<Line>& lines)
{
    for (const Line& line : lines)
        if (!line.end.empty())
            return line.end;
    return "\r\n";
}

void setValue(ProfileText& profile, std::string_view section, std::string_view key, std::string_view value)
{
    std::vector<Line>& lines = profile.lines;
    const std::string end = lineEndStyle(lines);
    const std::string entryText = std::string(trimmed(key)) + "=" + std::string(value);

    const std::size_t header = findSection(lines, section);
    if (header == kNotFound) {
        if (!lines.empty() && lines.back().end.empty())
            lines.back().end = end;
        lines.push_back({"[" + std::string(trimmed(section)) + "]", end});
        lines.push_back({entryText, end});
        return;
    }
    const std::size_t existing = findKey(lines, header, key);
    if (existing != kNotFound) {
        // Keep the key as it was written (its case and blanks); only the value changes.
        std::string& text = lines[existing].text;
        text = text.substr(0, text.find('=') + 1) + std::string(value);
        return;
    }
    // After the last non-blank line of the section, so that blank lines that
    // separate it from the next section stay where they are.
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < sectionEnd(lines, header); ++i)
        if (!trimmed(lines[i].text).empty())
            insertAt = i + 1;
    if (lines[insertAt - 1].end.empty())
        lines[insertAt - 1].end = end;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), Line{entryText, end});
}

std::string joinLines(const ProfileText& profile)
{
    std::string data = profile.bom;
    for (const Line& line : profile.lines)
        data += line.text + line.end;
    return data;
}

// Readers see either the old or the new text, never a part, and the new
// text is on the disk before the call returns. `mode` is the mode of the file
// replaced, if there was one.
bool replaceAtomically(const fs::path& file, std::string_view data, std::optional<mode_t> mode)
{
    AtomicFile replacement;
    std::error_code error;
    return replacement.Create(file, error) && replacement.Write(data.data(), data.size(), error) &&
           (!mode || ::fchmod(replacement.fd(), *mode) == 0) && replacement.Commit(Durability::Synced, error);
}

// Writable for us, and not marked read-only: a file or folder without any
// write permission bit is read-only for everyone, the superuser included, as
// a read-only file is on the desktop the program comes from.
bool writable(const fs::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return true;  // a missing folder fails later, when the file is created
    return (info.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// A link to the options file is kept as a link: the file it points to is
// the one replaced.
fs::path resolvedTarget(const fs::path& file)
{
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(file, error)))
        return file;
    const fs::path target = fs::weakly_canonical(file, error);
    return error ? file : target;
}

}  // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const fs::path& file)
{
    std::string data;
    if (readWholeFile(file, data) != ReadOutcome::Read)
        return std::string(defaultValue);
    const ProfileText profile = splitLines(data);
    const std::size_t header = findSection(profile.lines, section);
    if (header == kNotFound)
        return std::string(defaultValue);
    const std::size_t line = findKey(profile.lines, header, key);
    if (line == kNotFound)
        return std::string(defaultValue);
    const std::string_view value = entryOf(profile.lines[line].text)->value;
    return std::string(value.substr(0, value.find('\0')));
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const fs::path& file)
{
    if (!safeToWrite(section, key, value))
        return false;
    const fs::path target = resolvedTarget(file);
    std::string data;
    std::optional<mode_t> mode;
    switch (readWholeFile(target, data)) {
        case ReadOutcome::Failed:
            return false;
        case ReadOutcome::Read: {
            // A read-only file stays as it is, although the folder would let us
            // replace it.
            struct stat info {};
            if (!writable(target) || ::stat(target.c_str(), &info) != 0)
                return false;
            mode = info.st_mode & 07777;
            break;
        }
        case ReadOutcome::Missing:
            break;
    }
    if (!writable(target.has_parent_path() ? target.parent_path() : fs::path(".")))
        return false;
    ProfileText profile = splitLines(data);
    setValue(profile, section, key, value);
    return replaceAtomically(target, joinLines(profile), mode);
}

}  // namespace quarrix::platform

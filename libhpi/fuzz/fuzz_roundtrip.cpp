// Bytes -> a small tree of directories and files with arbitrary Windows-1252
// names and contents -> Writer::pack with a method and version chosen by the
// input ->
// Archive::open -> every entry must come back identical, in the writer's
// order (each directory before its contents, siblings sorted with ASCII
// letters folded).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>
#include <hpi/hpi.h>

#include "fuzz_check.h"

namespace {
namespace fs = std::filesystem;

// One scratch folder per fuzzing process, removed when it ends.
const fs::path& work_dir()
{
    static const fs::path dir = [] {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "quarrix-fuzz-XXXXXX").string();
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(work_dir(), ignored);
        });
        return fs::path(pattern);
    }();
    return dir;
}

std::string folded(std::string_view text)
{
    std::string key(text);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return key;
}

std::string parent_of(const std::string& path)
{
    const auto cut = path.rfind('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string name_of(const std::string& path)
{
    const auto cut = path.rfind('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A name the format can hold: no separators or NUL, not "." or "..".
std::string take_name(FuzzedDataProvider& in)
{
    std::string name = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(1, 12));
    for (char& c : name)
        if (c == '\\' || c == '/' || c == '\0')
            c = '_';
    if (name.empty() || name == "." || name == "..")
        name = "n";
    return name;
}

// Mostly short; now and then grown to just around one or two 64 KiB chunk
// boundaries, where the chunking can go wrong.
std::string take_content(FuzzedDataProvider& in)
{
    std::string content = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 300));
    if (in.ConsumeIntegralInRange<int>(0, 15) == 15 && !content.empty()) {
        const std::size_t boundary = in.ConsumeBool() ? 65536 : 131072;
        const std::size_t target = boundary - 2 + in.ConsumeIntegralInRange<std::size_t>(0, 4);
        while (content.size() < target)
            content += content;
        content.resize(target);
    }
    return content;
}

void write_disk_file(const fs::path& file, const std::string& content)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    FUZZ_CHECK(bool(out), "writing a disk file");
}

struct Expected {
    bool is_directory = false;
    std::string content;
};

std::string read_whole(const hpi::Archive& archive, std::size_t index)
{
    std::string content;
    const hpi::Error error = archive.read(index, [&](std::span<const std::uint8_t> piece) {
        content.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        return true;
    });
    FUZZ_CHECK(!error, "an entry of our own archive does not read back");
    return content;
}

void check_order(const std::vector<hpi::Entry>& entries)
{
    std::set<std::string> directories_so_far;
    std::map<std::string, std::string> last_sibling;  // parent -> folded name of its last child
    for (const hpi::Entry& entry : entries) {
        const std::string parent = parent_of(entry.path);
        FUZZ_CHECK(parent.empty() || directories_so_far.count(parent) == 1,
                   "an entry comes before its directory");
        const std::string key = folded(name_of(entry.path));
        auto last = last_sibling.find(parent);
        if (last != last_sibling.end()) {
            // std::string compares as unsigned bytes in char_traits<char>.
            FUZZ_CHECK(last->second < key, "siblings are not sorted case-insensitively");
        }
        last_sibling[parent] = key;
        if (entry.is_directory)
            directories_so_far.insert(entry.path);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    hpi::PackOptions options;
    options.method = hpi::Method(in.ConsumeIntegralInRange<int>(0, 2));
    options.zlib_level = in.ConsumeIntegralInRange<int>(1, 12);
    options.threads = in.ConsumeIntegralInRange<unsigned>(1, 3);
    options.version = in.ConsumeBool() ? 2 : 1;
    if (options.version == 2 && options.method == hpi::Method::Lz77)
        options.method = hpi::Method::Zlib;
    bool only_version1_holds = false;  // a name with a control byte

    hpi::Writer writer;
    std::map<std::string, Expected> expected;     // archive path -> what it holds
    std::set<std::string> taken;                  // folded paths already used
    std::vector<std::string> directories = {""};  // "" is the root
    const int items = in.ConsumeIntegralInRange<int>(0, 24);
    for (int i = 0; i < items && in.remaining_bytes() > 0; ++i) {
        const bool is_directory = in.ConsumeBool();
        const std::string& parent =
            directories[in.ConsumeIntegralInRange<std::size_t>(0, directories.size() - 1)];
        const std::string name = take_name(in);
        const std::string path = parent.empty() ? name : parent + "\\" + name;
        if (!taken.insert(folded(path)).second)
            continue;
        for (char c : name)
            only_version1_holds |= static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (is_directory) {
            FUZZ_CHECK(!writer.add_directory(path), "a valid directory path was refused");
            directories.push_back(path);
            expected[path] = {true, {}};
        } else {
            const std::string content = take_content(in);
            const fs::path disk_file = work_dir() / ("file" + std::to_string(i));
            write_disk_file(disk_file, content);
            FUZZ_CHECK(!writer.add_file(path, disk_file), "a valid file path was refused");
            expected[path] = {false, content};
        }
    }

    const fs::path target = work_dir() / "archive.hpi";
    bool progress_ended_full = true;
    const hpi::Error packed = writer.pack(target, options, [&](const hpi::PackProgress& progress) {
        FUZZ_CHECK(progress.bytes_done <= progress.bytes_total, "progress past its total");
        progress_ended_full = progress.bytes_done == progress.bytes_total;
    });
    if (options.version == 2 && only_version1_holds) {
        FUZZ_CHECK(packed.kind == hpi::ErrorKind::InvalidArgument,
                   "version 2 packed a control byte in a name");
        return 0;
    }
    FUZZ_CHECK(!packed, "packing a valid tree failed");
    FUZZ_CHECK(progress_ended_full, "the last progress report is not complete");

    auto opened = hpi::Archive::open(target);
    FUZZ_CHECK(opened.ok(), "our own archive does not open");
    const hpi::Archive& archive = *opened.value();
    const std::vector<hpi::Entry>& entries = archive.entries();
    FUZZ_CHECK(entries.size() == expected.size(), "entry count differs");
    check_order(entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto wanted = expected.find(entries[i].path);
        FUZZ_CHECK(wanted != expected.end(), "an entry that was never added");
        FUZZ_CHECK(wanted->second.is_directory == entries[i].is_directory, "entry kind differs");
        if (entries[i].is_directory)
            continue;
        FUZZ_CHECK(entries[i].size == wanted->second.content.size(), "file size differs");
        FUZZ_CHECK(read_whole(archive, i) == wanted->second.content, "file content differs");
    }
    FUZZ_CHECK(!archive.test(), "test() finds damage in our own archive");
    return 0;
}

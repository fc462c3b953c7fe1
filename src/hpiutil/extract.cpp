#include "hpiutil/extract.h"

#include <cstdint>
#include <span>
#include <system_error>

#include "platform/stop_signals.h"

namespace hpiutil {

using quarrix::platform::AtomicFile;
using quarrix::platform::IsSingleSafeName;

std::optional<Destination> split_destination(std::string_view destination, std::size_t levels)
{
    if (levels == 0)
        return std::nullopt;
    std::vector<std::string> below;  // last level first
    std::string_view rest = destination;
    bool has_root = true;
    for (std::size_t i = 0; i < levels; ++i) {
        if (!has_root)
            return std::nullopt;
        const std::size_t separator = rest.rfind('/');
        const std::string_view level =
            separator == std::string_view::npos ? rest : rest.substr(separator + 1);
        if (!IsSingleSafeName(level))
            return std::nullopt;
        below.emplace_back(level);
        has_root = separator != std::string_view::npos;
        rest = rest.substr(0, has_root ? separator : 0);
    }
    Destination split;
    split.root = !has_root      ? std::filesystem::path(".")
                 : rest.empty() ? std::filesystem::path("/")
                                : std::filesystem::path(rest);
    split.file = std::move(below.front());
    for (std::size_t i = below.size() - 1; i > 0; --i)
        split.folders.push_back(std::move(below[i]));
    return split;
}

FolderCache::Folder FolderCache::find(const Destination& destination)
{
    std::lock_guard lock(mutex_);
    for (auto kept = kept_.rbegin(); kept != kept_.rend(); ++kept)
        if (kept->folders == destination.folders && kept->root == destination.root)
            return kept->folder;
    return nullptr;
}

void FolderCache::keep(const Destination& destination, Folder folder)
{
    std::lock_guard lock(mutex_);
    std::erase_if(kept_, [&](const Kept& kept) {
        return kept.folders == destination.folders && kept.root == destination.root;
    });
    if (kept_.size() == kKept)
        kept_.erase(kept_.begin());
    kept_.push_back(Kept{destination.root, destination.folders, std::move(folder)});
}

bool FolderCache::create_file(const Destination& destination, AtomicFile& file, std::error_code& error)
{
    // A kept folder that someone removed meanwhile is opened afresh.
    if (Folder kept = find(destination); kept && file.CreateIn(std::move(kept), destination.file, error))
        return true;
    auto opened = std::make_shared<quarrix::platform::UniqueFd>(
        quarrix::platform::OpenFolderBeneath(destination.root, destination.folders, true, error));
    if (!*opened)
        return false;
    keep(destination, opened);
    return file.CreateIn(std::move(opened), destination.file, error);
}

Failure extract_beneath(const hpi::Archive& archive, std::size_t index, const Destination& destination,
                        FolderCache& folders)
{
    const hpi::Entry& entry = archive.entries()[index];
    if (entry.is_directory)
        return Because(Cause::Other, "a folder, not a file");
    // A file listed under a damaged name fails before anything is made on disk.
    if (entry.bad_name)
        return FromLibrary(archive.read(index, [](std::span<const std::uint8_t>) { return false; }));
    std::error_code error;
    AtomicFile file;
    if (!folders.create_file(destination, file, error))
        return FromSystem(error);
    std::uint64_t written = 0;
    bool write_failed = false;
    bool stopped = false;
    const hpi::Error read_error = archive.read(index, [&](std::span<const std::uint8_t> piece) {
        // A large entry is given up between two pieces when a signal asks
        // the program to stop: its temporary file goes with it.
        stopped = quarrix::platform::StopRequested();
        write_failed = !stopped && !file.Write(piece.data(), piece.size(), error);
        written += piece.size();
        return !write_failed && !stopped;
    });
    if (read_error)
        return FromLibrary(read_error);
    if (write_failed)
        return FromSystem(error);
    if (stopped)
        return Because(Cause::Interrupted);
    // The reader checks sizes itself; this keeps a short file from ever
    // replacing a good one should that check miss.
    if (written != entry.size)
        return Failure{Cause::Damaged,
                       {},
                       hpi::ErrorKind::BadCompressedData,
                       false,
                       std::to_string(written) + " bytes instead of " + std::to_string(entry.size)};
    // Durability is left to the system: a dump writes thousands of files that
    // the archives can give again.
    if (!file.Commit(quarrix::platform::Durability::None, error))
        return FromSystem(error);
    return {};
}

}  // namespace hpiutil

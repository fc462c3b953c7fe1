#include "hpiutil/extract.h"

#include <cstdint>
#include <span>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/beneath.h"

namespace hpiutil {

using quarrix::platform::AtomicFile;
using quarrix::platform::IsSingleSafeName;

std::optional<Destination> split_destination(std::string_view destination, std::size_t levels) {
    if (levels == 0) return std::nullopt;
    std::vector<std::string> below;  // last level first
    std::string_view rest = destination;
    bool has_root = true;
    for (std::size_t i = 0; i < levels; ++i) {
        if (!has_root) return std::nullopt;
        const std::size_t separator = rest.rfind('/');
        const std::string_view level = separator == std::string_view::npos ? rest : rest.substr(separator + 1);
        if (!IsSingleSafeName(level)) return std::nullopt;
        below.emplace_back(level);
        has_root = separator != std::string_view::npos;
        rest = rest.substr(0, has_root ? separator : 0);
    }
    Destination split;
    split.root = !has_root ? std::filesystem::path(".")
                 : rest.empty() ? std::filesystem::path("/")
                                : std::filesystem::path(rest);
    split.file = std::move(below.front());
    for (std::size_t i = below.size() - 1; i > 0; --i) split.folders.push_back(std::move(below[i]));
    return split;
}

bool extract_beneath(const hpi::Archive& archive, std::size_t index, const Destination& destination) {
    const hpi::Entry& entry = archive.entries()[index];
    if (entry.is_directory) return false;
    std::error_code error;
    const auto folder = quarrix::platform::OpenFolderBeneath(destination.root, destination.folders, true, error);
    if (!folder) return false;
    AtomicFile file;
    if (!file.CreateIn(folder.get(), destination.file, error)) return false;
    std::uint64_t written = 0;
    bool write_failed = false;
    const hpi::Error read_error = archive.read(index, [&](std::span<const std::uint8_t> piece) {
        write_failed = !file.Write(piece.data(), piece.size(), error);
        written += piece.size();
        return !write_failed;
    });
    // The reader checks sizes itself; this keeps a short file from ever
    // replacing a good one should that check miss.
    if (read_error || write_failed || written != entry.size) return false;
    // Durability is left to the system: a dump writes thousands of files that
    // the archives can give again.
    return file.Commit(quarrix::platform::Durability::None, error);
}

}  // namespace hpiutil

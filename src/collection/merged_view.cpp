#include "collection/merged_view.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "dump/text.h"
#include "hpiutil/listing.h"

namespace quarrix::collection {
namespace {

std::chrono::nanoseconds modification_time(const std::string& path)
{
    std::error_code error;
    const auto written = std::filesystem::last_write_time(std::filesystem::path(path), error);
    if (error)
        return std::chrono::nanoseconds{0};
    const auto system = std::chrono::file_clock::to_sys(written);
    return std::chrono::duration_cast<std::chrono::nanoseconds>(system.time_since_epoch());
}

Member open_member(const std::string& path)
{
    Member member;
    member.path = path;
    auto opened = hpi::Archive::open(std::filesystem::path(path));
    if (!opened) {
        member.error = opened.error();
        return member;
    }
    member.archive = std::move(opened.value());
    member.modified = modification_time(path);
    return member;
}

// A file where a folder would go, or a folder where a file would: what the
// system answers the dump then.
hpiutil::Failure in_the_way(int error)
{
    return hpiutil::FromSystem(std::error_code(error, std::generic_category()));
}

}  // namespace

MergedView MergedView::build(const std::vector<std::string>& archives)
{
    MergedView view;
    view.add_node(kRoot, std::string(), true, 0);
    for (const std::string& path : archives) {
        view.members_.push_back(open_member(path));
        if (view.members_.back().archive)
            view.merge(std::uint32_t(view.members_.size() - 1));
    }
    return view;
}

// The dump names what its listing leaves out, then makes all of an archive's
// folders before it writes any of its files, both in listing order.
void MergedView::merge(std::uint32_t member)
{
    const hpi::Archive& archive = *members_[member].archive;
    const hpiutil::Listing listing = hpiutil::build_listing(archive.entries());
    for (const hpiutil::OmittedEntry& omitted : listing.omitted)
        refuse(member, omitted.name, false, omitted.cause);
    for (const hpiutil::ListedEntry& listed : listing.entries)
        if (listed.is_directory)
            make_folders(member, listed.name);
    for (const hpiutil::ListedEntry& listed : listing.entries)
        if (!listed.is_directory)
            place_file(member, listed.name, listed.index);
}

void MergedView::make_folders(std::uint32_t member, const std::string& listed)
{
    const auto components = dump::SafeComponents(listed);
    if (!components) {
        refuse(member, listed, false, hpiutil::Because(hpiutil::Cause::UnsafeName));
        return;
    }
    NodeId folder = kRoot;
    for (const std::string& component : *components) {
        const auto next = folder_in(folder, component, member);
        if (!next) {
            refuse(member, listed, true, in_the_way(ENOTDIR));
            return;
        }
        folder = *next;
    }
}

void MergedView::place_file(std::uint32_t member, const std::string& listed, std::size_t index)
{
    const auto components = dump::SafeComponents(listed);
    if (!components) {
        refuse(member, listed, false, hpiutil::Because(hpiutil::Cause::UnsafeName));
        return;
    }
    NodeId folder = kRoot;
    // The extraction makes a file's missing folders itself.
    for (std::size_t level = 0; level + 1 < components->size(); ++level) {
        const auto next = folder_in(folder, (*components)[level], member);
        if (!next) {
            refuse(member, listed, false, in_the_way(ENOTDIR));
            return;
        }
        folder = *next;
    }
    // The contract looks the listed name up again, exact spelling first, so
    // of two entries of one path the first one is what both extract. Listed
    // names come back to the stored bytes exactly.
    const hpi::Archive& archive = *members_[member].archive;
    const std::size_t found = archive.find(archive.entries()[index].path).value_or(index);
    const hpi::Entry& entry = archive.entries()[found];
    const std::string& name = components->back();
    const FolderIndex& names = folders_[folder_slot_[folder]];
    const auto existing = child_named(folder, names.names.Match(name));
    if (entry.is_directory || (existing && nodes_[*existing].is_folder)) {
        refuse(member, listed, false, in_the_way(EISDIR));
        return;
    }
    if (!existing) {
        const NodeId id = add_node(folder, name, false, member);
        nodes_[id].entry = std::uint32_t(found);
        nodes_[id].size = entry.size;
        return;
    }
    Node& file = nodes_[*existing];
    file.overridden.push_back(file.kept());
    file.member = member;
    file.entry = std::uint32_t(found);
    file.size = entry.size;
}

std::optional<NodeId> MergedView::folder_in(NodeId folder, const std::string& name, std::uint32_t member)
{
    const auto existing = child_named(folder, folders_[folder_slot_[folder]].names.Match(name));
    if (!existing)
        return add_node(folder, name, true, member);
    if (!nodes_[*existing].is_folder)
        return std::nullopt;
    return existing;
}

std::optional<NodeId> MergedView::child_named(NodeId folder, const std::string& exact) const
{
    const FolderIndex& index = folders_[folder_slot_[folder]];
    const auto found = index.by_name.find(exact);
    if (found == index.by_name.end())
        return std::nullopt;
    return found->second;
}

NodeId MergedView::add_node(NodeId parent, const std::string& name, bool is_folder, std::uint32_t member)
{
    const auto id = NodeId(nodes_.size());
    Node node;
    node.name = name;
    node.parent = parent;
    node.is_folder = is_folder;
    node.member = member;
    nodes_.push_back(std::move(node));
    folder_slot_.push_back(is_folder ? std::uint32_t(folders_.size()) : 0);
    if (is_folder)
        folders_.emplace_back();
    if (id != kRoot) {
        FolderIndex& index = folders_[folder_slot_[parent]];
        index.names.Add(name);
        index.by_name.emplace(name, id);
        nodes_[parent].children.push_back(id);
        if (is_folder)
            ++nodes_[parent].subfolders;
    }
    return id;
}

void MergedView::refuse(std::uint32_t member, const std::string& listed, bool folder, hpiutil::Failure cause)
{
    refused_.push_back({member, listed, folder, std::move(cause)});
}

dump::DumpFailures MergedView::failures() const
{
    dump::DumpFailures failures;
    auto refused = refused_.begin();  // in the order of the archives
    for (std::uint32_t m = 0; m < members_.size(); ++m) {
        const std::string& path = members_[m].path;
        if (!members_[m].archive)
            failures.Add(path, std::string(), hpiutil::FromLibrary(members_[m].error, true));
        for (; refused != refused_.end() && refused->member == m; ++refused) {
            if (refused->folder)
                failures.AddFolder(path, refused->entry, refused->cause);
            else
                failures.Add(path, refused->entry, refused->cause);
        }
    }
    return failures;
}

std::optional<NodeId> MergedView::child(NodeId folder, const std::string& name) const
{
    if (folder >= nodes_.size() || !nodes_[folder].is_folder)
        return std::nullopt;
    return child_named(folder, folders_[folder_slot_[folder]].names.Match(name));
}

std::optional<NodeId> MergedView::find(std::string_view path) const
{
    NodeId id = kRoot;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start) {
            const auto next = child(id, std::string(path.substr(start, end - start)));
            if (!next)
                return std::nullopt;
            id = *next;
        }
        start = end + 1;
    }
    return id;
}

std::string MergedView::path_of(NodeId id, char separator) const
{
    std::vector<NodeId> chain;
    for (NodeId at = id; at != kRoot; at = nodes_[at].parent)
        chain.push_back(at);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += separator;
        path += nodes_[*it].name;
    }
    return path;
}

}  // namespace quarrix::collection

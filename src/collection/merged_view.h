// The collection as the game sees it: every folder and file that an unpacked
// dump of the archives writes on an empty target, with the same names spelled
// the same way, and for each file the archive whose copy the dump keeps and
// the copies it writes over.
//
// The view is made from the archives' listings alone; nothing is
// decompressed. It follows the dump's own rules, through the dump's own
// functions: the listing the archive contract hands the dump (UTF-8 names,
// none longer than the contract's buffer), the safe split of an entry path,
// and the case-folded name matching of each folder. Each archive makes its
// folders first and then writes its files, archives in order, so a later
// archive's copy replaces an earlier one. Entries the dump could not write (a
// name too long for the listing or damaged in the archive, a path that leaves
// the target, a file where a folder should be, a file named like a folder
// already there) are kept as refusals with the dump's causes, so that the
// view and the dump report the same entries in the same order.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <hpi/hpi.h>

#include "dump/failures.h"
#include "dump/folder_names.h"
#include "hpiutil/failure.h"

namespace quarrix::collection {

using NodeId = std::uint32_t;
inline constexpr NodeId kRoot = 0;

// One archive of the collection, open for the life of the view: its file
// stays readable as it was when opened even if it is replaced or removed.
struct Member {
    std::string path;                       // as given, UTF-8
    std::unique_ptr<hpi::Archive> archive;  // null when it could not be opened
    hpi::Error error;                       // why it could not be opened
    std::chrono::nanoseconds modified{0};   // since the epoch
};

// One archive's copy of a file: members()[member].archive->entries()[entry].
struct Copy {
    std::uint32_t member = 0;
    std::uint32_t entry = 0;
};

struct Node {
    std::string name;  // as the dump spells it on disk, UTF-8; empty for the root
    NodeId parent = kRoot;
    bool is_folder = false;
    std::uint32_t member = 0;  // the folder's maker, or the archive whose copy is kept
    // Files only.
    std::uint32_t entry = 0;  // the kept copy's entry
    std::uint64_t size = 0;
    std::vector<Copy> overridden;  // the copies written over, in dump order
    // Folders only.
    std::vector<NodeId> children;  // in the order the dump makes them
    std::uint32_t subfolders = 0;

    Copy kept() const { return {member, entry}; }
};

// An entry the dump cannot write, with the cause the dump reports for it.
struct Refused {
    std::uint32_t member = 0;
    std::string entry;    // the entry's path as listed, UTF-8
    bool folder = false;  // the entry is a folder
    hpiutil::Failure cause;
};

class MergedView {
public:
    // Opens the archives (UTF-8 paths, in dump order) and merges their
    // listings. An archive that cannot be opened adds nothing, as in a dump,
    // and keeps its error.
    static MergedView build(const std::vector<std::string>& archives);

    const std::vector<Member>& members() const { return members_; }
    // nodes()[kRoot] is the target folder itself.
    const std::vector<Node>& nodes() const { return nodes_; }
    const Node& node(NodeId id) const { return nodes_[id]; }
    const std::vector<Refused>& refused() const { return refused_; }
    // What a dump of the archives would report, in its order: the archives
    // that cannot be opened and the refused entries.
    dump::DumpFailures failures() const;

    // The child of `folder` that `name` goes to, names compared without
    // regard to ASCII case as the game compares them.
    std::optional<NodeId> child(NodeId folder, const std::string& name) const;
    // The node a "\" or "/" separated path names, in any ASCII case.
    std::optional<NodeId> find(std::string_view path) const;

    // The node's path below the target, names joined by `separator`.
    std::string path_of(NodeId id, char separator = '\\') const;

    const hpi::Archive& archive_of(const Copy& copy) const { return *members_[copy.member].archive; }
    const hpi::Entry& entry_of(const Copy& copy) const { return archive_of(copy).entries()[copy.entry]; }

private:
    struct FolderIndex {
        dump::FolderNames names;
        std::unordered_map<std::string, NodeId> by_name;  // by the name as spelled
    };

    void merge(std::uint32_t member);
    void make_folders(std::uint32_t member, const std::string& listed);
    void place_file(std::uint32_t member, const std::string& listed, std::size_t index);
    // The folder below `folder` named `name`, made when missing; nothing when
    // a file has that name.
    std::optional<NodeId> folder_in(NodeId folder, const std::string& name, std::uint32_t member);
    std::optional<NodeId> child_named(NodeId folder, const std::string& exact) const;
    NodeId add_node(NodeId parent, const std::string& name, bool is_folder, std::uint32_t member);
    void refuse(std::uint32_t member, const std::string& listed, bool folder, hpiutil::Failure cause);

    std::vector<Member> members_;
    std::vector<Node> nodes_;
    std::vector<FolderIndex> folders_;        // a folder node's is folders_[folder_slot_[id]]
    std::vector<std::uint32_t> folder_slot_;  // by node
    std::vector<Refused> refused_;
};

}  // namespace quarrix::collection

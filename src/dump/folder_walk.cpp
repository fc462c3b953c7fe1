#include "folder_walk.h"

#include "hpiutil/text.h"
#include "platform/folder_listing.h"
#include "platform/stop_signals.h"
#include "text.h"

#include <hpi/hpi.h>

#include <filesystem>
#include <map>
#include <vector>

namespace quarrix::dump {

namespace {

using hpiutil::Because;
using hpiutil::Cause;
using platform::FolderEntry;

class Walk {
public:
    Walk(PackingTarget& target, DumpFailures& failures, const std::string& archive,
         const std::optional<platform::FileIdentity>& leaveOut)
        : target_(target), failures_(failures), archive_(archive), leaveOut_(leaveOut)
    {
    }

    void Folder(const std::string& diskFolder, const std::string& archivePath)
    {
        std::vector<FolderEntry> entries;
        platform::FileIdentity self;
        std::error_code error;
        if (!platform::ListFolder(diskFolder, entries, self, error)) {
            failures_.AddFolder(archive_, archivePath.empty() ? diskFolder : archivePath,
                                hpiutil::FromSystem(error));
            return;
        }
        foldersSeen_.try_emplace(self, diskFolder);
        for (const FolderEntry& entry : entries) {
            if (platform::StopRequested())
                return;
            Entry(entry, (std::filesystem::path(diskFolder) / entry.name).string(), archivePath);
        }
    }

private:
    void Entry(const FolderEntry& entry, const std::string& diskPath, const std::string& parentPath)
    {
        const std::string archivePath = parentPath.empty() ? entry.name : parentPath + "\\" + entry.name;
        const bool isFolder = entry.kind == FolderEntry::Kind::Folder;
        if (const hpiutil::Failure refused = RefusedName(entry.name, diskPath, archivePath)) {
            Report(isFolder, refused.cause == Cause::NotUtf8 ? diskPath : archivePath, refused);
            return;
        }
        if (isFolder) {
            if (entry.isLink) {
                Report(true, archivePath, Because(Cause::LinkToFolder));
                return;
            }
            const auto [earlier, first] = foldersSeen_.try_emplace(entry.identity, diskPath);
            if (!first) {
                Report(true, archivePath, Because(Cause::FolderTwice, "as " + earlier->second));
                return;
            }
            if (const hpiutil::Failure failure = target_.AddFolder(archivePath))
                Report(true, archivePath, failure);
            Folder(diskPath, archivePath);
            return;
        }
        if (entry.kind == FolderEntry::Kind::Nothing) {
            Report(false, archivePath,
                   hpiutil::FromSystem(std::make_error_code(std::errc::no_such_file_or_directory)));
            return;
        }
        if (entry.kind == FolderEntry::Kind::Other) {
            Report(false, archivePath, Because(Cause::NotAFile));
            return;
        }
        if (leaveOut_ && entry.identity == *leaveOut_)
            return;
        if (const hpiutil::Failure failure = target_.AddFile(archivePath, diskPath))
            Report(false, archivePath, failure);
    }

    // Why an archive cannot hold this name, or no failure (the name is then
    // taken: a later name differing only in case is refused).
    hpiutil::Failure RefusedName(const std::string& name, const std::string& diskPath,
                                 const std::string& archivePath)
    {
        if (!hpiutil::is_valid_utf8(name))
            return Because(Cause::NotUtf8);
        std::string stored;
        if (!hpi::utf8_to_cp1252(archivePath, stored))
            return Because(Cause::NotCp1252);
        if (name.find('\\') != std::string::npos)
            return Because(Cause::Other, "a name holding \\ would be two levels inside an archive");
        const auto [earlier, added] = namesTaken_.try_emplace(FoldCase(stored), diskPath);
        if (!added)
            return Because(Cause::CaseCollision, earlier->second);
        return {};
    }

    void Report(bool folder, const std::string& entry, const hpiutil::Failure& failure)
    {
        if (folder)
            failures_.AddFolder(archive_, entry, failure);
        else
            failures_.Add(archive_, entry, failure);
    }

    PackingTarget& target_;
    DumpFailures& failures_;
    const std::string& archive_;
    const std::optional<platform::FileIdentity>& leaveOut_;
    std::map<std::string, std::string> namesTaken_;              // folded archive path -> disk path
    std::map<platform::FileIdentity, std::string> foldersSeen_;  // -> disk path
};

}  // namespace

void WalkFolderForPacking(const std::string& folder, const std::string& archivePath, PackingTarget& target,
                          DumpFailures& failures, const std::string& archive,
                          const std::optional<platform::FileIdentity>& leaveOut)
{
    Walk(target, failures, archive, leaveOut).Folder(folder, archivePath);
}

}  // namespace quarrix::dump

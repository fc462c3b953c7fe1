#include "platform/folder_listing.h"

#include "platform/beneath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace quarrix::platform {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using OpenDir = std::unique_ptr<DIR, DirCloser>;

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

bool IsDotOrDotDot(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

FileIdentity Identity(const struct stat& status)
{
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

FolderEntry::Kind KindOf(const struct stat& status)
{
    if (S_ISDIR(status.st_mode))
        return FolderEntry::Kind::Folder;
    return S_ISREG(status.st_mode) ? FolderEntry::Kind::File : FolderEntry::Kind::Other;
}

// Reads every name of an open listing; the caller keeps it open.
template <class Each>
bool ReadAll(DIR* dir, std::error_code& error, Each each)
{
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsDotOrDotDot(entry->d_name))
            each(*entry);
        errno = 0;
    }
    if (errno != 0) {
        error = lastError();
        return false;
    }
    error.clear();
    return true;
}

}  // namespace

bool ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries, FileIdentity& self,
                std::error_code& error)
{
    entries.clear();
    OpenDir dir(::opendir(folder.c_str()));
    struct stat status {};
    if (!dir || ::fstat(::dirfd(dir.get()), &status) != 0) {
        error = lastError();
        return false;
    }
    self = Identity(status);
    const int fd = ::dirfd(dir.get());
    return ReadAll(dir.get(), error, [&](const dirent& found) {
        FolderEntry entry;
        entry.name = found.d_name;
        struct stat own {};
        entry.isLink = found.d_type == DT_LNK ||
                       (found.d_type == DT_UNKNOWN &&
                        ::fstatat(fd, found.d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode));
        struct stat target {};
        if (::fstatat(fd, found.d_name, &target, 0) == 0) {
            entry.kind = KindOf(target);
            entry.identity = Identity(target);
            entry.size = static_cast<std::uint64_t>(target.st_size);
        }
        entries.push_back(std::move(entry));
    });
}

bool ListFolderNames(int folderFd, std::vector<std::string>& names, std::error_code& error)
{
    names.clear();
    UniqueFd listed(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    OpenDir dir(listed ? ::fdopendir(listed.get()) : nullptr);
    if (!dir) {
        error = lastError();
        return false;
    }
    listed.release();  // closedir closes it now
    return ReadAll(dir.get(), error, [&](const dirent& found) { names.emplace_back(found.d_name); });
}

bool IdentityOf(const std::filesystem::path& path, FileIdentity& identity)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return false;
    identity = Identity(status);
    return true;
}

}  // namespace quarrix::platform

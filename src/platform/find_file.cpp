#include "find_file.h"

#include <hpi/names.h>

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

namespace quarrix::platform {

struct FindSearch {
    DIR* directory = nullptr;
    std::string pattern;  // empty: every name
    FindDetail detail = FindDetail::Full;
    FileIdentity identity;
};

namespace {

bool kindIsKnown(unsigned char type)
{
    return type != DT_UNKNOWN && type != DT_LNK;
}

FileIdentity identityOf(const struct stat& status)
{
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// Fills the record from one entry; false when the entry is passed over.
bool describe(const FindSearch& search, const dirent& entry, WIN32_FIND_DATAA& record)
{
    const std::string_view name(entry.d_name);
    if (!search.pattern.empty() && fnmatch(search.pattern.c_str(), entry.d_name, 0) != 0)
        return false;
    if (!hpi::is_valid_utf8(name))
        return false;
    bool directory = entry.d_type == DT_DIR;
    record.nFileSize = 0;
    record.identity = {};
    if (search.detail == FindDetail::Full || !kindIsKnown(entry.d_type)) {
        struct stat status;
        // Follows links; one that leads nowhere, or an entry gone meanwhile,
        // names nothing that could be listed.
        if (fstatat(dirfd(search.directory), entry.d_name, &status, 0) != 0)
            return false;
        directory = S_ISDIR(status.st_mode);
        record.nFileSize = static_cast<std::uint64_t>(status.st_size);
        record.identity = identityOf(status);
    }
    record.dwFileAttributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    // Names are at most NAME_MAX (255) bytes, so they always fit.
    std::memcpy(record.cFileName, entry.d_name, name.size() + 1);
    return true;
}

bool readNext(FindSearch& search, WIN32_FIND_DATAA& record)
{
    while (const dirent* entry = readdir(search.directory)) {
        if (describe(search, *entry, record))
            return true;
    }
    return false;
}

}  // namespace

FindHandle FindFirstFileA(const char* lpFileName, WIN32_FIND_DATAA* lpFindFileData, FindDetail detail)
{
    const std::string_view path(lpFileName);
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string_view::npos ? std::string(".")
                               : slash == 0                    ? std::string("/")
                                                               : std::string(path.substr(0, slash));
    const std::string_view pattern = slash == std::string_view::npos ? path : path.substr(slash + 1);

    ScopedFind search(new FindSearch);
    search->detail = detail;
    if (pattern != "*" && pattern != "*.*")
        search->pattern = pattern;
    search->directory = opendir(folder.c_str());
    struct stat status;
    if (!search->directory || fstat(dirfd(search->directory), &status) != 0) {
        const int reason = errno;
        search.reset();
        errno = reason;
        return INVALID_HANDLE_VALUE;
    }
    search->identity = identityOf(status);
    if (!readNext(*search, *lpFindFileData)) {
        search.reset();
        errno = ENOENT;
        return INVALID_HANDLE_VALUE;
    }
    return search.release();
}

bool FindNextFileA(FindHandle hFindFile, WIN32_FIND_DATAA* lpFindFileData)
{
    return hFindFile && readNext(*hFindFile, *lpFindFileData);
}

bool FindClose(FindHandle hFindFile)
{
    if (!hFindFile)
        return false;
    const bool closed = !hFindFile->directory || closedir(hFindFile->directory) == 0;
    delete hFindFile;
    return closed;
}

FileIdentity FindDirectoryIdentity(FindHandle hFindFile)
{
    return hFindFile ? hFindFile->identity : FileIdentity{};
}

}  // namespace quarrix::platform

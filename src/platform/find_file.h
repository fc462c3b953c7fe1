// Directory enumeration in the manner of the Windows kernel's FindFirstFileA,
// FindNextFileA and FindClose, over the POSIX directory functions. No Qt.
//
// Names are UTF-8, the system's own text encoding. Links are followed: a link
// to a directory is reported as a directory, with the device and inode of the
// directory it leads to, so that a caller can refuse to enter one directory
// twice. Entries that cannot be reported faithfully are passed over: a name
// that is not valid UTF-8 (the program's texts cannot hold it) and a link that
// leads nowhere.
#pragma once

#include <cstdint>
#include <memory>

namespace quarrix::platform {

inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr int MAX_PATH = 260;

// What an entry names on the disk; equal identities are the same directory.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

// One directory entry.
struct WIN32_FIND_DATAA {
    // FILE_ATTRIBUTE_DIRECTORY for a directory (or a link to one), otherwise
    // FILE_ATTRIBUTE_NORMAL.
    std::uint32_t dwFileAttributes = 0;
    // The length in bytes of what the entry names.
    std::uint64_t nFileSize = 0;
    FileIdentity identity;
    // The name, NUL-terminated; bytes after the NUL are left from earlier
    // entries.
    char cFileName[MAX_PATH] = {};
};

// How much a search finds out about each entry.
enum class FindDetail {
    // Every field of every entry: one status call per entry.
    Full,
    // The kind and name of every entry, but nFileSize and identity only where
    // the kind needs a status call anyway (links, and file systems that do
    // not tell the kind); elsewhere they are 0. Listing a big tree this way
    // takes a fraction of the time.
    KindAndName,
};

struct FindSearch;
using FindHandle = FindSearch*;
inline constexpr FindHandle INVALID_HANDLE_VALUE = nullptr;

// Starts listing the directory named by lpFileName up to its last "/"; the
// rest is the pattern the names must match: "*" and "*.*" match every name,
// any other pattern is matched as a shell wildcard. The directory's "." and
// ".." entries are listed like any other. Fills the record with the first
// entry; returns INVALID_HANDLE_VALUE, with errno telling why, when the
// directory cannot be listed or no entry matches (errno ENOENT then).
FindHandle FindFirstFileA(const char* lpFileName, WIN32_FIND_DATAA* lpFindFileData,
                          FindDetail detail = FindDetail::Full);

// Fills the record with the next entry and returns true; false when there is
// none left or the directory cannot be read further.
bool FindNextFileA(FindHandle hFindFile, WIN32_FIND_DATAA* lpFindFileData);

// Ends the search and releases the handle.
bool FindClose(FindHandle hFindFile);

// The device and inode of the directory that the search lists.
FileIdentity FindDirectoryIdentity(FindHandle hFindFile);

// Holds a search and ends it with FindClose on every way out of the scope.
struct FindCloser {
    void operator()(FindHandle hFindFile) const { FindClose(hFindFile); }
};
using ScopedFind = std::unique_ptr<FindSearch, FindCloser>;

}  // namespace quarrix::platform

// The archive library as the program sees it: eight entry points with
// 32-bit handles and 8-bit texts, the same shape the dump engine has always
// called. Everything behind them is libhpi.
//
// Texts: every text crossing the contract, both ways (paths on disk, paths
// inside an archive, the names HPIGetFiles writes, the callback's texts), is
// UTF-8 and NUL-terminated, the system's own text; "\" or "/" may separate
// levels. Names inside an archive are stored in Windows-1252 and converted
// here, exactly both ways for every byte an archive can hold. A text that is
// not valid UTF-8, or an archive name with a character Windows-1252 cannot
// store, makes the call fail: it is never altered into another name.
//
// Handles: small positive numbers looked up in a table, never addresses.
// 0 is never a valid handle; an unknown handle makes a call fail (result 0).
// The table is guarded by a mutex, so the calls may come from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hpiutil/failure.h"
#include "hpiutil/listing.h"

// Progress callback of HPIPackArchive, called on the thread that called
// HPIPackArchive:
//   diskPath     the file being packed, as HPIAddFile was given it (never
//                null, may be "")
//   archivePath  its path inside the new archive (never null, may be "")
//   done, total  bytes packed so far and bytes in all, both scaled down by
//                the same power of two so that they fit 31 bits
//   the last four are always 0.
// At least one call per file, and a last call with done == total. The result
// is ignored.
using PackCallbackFn = std::int32_t (*)(const char* diskPath, const char* archivePath, std::int32_t done,
                                        std::int32_t total, std::int32_t, std::int32_t, std::int32_t,
                                        std::int32_t);

// Reading side -------------------------------------------------------------

// Opens an archive; returns its handle, or 0 when it cannot be opened.
std::int32_t HPIOpen(const char* archivePath);

// Lists the archive one entry per call, depth first, each directory before
// its contents. token 0 starts (or restarts) the listing; every later call
// passes the value the previous call returned. Returns 0 when no entry is
// left (nothing is written then). Otherwise writes the entry's path (UTF-8,
// "\" between levels, NUL-terminated, at most 255 bytes) into nameBuffer,
// which must have 256 writable bytes, sets *kind to 1 for a directory and 0 for a
// file, and *size to a file's length or a directory's count of the files
// directly inside it (both capped at 2^31 - 1).
//
// An entry whose path needs more than 255 bytes of UTF-8 cannot be named
// through the buffer: a cut name would make the caller build a wrong folder
// or file on disk, or write two entries over one file. Such entries, and
// everything below them, are left out of this listing (and out of the
// directory counts); HPIExtractFile still extracts them when given their full
// path.
std::int32_t HPIGetFiles(std::int32_t handle, std::int32_t token, char* nameBuffer, std::int32_t* kind,
                         std::int32_t* size);

// Writes the file entry entryPath ("\" or "/", ASCII case ignored) to
// destinationPath. Returns 1 on success, 0 on failure.
//
// The destination is the destination root, a separator and the entry's own
// path (the caller's spelling of its levels may differ, in case for one): its
// last N levels, N being the number of levels of entryPath, are the part
// below the root, and the rest is the root, taken as given (made when
// missing; links in it are followed, since the person chose it). Below the
// root nothing is ever written outside it: an entryPath that is absolute,
// starts with a drive letter, or has an empty, "." or ".." level is refused,
// as is a destination whose last N levels are not plain names; the folders
// below the root are made and opened one level at a time without following
// links (a link there fails the call); the file is created new in its folder
// and only then given the final name, which replaces a link there instead of
// writing through it.
//
// The content goes to a temporary file in the destination's folder (an
// AtomicFile, platform/atomic_file.h) and replaces the destination only once
// it is complete, checked and written, so a damaged entry, a full disk or an
// unwritable folder fails the call and leaves any earlier file untouched and
// no partial file behind. Where the file system allows it the temporary file
// has no name until then, so not even a killed program leaves one; elsewhere
// it is a hidden named file, registered with RemoveOpenTemporaryFiles so that
// a program that ends at once removes it.
std::int32_t HPIExtractFile(std::int32_t handle, const char* entryPath, const char* destinationPath);

// Releases a reading or creation handle (a creation handle is dropped
// without writing anything). HPIClose(0) does nothing. Returns 1 when a
// handle was released, 0 otherwise.
std::int32_t HPIClose(std::int32_t handle);

// Creation side ------------------------------------------------------------

// Starts a new archive that HPIPackArchive will write to archivePath. Returns
// a creation handle, or 0 when archivePath is empty, names a folder, or its
// folder does not exist. callback may be null (no progress).
std::int32_t HPICreate(const char* archivePath, PackCallbackFn callback);

// Adds a directory (and any missing directories above it). Returns 1 or 0.
std::int32_t HPICreateDirectory(std::int32_t handle, const char* archiveDirPath);

// Records diskPath to be packed under archivePath. The disk file must exist
// and be a regular file; it is read only by HPIPackArchive. Returns 1 or 0.
std::int32_t HPIAddFile(std::int32_t handle, const char* archivePath, const char* diskPath);

// Writes the archive: method 2 zlib, 1 LZ77, 0 stored (anything else fails).
// The archive appears under its name only when complete; a failure leaves an
// earlier file of that name untouched. The handle is released whatever the
// outcome. Returns 1 on success, 0 on failure.
std::int32_t HPIPackArchive(std::int32_t handle, std::int32_t method);

// Beneath the entry points ------------------------------------------------

// Why the calling thread's last call of an entry point failed, typed (see
// hpiutil/failure.h); Cause::None after a call that succeeded, and after
// HPIGetFiles ends a listing. Each thread has its own, so calls made on
// worker threads report their own causes.
const hpiutil::Failure& HPIGetLastFailure();

// The entries HPIGetFiles leaves out of the listing of `handle`, by their
// full UTF-8 path, each with why: a path that needs more than 255 bytes
// (only the topmost of a left-out subtree), or a file whose own name is
// damaged. Empty for an unknown handle.
std::vector<hpiutil::OmittedEntry> HPIGetOmittedEntries(std::int32_t handle);

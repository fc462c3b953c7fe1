// The archive library as the program sees it: eight entry points with
// 32-bit handles and 8-bit texts, the same shape the dump engine has always
// called. Everything behind them is libhpi.
//
// Texts: every text argument (paths inside an archive and paths on disk) is
// 8-bit Windows-1252 and NUL-terminated; paths on disk may use "\" or "/".
// They become UTF-8 with "/" before the disk is touched.
//
// Handles: small positive numbers looked up in a table, never addresses.
// 0 is never a valid handle; an unknown handle makes a call fail (result 0).
// The table is guarded by a mutex, so the calls may come from any thread.
#pragma once

#include <cstdint>

// Progress callback of HPIPackArchive, called on the thread that called
// HPIPackArchive:
//   diskPath     the file being packed, as on disk (never null, may be "")
//   archivePath  its path inside the new archive (never null, may be "")
//   done, total  bytes packed so far and bytes in all, both scaled down by
//                the same power of two so that they fit 31 bits
//   the last four are always 0.
// At least one call per file, and a last call with done == total. The result
// is ignored.
using PackCallbackFn = std::int32_t (*)(const char* diskPath, const char* archivePath,
                                        std::int32_t done, std::int32_t total, std::int32_t,
                                        std::int32_t, std::int32_t, std::int32_t);

// Reading side -------------------------------------------------------------

// Opens an archive; returns its handle, or 0 when it cannot be opened.
std::int32_t HPIOpen(const char* archivePath);

// Lists the archive one entry per call, depth first, each directory before
// its contents. token 0 starts (or restarts) the listing; every later call
// passes the value the previous call returned. Returns 0 when no entry is
// left (nothing is written then). Otherwise writes the entry's path ("\"
// between levels, NUL-terminated, at most 255 bytes) into nameBuffer, which
// must have 256 writable bytes, sets *kind to 1 for a directory and 0 for a
// file, and *size to a file's length or a directory's count of the files
// directly inside it (both capped at 2^31 - 1).
//
// An entry whose path needs more than 255 bytes cannot be named through the
// buffer: a cut name would make the caller build a wrong folder or file on
// disk, or write two entries over one file. Such entries, and everything
// below them, are left out of this listing (and out of the directory counts);
// HPIExtractFile still extracts them when given their full path.
std::int32_t HPIGetFiles(std::int32_t handle, std::int32_t token, char* nameBuffer,
                         std::int32_t* kind, std::int32_t* size);

// Writes the file entry entryPath ("\" or "/", ASCII case ignored) to
// destinationPath, making the missing folders above it. The content goes to a
// temporary file in the destination's folder first and replaces the
// destination only once it is complete and checked, so a damaged entry leaves
// any earlier file untouched and no partial file behind. Returns 1 on success,
// 0 on failure.
std::int32_t HPIExtractFile(std::int32_t handle, const char* entryPath,
                            const char* destinationPath);

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

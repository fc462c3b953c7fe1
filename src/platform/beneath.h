// Folders below a destination, opened without ever leaving it: an archive
// decides the names below the folder the person chose, and a link already on
// disk there must not carry a write somewhere else.
#pragma once

#include <hpi/file_descriptor.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quarrix::platform {

// An owned file descriptor, closed when it goes away: the archive library's
// guard, the lowest layer that needs one, so that there is one guard for all.
using UniqueFd = hpi::FileDescriptor;

// A name that stays inside the folder it is used in: the safe-level rule of
// hpi/names.h (not empty, not "." or "..", neither "/" nor "\" nor NUL),
// which an archive's names pass before they come here.
bool IsSingleSafeName(std::string_view name);

// Opens the folder root/components[0]/components[1]/... The root is taken
// as the caller names it (links in it are followed: the person chose it);
// every component below it is opened one level at a time with
// O_NOFOLLOW|O_DIRECTORY (openat), so a link inside the destination is
// never followed out of it. With create, missing levels are made with
// mkdirat first, and a missing root is made as well (as a whole path, like
// the person named it). Components must already be single, safe names
// (IsSingleSafeName); anything else fails with EINVAL. An empty root
// fails with ENOENT. On failure the result holds no descriptor and error
// says why (ENOTDIR for a link or a file in the way).
UniqueFd OpenFolderBeneath(const std::filesystem::path& root, const std::vector<std::string>& components,
                           bool create, std::error_code& error);

}  // namespace quarrix::platform

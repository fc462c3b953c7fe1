#include "platform/beneath.h"

#include <hpi/names.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace quarrix::platform {

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

int openRoot(const std::filesystem::path& root, bool create, std::error_code& error)
{
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT || !create)
        return fd;
    std::filesystem::create_directories(root, error);
    if (error)
        return -1;
    return ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The common case (the folder is there) costs one call; a missing folder is
// made and then opened, and a folder made meanwhile by someone else is fine.
int openLevel(int parent, const std::string& name, bool create)
{
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    const int fd = ::openat(parent, name.c_str(), kFlags);
    if (fd >= 0 || errno != ENOENT || !create)
        return fd;
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
        return -1;
    return ::openat(parent, name.c_str(), kFlags);
}

}  // namespace

bool IsSingleSafeName(std::string_view name)
{
    return hpi::is_safe_level(name);
}

UniqueFd OpenFolderBeneath(const std::filesystem::path& root, const std::vector<std::string>& components,
                           bool create, std::error_code& error)
{
    error.clear();
    for (const std::string& component : components) {
        if (!IsSingleSafeName(component)) {
            error = std::make_error_code(std::errc::invalid_argument);
            return {};
        }
    }
    if (root.empty()) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return {};
    }
    UniqueFd folder(openRoot(root, create, error));
    if (!folder) {
        if (!error)
            error = lastError();
        return {};
    }
    for (const std::string& component : components) {
        UniqueFd next(openLevel(folder.get(), component, create));
        if (!next) {
            error = lastError();
            return {};
        }
        folder = std::move(next);
    }
    return folder;
}

}  // namespace quarrix::platform

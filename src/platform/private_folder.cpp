#include "platform/private_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace quarrix::platform {

namespace fs = std::filesystem;

namespace {

// A folder takes its final name only once its maker holds the lock on it,
// so a sweep never finds an unlocked folder that is still in use. One whose
// maker died before the rename is still empty.
constexpr std::string_view kPrefix = ".quarrix-dump-";
constexpr std::string_view kNewPrefix = ".quarrix-new-";
constexpr std::size_t kSuffixLength = 6;

std::error_code LastError()
{
    return {errno, std::generic_category()};
}

bool IsPrivateName(const std::string& name, std::string_view prefix)
{
    return name.starts_with(prefix) && name.size() == prefix.size() + kSuffixLength;
}

}  // namespace

PrivateFolder::PrivateFolder(const fs::path& parent, std::error_code& error)
{
    std::string made = (parent / (std::string(kNewPrefix) + "XXXXXX")).string();
    if (!::mkdtemp(made.data())) {
        error = LastError();
        return;
    }
    lock_.reset(::open(made.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const std::string named =
        (parent / (std::string(kPrefix) + made.substr(made.size() - kSuffixLength))).string();
    if (!lock_ || ::flock(lock_.get(), LOCK_EX | LOCK_NB) != 0 ||
        ::rename(made.c_str(), named.c_str()) != 0) {
        error = LastError();
        ::rmdir(made.c_str());
        lock_.reset();
        return;
    }
    path_ = named;
    error.clear();
}

PrivateFolder::~PrivateFolder()
{
    std::error_code ignored;
    if (!path_.empty())
        fs::remove_all(path_, ignored);
}

void SweepAbandonedPrivateFolders(const fs::path& parent)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(parent, error)) {
        const std::string name = entry.path().filename().string();
        const bool named = IsPrivateName(name, kPrefix);
        if (!named && !IsPrivateName(name, kNewPrefix))
            continue;
        UniqueFd folder(::open(entry.path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder || ::flock(folder.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        std::error_code ignored;
        if (named)
            fs::remove_all(entry.path(), ignored);
        else
            ::rmdir(entry.path().c_str());
    }
}

}  // namespace quarrix::platform

// A small tmpfs mounted for the length of a test: the one honest way to meet
// a disk that is really full, or a file system that is really read-only.
// Mounting needs root on a machine that lets root mount; where it cannot be
// done, whyNot() says why and the test reports itself skipped with that.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace dumptest {

class SmallTmpfs {
public:
    SmallTmpfs(const std::filesystem::path& where, std::size_t bytes, bool readOnly = false) : where_(where)
    {
        std::filesystem::create_directories(where);
        if (::geteuid() != 0) {
            whyNot_ = "needs root to mount a small tmpfs";
            return;
        }
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", where.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) != 0)
            whyNot_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        else
            mounted_ = true;
    }
    ~SmallTmpfs()
    {
        if (mounted_)
            ::umount2(where_.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& whyNot() const { return whyNot_; }

private:
    std::filesystem::path where_;
    bool mounted_ = false;
    std::string whyNot_;
};

}  // namespace dumptest

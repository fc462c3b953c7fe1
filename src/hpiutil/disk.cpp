#include "hpiutil/disk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace hpiutil {
namespace fs = std::filesystem;
namespace {

hpi::Error io_error(const std::string& what, int error_number) {
    return {hpi::ErrorKind::IoError, what + ": " + std::strerror(error_number)};
}

std::string random_suffix() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    char text[17];
    std::snprintf(text, sizeof text, "%016llx",
                  static_cast<unsigned long long>(generator()));
    return text;
}

// An open file that is removed again unless release() is called.
class TemporaryFile {
public:
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }

    // The name is short and fixed in form, so it fits the folder whatever the
    // length of the destination's own name; the dot keeps a leftover of a
    // crash out of ordinary listings.
    hpi::Error create_in(const fs::path& folder) {
        for (int attempt = 0; attempt < 16; ++attempt) {
            fs::path candidate = folder / (".quarrix-" + random_suffix() + ".part");
            // 0666 lets the process's umask decide, as for any new file.
            int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                fd_ = fd;
                path_ = std::move(candidate);
                return {};
            }
            if (errno != EEXIST) return io_error("cannot create a file in " + folder.string(), errno);
        }
        return {hpi::ErrorKind::IoError, "cannot find a free temporary name in " + folder.string()};
    }

    bool write_all(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR) continue;
                write_errno_ = errno;
                return false;
            }
            data += written;
            size -= std::size_t(written);
        }
        return true;
    }

    int write_errno() const { return write_errno_; }

    // Closes the file and moves it over target; on success the file is no
    // longer this object's to remove.
    hpi::Error commit_as(const fs::path& target) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return io_error("cannot write " + target.string(), errno);
        if (::rename(path_.c_str(), target.c_str()) != 0)
            return io_error("cannot replace " + target.string(), errno);
        path_.clear();
        return {};
    }

private:
    int fd_ = -1;
    int write_errno_ = 0;
    fs::path path_;
};

hpi::Error make_parent_folders(const fs::path& destination) {
    const fs::path parent = destination.parent_path();
    if (parent.empty()) return {};
    std::error_code error;
    fs::create_directories(parent, error);
    if (error) return {hpi::ErrorKind::IoError, "cannot create " + parent.string() + ": " + error.message()};
    return {};
}

}  // namespace

fs::path disk_path_from_text(const char* text) {
    std::string utf8 = hpi::cp1252_to_utf8(text);
    for (char& c : utf8)
        if (c == '\\') c = '/';
    return fs::path(std::move(utf8));
}

std::string text_from_disk_path(const fs::path& path) {
    std::string text;
    hpi::utf8_to_cp1252(path.string(), text);
    return text;
}

hpi::Error extract_atomically(const hpi::Archive& archive, std::size_t index,
                              const fs::path& destination) {
    const hpi::Entry& entry = archive.entries()[index];
    if (entry.is_directory)
        return {hpi::ErrorKind::InvalidArgument, "not a file: " + hpi::cp1252_to_utf8(entry.path)};
    if (destination.empty() || !destination.has_filename())
        return {hpi::ErrorKind::InvalidArgument, "no destination file name given"};
    if (hpi::Error error = make_parent_folders(destination)) return error;

    const fs::path folder = destination.parent_path().empty() ? fs::path(".") : destination.parent_path();
    TemporaryFile file;
    if (hpi::Error error = file.create_in(folder)) return error;

    std::uint64_t written = 0;
    bool write_failed = false;
    hpi::Error error = archive.read(index, [&](std::span<const std::uint8_t> piece) {
        if (!file.write_all(piece.data(), piece.size())) {
            write_failed = true;
            return false;
        }
        written += piece.size();
        return true;
    });
    if (error) return error;
    if (write_failed) return io_error("cannot write " + destination.string(), file.write_errno());
    // The reader checks sizes itself; this keeps a short file from ever
    // replacing a good one should that check miss.
    if (written != entry.size)
        return {hpi::ErrorKind::Truncated, hpi::cp1252_to_utf8(entry.path) + ": content length differs from its size"};
    return file.commit_as(destination);
}

}  // namespace hpiutil

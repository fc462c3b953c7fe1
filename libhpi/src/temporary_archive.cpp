#include "temporary_archive.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace hpi {

namespace detail {
namespace {

namespace fs = std::filesystem;

// Named temporary files still open, for remove_temporary_archives(): a
// fixed table, so that a signal handler can walk it without a lock. A pack
// beyond the table's size still removes its file itself, only not on a
// sudden end.
struct NamedSlot {
    std::atomic<bool> live{false};
    std::atomic<bool> taken{false};
    int folder = -1;
    char name[32] = {};
};
NamedSlot named_slots[32];

static_assert(std::atomic<bool>::is_always_lock_free);

std::atomic<bool> named_forced{false};

int claim_slot()
{
    for (int i = 0; i < int(std::size(named_slots)); ++i) {
        bool expected = false;
        if (named_slots[i].taken.compare_exchange_strong(expected, true))
            return i;
    }
    return -1;
}

void release_slot(int slot)
{
    if (slot < 0)
        return;
    named_slots[slot].live.store(false, std::memory_order_release);
    named_slots[slot].taken.store(false, std::memory_order_release);
}

// Listed before the file exists: a sudden end may then try to remove a
// file that is not there, but never misses one that is.
void publish(int slot, int folder, const char* name)
{
    if (slot < 0)
        return;
    NamedSlot& s = named_slots[slot];
    s.live.store(false, std::memory_order_release);
    s.folder = folder;
    std::memcpy(s.name, name, sizeof s.name);
    s.live.store(true, std::memory_order_release);
}

void make_name(char (&name)[32])
{
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::snprintf(name, sizeof name, ".hpi-%016llx.tmp", static_cast<unsigned long long>(generator()));
}

std::string in_quotes(const fs::path& p)
{
    return "'" + p.string() + "'";
}

Error io_error(std::string what, int err)
{
    return Error{ErrorKind::IoError, std::move(what) + ": " + std::strerror(err),
                 std::error_code(err, std::generic_category())};
}

// The file systems and kernels that cannot make unnamed files say so with
// these; any other refusal (permissions, a full disk) is the folder's.
bool unnamed_files_unsupported(int err)
{
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}

// An unnamed file is given its name through /proc; without it, names it is.
bool can_link_unnamed_files()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

// Creates a fresh hidden name in the folder: for a named temporary file, or
// as the step through which an unnamed one replaces an existing target.
template <class MakeFile>
Error claim_hidden_name(int folder, int& slot, const fs::path& target, MakeFile make_file)
{
    slot = claim_slot();
    char name[32];
    for (int attempt = 0; attempt < 16; ++attempt) {
        make_name(name);
        publish(slot, folder, name);
        if (make_file(name) == 0)
            return {};
        if (errno != EEXIST)
            break;
    }
    const int err = errno;
    release_slot(slot);
    slot = -1;
    return io_error("cannot create a temporary file beside " + in_quotes(target), err);
}

}  // namespace

void force_named_temporary_archives(bool named)
{
    named_forced.store(named);
}

Result<TemporaryArchive> TemporaryArchive::create_beside(const fs::path& target)
{
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    FileDescriptor folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return io_error("cannot open the folder of " + in_quotes(target), errno);
    if (!named_forced.load() && can_link_unnamed_files()) {
        // 0666 lets the process's umask decide, as for any new file.
        FileDescriptor file(::openat(folder.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
        if (file)
            return TemporaryArchive(std::move(folder), std::move(file), target);
        if (!unnamed_files_unsupported(errno))
            return io_error("cannot create the new archive beside " + in_quotes(target), errno);
    }
    int slot = -1;
    int fd = -1;
    const int folder_fd = folder.get();
    if (Error e = claim_hidden_name(folder_fd, slot, target, [&](const char* name) {
            fd = ::openat(folder_fd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            return fd >= 0 ? 0 : -1;
        }))
        return e;
    TemporaryArchive archive(std::move(folder), FileDescriptor(fd), target);
    archive.named_slot_ = slot;
    return archive;
}

TemporaryArchive::TemporaryArchive(FileDescriptor folder, FileDescriptor file, fs::path target)
    : folder_(std::move(folder)), file_(std::move(file)), target_(std::move(target))
{
}

TemporaryArchive::TemporaryArchive(TemporaryArchive&& other) noexcept
    : folder_(std::move(other.folder_)), file_(std::move(other.file_)), target_(std::move(other.target_)),
      named_slot_(std::exchange(other.named_slot_, -1)), committed_(std::exchange(other.committed_, true))
{
}

TemporaryArchive::~TemporaryArchive()
{
    drop();
}

void TemporaryArchive::drop() noexcept
{
    file_.reset();
    if (!committed_ && named_slot_ >= 0)
        ::unlinkat(folder_.get(), named_slots[named_slot_].name, 0);
    release_slot(named_slot_);
    named_slot_ = -1;
}

Error TemporaryArchive::write_at(std::uint64_t pos, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        ssize_t put = ::pwrite(file_.get(), bytes.data(), bytes.size(), off_t(pos));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return io_error("cannot write the new archive " + in_quotes(target_), errno);
        bytes = bytes.subspan(std::size_t(put));
        pos += std::uint64_t(put);
    }
    return {};
}

Error TemporaryArchive::commit()
{
    if (::fsync(file_.get()) != 0)
        return io_error("cannot flush " + in_quotes(target_), errno);
    if (is_named()) {
        if (file_.close() != 0)
            return io_error("cannot close " + in_quotes(target_), errno);
        if (Error e = rename_over_target(named_slots[named_slot_].name))
            return e;
    } else {
        // The data reached the disk with the flush above, so nothing is left
        // for the close to report.
        if (Error e = place_unnamed())
            return e;
        file_.reset();
    }
    committed_ = true;
    release_slot(named_slot_);
    named_slot_ = -1;
    // The archive is in place whatever this reports; a folder that cannot be
    // synced leaves nothing to undo.
    ::fsync(folder_.get());
    return {};
}

Error TemporaryArchive::place_unnamed()
{
    char proc_path[40];
    std::snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", file_.get());
    const std::string name = target_.filename().string();
    if (::linkat(AT_FDCWD, proc_path, folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return {};
    if (errno != EEXIST)
        return io_error("cannot put the new archive in place at " + in_quotes(target_), errno);
    // An earlier file of that name is replaced in one step: the new one gets
    // a hidden name first, then is renamed over it.
    const int folder_fd = folder_.get();
    if (Error e = claim_hidden_name(folder_fd, named_slot_, target_, [&](const char* hidden) {
            return ::linkat(AT_FDCWD, proc_path, folder_fd, hidden, AT_SYMLINK_FOLLOW);
        }))
        return e;
    return rename_over_target(named_slots[named_slot_].name);
}

Error TemporaryArchive::rename_over_target(const char* temporary_name)
{
    const std::string name = target_.filename().string();
    if (::renameat(folder_.get(), temporary_name, folder_.get(), name.c_str()) == 0)
        return {};
    const int err = errno;
    ::unlinkat(folder_.get(), temporary_name, 0);
    release_slot(named_slot_);
    named_slot_ = -1;
    return io_error("cannot move the new archive to " + in_quotes(target_), err);
}

}  // namespace detail

void remove_temporary_archives() noexcept
{
    for (detail::NamedSlot& slot : detail::named_slots)
        if (slot.live.load(std::memory_order_acquire))
            ::unlinkat(slot.folder, slot.name, 0);
}

}  // namespace hpi

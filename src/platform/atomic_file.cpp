#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <functional>
#include <random>

#include <fcntl.h>
#include <unistd.h>

namespace quarrix::platform {

// One registered temporary file. The registry is a chain of fixed blocks that
// only ever grows, so the program's last moments can walk it without a lock
// and without allocating.
struct RegistrySlot {
    enum State { Free, Filling, Live };
    std::atomic<int> state{Free};
    int folder = -1;
    char name[32] = {};
};

namespace {

struct RegistryBlock {
    RegistrySlot slots[64];
    std::atomic<RegistryBlock*> next{nullptr};
};

RegistryBlock registryHead;

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<RegistryBlock*>::is_always_lock_free,
              "the registry must be readable without a lock");

RegistrySlot* claimSlot()
{
    RegistryBlock* block = &registryHead;
    for (;;) {
        for (RegistrySlot& slot : block->slots) {
            int expected = RegistrySlot::Free;
            if (slot.state.compare_exchange_strong(expected, RegistrySlot::Filling))
                return &slot;
        }
        RegistryBlock* next = block->next.load(std::memory_order_acquire);
        if (!next) {
            auto* fresh = new (std::nothrow) RegistryBlock;
            if (!fresh)
                return nullptr;  // the file is still removed on failure, only not at a sudden end
            if (block->next.compare_exchange_strong(next, fresh, std::memory_order_acq_rel))
                next = fresh;
            else
                delete fresh;  // another thread added a block first: use that one
        }
        block = next;
    }
}

void publish(RegistrySlot* slot, int folder, const char* name)
{
    if (!slot)
        return;
    slot->state.store(RegistrySlot::Filling, std::memory_order_release);
    slot->folder = folder;
    std::memcpy(slot->name, name, sizeof slot->name);
    slot->state.store(RegistrySlot::Live, std::memory_order_release);
}

void release(RegistrySlot*& slot)
{
    if (slot)
        slot->state.store(RegistrySlot::Free, std::memory_order_release);
    slot = nullptr;
}

std::atomic<bool> namedForced{false};

// The file systems and kernels that cannot make unnamed files say so with
// these; any other refusal (permissions, a full disk) is the folder's.
bool unnamedFilesUnsupported(int err)
{
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}

// An unnamed file is given its name through /proc; without it, names it is.
bool canLinkUnnamedFiles()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

void makeTemporaryName(char (&name)[32])
{
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::snprintf(name, sizeof name, ".quarrix-%016llx.part", static_cast<unsigned long long>(generator()));
}

}  // namespace

AtomicFile::~AtomicFile()
{
    Discard();
}

bool AtomicFile::Create(const std::filesystem::path& target, std::error_code& error)
{
    Discard();
    const std::string name = target.filename().string();
    if (!IsSingleSafeName(name)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    auto opened = std::make_shared<UniqueFd>(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!*opened) {
        error = lastError();
        return false;
    }
    folder_ = std::move(opened);
    finalName_ = name;
    return createInOwnFolder(error);
}

bool AtomicFile::CreateIn(int folderFd, std::string_view name, std::error_code& error)
{
    Discard();
    if (!IsSingleSafeName(name)) {
        error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    auto duplicate = std::make_shared<UniqueFd>(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    if (!*duplicate) {
        error = lastError();
        return false;
    }
    folder_ = std::move(duplicate);
    finalName_ = name;
    return createInOwnFolder(error);
}

bool AtomicFile::CreateIn(std::shared_ptr<const UniqueFd> folder, std::string_view name,
                          std::error_code& error)
{
    Discard();
    if (!IsSingleSafeName(name) || !folder || !*folder) {
        error = std::make_error_code(!folder || !*folder ? std::errc::bad_file_descriptor
                                                         : std::errc::invalid_argument);
        return false;
    }
    folder_ = std::move(folder);
    finalName_ = name;
    return createInOwnFolder(error);
}

bool AtomicFile::createInOwnFolder(std::error_code& error)
{
    if (!namedForced.load(std::memory_order_relaxed) && canLinkUnnamedFiles()) {
        // 0666 lets the process's umask decide, as for any new file.
        const int fd = ::openat(folder(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file_.reset(fd);
            error.clear();
            return true;
        }
        if (!unnamedFilesUnsupported(errno)) {
            error = lastError();
            Discard();
            return false;
        }
    }
    const int folderFd = folder();
    if (!claimHiddenName(
            [&](const char* name) {
                file_.reset(
                    ::openat(folderFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
                return bool(file_);
            },
            error))
        return false;
    error.clear();
    return true;
}

bool AtomicFile::claimHiddenName(const std::function<bool(const char*)>& makeFile, std::error_code& error)
{
    slot_ = claimSlot();
    for (int attempt = 0; attempt < 16; ++attempt) {
        makeTemporaryName(temporaryName_);
        // Listed before it exists: a sudden end may then try to remove a file
        // that is not there, but never misses one that is.
        publish(slot_, folder(), temporaryName_);
        if (makeFile(temporaryName_))
            return true;
        if (errno != EEXIST)
            break;
    }
    error = errno == EEXIST ? std::make_error_code(std::errc::file_exists) : lastError();
    temporaryName_[0] = '\0';
    Discard();
    return false;
}

bool AtomicFile::Write(const void* data, std::size_t size, std::error_code& error)
{
    if (!file_) {
        error = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(file_.get(), bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = lastError();
            Discard();
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AtomicFile::Commit(Durability durability, std::error_code& error)
{
    if (!file_) {
        error = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    const bool synced = durability != Durability::Synced || ::fsync(file_.get()) == 0;
    const bool placed = synced && (temporaryName_[0] == '\0' ? placeUnnamed(error) : placeNamed(error));
    if (!placed) {
        if (!synced)
            error = lastError();
        Discard();
        return false;
    }
    release(slot_);
    temporaryName_[0] = '\0';
    // The new file is in place whatever this reports; a folder that cannot
    // be synced leaves nothing to undo.
    if (durability == Durability::Synced)
        ::fsync(folder());
    Discard();
    error.clear();
    return true;
}

bool AtomicFile::placeNamed(std::error_code& error)
{
    // A close can be the first to report a write the disk could not take.
    if (::close(file_.release()) != 0 ||
        ::renameat(folder(), temporaryName_, folder(), finalName_.c_str()) != 0) {
        error = lastError();
        return false;
    }
    return true;
}

// Kernels that let a process link a file it opened itself by its descriptor
// alone (AT_EMPTY_PATH) save the walk through /proc; the others refuse with
// ENOENT (or EPERM), and from then on /proc is asked at once.
static std::atomic<bool> emptyPathRefused{false};

bool AtomicFile::linkUnnamed(const char* name)
{
    if (!emptyPathRefused.load(std::memory_order_relaxed)) {
        if (::linkat(file_.get(), "", folder(), name, AT_EMPTY_PATH) == 0)
            return true;
        if (errno != ENOENT && errno != EPERM)
            return false;
    }
    char procPath[40];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", file_.get());
    if (::linkat(AT_FDCWD, procPath, folder(), name, AT_SYMLINK_FOLLOW) != 0)
        return false;
    emptyPathRefused.store(true, std::memory_order_relaxed);
    return true;
}

bool AtomicFile::placeUnnamed(std::error_code& error)
{
    // Closed only once it has its name, which needs the open descriptor; a
    // close can still be the first to report a write the disk could not take,
    // and then the file goes again.
    if (linkUnnamed(finalName_.c_str())) {
        if (::close(file_.release()) == 0)
            return true;
        error = lastError();
        ::unlinkat(folder(), finalName_.c_str(), 0);
        return false;
    }
    if (errno != EEXIST) {
        error = lastError();
        return false;
    }
    // A file (or link) of that name is replaced in one step: the new file
    // takes a hidden name first, then is renamed over it.
    return claimHiddenName([&](const char* name) { return linkUnnamed(name); }, error) && placeNamed(error);
}

void AtomicFile::Discard() noexcept
{
    file_.reset();
    // Removed before it leaves the registry, so that a sudden end in between
    // still finds it.
    if (temporaryName_[0] != '\0')
        ::unlinkat(folder(), temporaryName_, 0);
    temporaryName_[0] = '\0';
    release(slot_);
    folder_.reset();
    finalName_.clear();
}

void ForceNamedTemporaryFiles(bool named)
{
    namedForced.store(named, std::memory_order_relaxed);
}

void RemoveOpenTemporaryFiles() noexcept
{
    for (RegistryBlock* block = &registryHead; block; block = block->next.load(std::memory_order_acquire)) {
        for (RegistrySlot& slot : block->slots) {
            if (slot.state.load(std::memory_order_acquire) == RegistrySlot::Live)
                ::unlinkat(slot.folder, slot.name, 0);
        }
    }
}

}  // namespace quarrix::platform

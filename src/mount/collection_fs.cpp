#define FUSE_USE_VERSION 312
#include "mount/collection_fs.h"

#include <fuse_lowlevel.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <thread>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "mount/block_cache.h"

namespace quarrix::mount {

namespace fs = std::filesystem;
using collection::NodeId;

namespace {

// Nothing in the view ever changes, so the kernel may keep what it was told.
constexpr double kForever = 24 * 3600.0;

// A walk through the tree (tar, cp -r, a file manager's thumbnails) reads a
// folder's files one after another in listing order, each with one request;
// while one is read, the first blocks of the next ones are decoded on
// another thread.
constexpr std::size_t kFilesAhead = 8;
constexpr std::uint64_t kBlocksAhead = 2;

timespec to_timespec(std::chrono::nanoseconds since_epoch)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since_epoch);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((since_epoch - seconds).count())};
}

NodeId node_of(fuse_ino_t ino)
{
    return NodeId(ino - FUSE_ROOT_ID);
}
fuse_ino_t ino_of(NodeId id)
{
    return fuse_ino_t(id) + FUSE_ROOT_ID;
}

}  // namespace

struct CollectionFs::Impl {
    Impl(const collection::MergedView& view, DamageReport report, std::size_t cache_bytes)
        : view(view), report(std::move(report)), cache(cache_bytes), uid(::getuid()), gid(::getgid())
    {
        std::chrono::nanoseconds newest{0};
        for (const collection::Member& member : view.members())
            newest = std::max(newest, member.modified);
        root_time = to_timespec(newest);
        position.resize(view.nodes().size());
        for (const collection::Node& node : view.nodes())
            for (std::size_t i = 0; i < node.children.size(); ++i)
                position[node.children[i]] = std::uint32_t(i);
    }

    const collection::MergedView& view;
    DamageReport report;
    BlockCache cache;
    uid_t uid;
    gid_t gid;
    timespec root_time{};
    fuse_session* session = nullptr;
    bool handed_over = false;  // the session now belongs to a child process
    // The kernel opens files and folders without asking: nothing here
    // depends on an open, and the kernel then keeps every page it has read.
    bool opens_without_asking = false;
    std::mutex report_mutex;
    std::set<std::pair<std::uint32_t, std::uint32_t>> reported;

    std::vector<std::uint32_t> position;  // of each node among its folder's children
    std::mutex ahead_mutex;
    std::condition_variable ahead_wanted;
    std::deque<NodeId> ahead;  // files whose first blocks are wanted soon
    bool stopping = false;
    std::thread ahead_reader;

    static std::uint64_t cache_key(const collection::Copy& copy)
    {
        return (std::uint64_t(copy.member) << 32) | copy.entry;
    }

    // Wants the first blocks of the files after `id` in its folder.
    void read_ahead_after(NodeId id)
    {
        const collection::Node& folder = view.node(view.node(id).parent);
        std::lock_guard lock(ahead_mutex);
        for (std::size_t at = position[id] + 1;
             at < folder.children.size() && at <= position[id] + kFilesAhead; ++at) {
            const NodeId next = folder.children[at];
            if (view.node(next).is_folder || view.node(next).size == 0)
                continue;
            if (std::find(ahead.begin(), ahead.end(), next) == ahead.end())
                ahead.push_back(next);
        }
        while (ahead.size() > kFilesAhead)
            ahead.pop_front();
        ahead_wanted.notify_one();
    }

    void read_ahead()
    {
        std::unique_lock lock(ahead_mutex);
        while (true) {
            ahead_wanted.wait(lock, [this] { return stopping || !ahead.empty(); });
            if (stopping)
                return;
            const collection::Node& file = view.node(ahead.front());
            ahead.pop_front();
            lock.unlock();
            // A damaged block is left for the read that needs it to report.
            for (std::uint64_t block = 0; block < kBlocksAhead && block * kBlockSize < file.size; ++block) {
                Block ignored;
                static_cast<void>(cache.get(view.archive_of(file.kept()), file.entry, cache_key(file.kept()),
                                            block, ignored));
            }
            lock.lock();
        }
    }

    void start_reading_ahead()
    {
        ahead_reader = std::thread([this] { read_ahead(); });
    }
    void stop_reading_ahead()
    {
        if (!ahead_reader.joinable())
            return;
        {
            std::lock_guard lock(ahead_mutex);
            stopping = true;
        }
        ahead_wanted.notify_one();
        ahead_reader.join();
    }

    bool exists(fuse_ino_t ino) const { return ino >= FUSE_ROOT_ID && node_of(ino) < view.nodes().size(); }

    struct stat attributes(NodeId id) const
    {
        const collection::Node& node = view.node(id);
        struct stat st {};
        st.st_ino = ino_of(id);
        st.st_uid = uid;
        st.st_gid = gid;
        if (node.is_folder) {
            st.st_mode = S_IFDIR | 0555;
            st.st_nlink = 2 + node.subfolders;
            st.st_size = 4096;
        } else {
            st.st_mode = S_IFREG | 0444;
            st.st_nlink = 1;
            st.st_size = off_t(node.size);
        }
        st.st_blksize = blksize_t(kBlockSize);
        st.st_blocks = blkcnt_t((std::uint64_t(st.st_size) + 511) / 512);
        st.st_mtim = st.st_ctim = st.st_atim =
            id == collection::kRoot ? root_time : to_timespec(view.members()[node.member].modified);
        return st;
    }

    fuse_entry_param entry_of(NodeId id) const
    {
        fuse_entry_param entry{};
        entry.ino = ino_of(id);
        entry.generation = 1;
        entry.attr = attributes(id);
        entry.attr_timeout = kForever;
        entry.entry_timeout = kForever;
        return entry;
    }

    void report_once(const collection::Copy& copy, const hpi::Error& error)
    {
        std::lock_guard lock(report_mutex);
        if (reported.emplace(copy.member, copy.entry).second && report)
            report(copy, error);
    }

    // Bytes [offset, offset + size) of a file, cut at its end.
    hpi::Error read(const collection::Node& node, std::uint64_t offset, std::size_t size,
                    std::vector<std::uint8_t>& out)
    {
        out.clear();
        const std::uint64_t end = std::min<std::uint64_t>(node.size, offset + size);
        if (offset >= end)
            return {};
        out.reserve(std::size_t(end - offset));
        const collection::Copy copy = node.kept();
        const std::uint64_t key = cache_key(copy);
        for (std::uint64_t block = offset / kBlockSize; block * kBlockSize < end; ++block) {
            Block bytes;
            if (hpi::Error error = cache.get(view.archive_of(copy), copy.entry, key, block, bytes)) {
                report_once(copy, error);
                return error;
            }
            const std::uint64_t start = block * kBlockSize;
            const std::uint64_t from = std::max(offset, start) - start;
            const std::uint64_t to = std::min<std::uint64_t>(end - start, bytes->size());
            if (from >= to)
                break;  // the archive holds less than its record says
            out.insert(out.end(), bytes->begin() + std::ptrdiff_t(from), bytes->begin() + std::ptrdiff_t(to));
        }
        return {};
    }
};

namespace {

CollectionFs::Impl& self(fuse_req_t req)
{
    return *static_cast<CollectionFs::Impl*>(fuse_req_userdata(req));
}

void on_lookup(fuse_req_t req, fuse_ino_t parent, const char* name)
{
    CollectionFs::Impl& fs = self(req);
    const auto child = fs.exists(parent) ? fs.view.child(node_of(parent), name) : std::nullopt;
    if (!child) {
        // A name that is not there stays away too.
        fuse_entry_param none{};
        none.entry_timeout = kForever;
        fuse_reply_entry(req, &none);
        return;
    }
    const fuse_entry_param entry = fs.entry_of(*child);
    fuse_reply_entry(req, &entry);
}

void on_getattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*)
{
    CollectionFs::Impl& fs = self(req);
    if (!fs.exists(ino)) {
        fuse_reply_err(req, ENOENT);
        return;
    }
    const struct stat st = fs.attributes(node_of(ino));
    fuse_reply_attr(req, &st, kForever);
}

// Entry `position` of a folder's listing: ".", "..", then its children.
NodeId listed(const collection::MergedView& view, NodeId folder, std::size_t position, const char*& name)
{
    const collection::Node& node = view.node(folder);
    if (position == 0) {
        name = ".";
        return folder;
    }
    if (position == 1) {
        name = "..";
        return node.parent;
    }
    const NodeId child = node.children[position - 2];
    name = view.node(child).name.c_str();
    return child;
}

void read_folder(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, bool plus)
{
    CollectionFs::Impl& fs = self(req);
    if (!fs.exists(ino) || !fs.view.node(node_of(ino)).is_folder) {
        fuse_reply_err(req, ENOTDIR);
        return;
    }
    const NodeId folder = node_of(ino);
    const std::size_t count = 2 + fs.view.node(folder).children.size();
    std::vector<char> buffer(size);
    std::size_t used = 0;
    for (auto position = std::size_t(std::max<off_t>(offset, 0)); position < count; ++position) {
        const char* name = nullptr;
        const NodeId id = listed(fs.view, folder, position, name);
        const off_t next = off_t(position + 1);
        std::size_t needed;
        if (plus) {
            const fuse_entry_param entry = fs.entry_of(id);
            needed = fuse_add_direntry_plus(req, buffer.data() + used, size - used, name, &entry, next);
        } else {
            const struct stat st = fs.attributes(id);
            needed = fuse_add_direntry(req, buffer.data() + used, size - used, name, &st, next);
        }
        if (needed > size - used)
            break;
        used += needed;
    }
    fuse_reply_buf(req, buffer.data(), used);
}

void on_readdir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info*)
{
    read_folder(req, ino, size, offset, false);
}

void on_readdirplus(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info*)
{
    read_folder(req, ino, size, offset, true);
}

void on_init(void* userdata, fuse_conn_info* conn)
{
    auto& fs = *static_cast<CollectionFs::Impl*>(userdata);
    const unsigned both = FUSE_CAP_NO_OPEN_SUPPORT | FUSE_CAP_NO_OPENDIR_SUPPORT;
    if ((conn->capable & both) == both) {
        conn->want |= both;
        fs.opens_without_asking = true;
    }
    // Every listing comes with the attributes of what it lists, so that a
    // walk through the tree (find, tar, cp -r) needs no lookup per name.
    conn->want &= ~unsigned(FUSE_CAP_READDIRPLUS_AUTO);
}

// Where the kernel asks, a file opens for reading only.
void on_open(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi)
{
    CollectionFs::Impl& fs = self(req);
    if (fs.opens_without_asking) {
        fuse_reply_err(req, ENOSYS);  // the kernel stops asking
    } else if (!fs.exists(ino)) {
        fuse_reply_err(req, ENOENT);
    } else if (fs.view.node(node_of(ino)).is_folder) {
        fuse_reply_err(req, EISDIR);
    } else if ((fi->flags & O_ACCMODE) != O_RDONLY || (fi->flags & O_TRUNC) != 0) {
        fuse_reply_err(req, EROFS);
    } else {
        fi->keep_cache = 1;  // the content never changes
        fuse_reply_open(req, fi);
    }
}

void on_read(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info*)
{
    CollectionFs::Impl& fs = self(req);
    if (!fs.exists(ino) || fs.view.node(node_of(ino)).is_folder || offset < 0) {
        fuse_reply_err(req, EINVAL);
        return;
    }
    thread_local std::vector<std::uint8_t> bytes;
    if (offset == 0)
        fs.read_ahead_after(node_of(ino));
    if (fs.read(fs.view.node(node_of(ino)), std::uint64_t(offset), size, bytes)) {
        fuse_reply_err(req, EIO);
        return;
    }
    fuse_reply_buf(req, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void on_statfs(fuse_req_t req, fuse_ino_t)
{
    CollectionFs::Impl& fs = self(req);
    std::uint64_t bytes = 0;
    for (const collection::Node& node : fs.view.nodes())
        bytes += node.size;
    struct statvfs st {};
    st.f_bsize = kBlockSize;
    st.f_frsize = 512;
    st.f_blocks = fsblkcnt_t((bytes + 511) / 512);
    st.f_files = fsfilcnt_t(fs.view.nodes().size());
    st.f_namemax = 255;
    fuse_reply_statfs(req, &st);
}

// Everything that would change the tree or a file.
void refuse_change(fuse_req_t req)
{
    fuse_reply_err(req, EROFS);
}

fuse_lowlevel_ops operations()
{
    fuse_lowlevel_ops ops{};
    ops.init = on_init;
    ops.lookup = on_lookup;
    ops.getattr = on_getattr;
    ops.readdir = on_readdir;
    ops.readdirplus = on_readdirplus;
    ops.open = on_open;
    ops.read = on_read;
    ops.statfs = on_statfs;
    ops.setattr = [](fuse_req_t req, fuse_ino_t, struct stat*, int, fuse_file_info*) { refuse_change(req); };
    ops.mknod = [](fuse_req_t req, fuse_ino_t, const char*, mode_t, dev_t) { refuse_change(req); };
    ops.mkdir = [](fuse_req_t req, fuse_ino_t, const char*, mode_t) { refuse_change(req); };
    ops.unlink = [](fuse_req_t req, fuse_ino_t, const char*) { refuse_change(req); };
    ops.rmdir = [](fuse_req_t req, fuse_ino_t, const char*) { refuse_change(req); };
    ops.create = [](fuse_req_t req, fuse_ino_t, const char*, mode_t, fuse_file_info*) { refuse_change(req); };
    ops.write = [](fuse_req_t req, fuse_ino_t, const char*, size_t, off_t, fuse_file_info*) {
        refuse_change(req);
    };
    return ops;
}

MountResult check_mount_point(const fs::path& mount_point)
{
    std::error_code error;
    const fs::file_status status = fs::status(mount_point, error);
    if (status.type() == fs::file_type::not_found)
        return {MountFailure::NoMountPoint, {}};
    if (error)
        return {MountFailure::Unreadable, error};
    if (!fs::is_directory(status))
        return {MountFailure::NotAFolder, {}};
    const fs::directory_iterator first(mount_point, error);
    if (error)
        return {MountFailure::Unreadable, error};
    if (first != fs::directory_iterator())
        return {MountFailure::NotEmpty, {}};
    return {};
}

}  // namespace

CollectionFs::CollectionFs(const collection::MergedView& view, DamageReport report, std::size_t cache_bytes)
    : impl_(std::make_unique<Impl>(view, std::move(report), cache_bytes))
{
}

CollectionFs::~CollectionFs()
{
    if (!impl_->session || impl_->handed_over)
        return;
    fuse_remove_signal_handlers(impl_->session);
    fuse_session_unmount(impl_->session);
    fuse_session_destroy(impl_->session);
}

MountResult CollectionFs::mount(const std::string& mount_point)
{
    if (MountResult checked = check_mount_point(mount_point); !checked)
        return checked;
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return {MountFailure::NoFuse, std::error_code(errno, std::generic_category())};
    // The mount point is kept as an absolute path: a process in the
    // background leaves its working folder, and unmounting needs the path.
    std::error_code error;
    const std::string absolute = fs::canonical(mount_point, error).string();
    if (error)
        return {MountFailure::Unreadable, error};

    const char* arguments[] = {"quarrix-cli", "-o", "ro,default_permissions,fsname=quarrix,subtype=quarrix"};
    fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(arguments));
    const fuse_lowlevel_ops ops = operations();
    impl_->session = fuse_session_new(&args, &ops, sizeof ops, impl_.get());
    if (!impl_->session)
        return {MountFailure::Refused, std::make_error_code(std::errc::invalid_argument)};
    if (fuse_set_signal_handlers(impl_->session) != 0 ||
        fuse_session_mount(impl_->session, absolute.c_str()) != 0) {
        const int cause = errno;
        fuse_remove_signal_handlers(impl_->session);
        fuse_session_destroy(impl_->session);
        impl_->session = nullptr;
        return {MountFailure::Refused, std::error_code(cause != 0 ? cause : EPERM, std::generic_category())};
    }
    return {};
}

bool CollectionFs::serve()
{
    if (!impl_->session)
        return false;
    impl_->start_reading_ahead();
    fuse_loop_config* config = fuse_loop_cfg_create();
    fuse_loop_cfg_set_clone_fd(config, 0);
    fuse_loop_cfg_set_max_threads(config, 16);
    const int result = fuse_session_loop_mt(impl_->session, config);
    fuse_loop_cfg_destroy(config);
    impl_->stop_reading_ahead();
    fuse_remove_signal_handlers(impl_->session);
    fuse_session_unmount(impl_->session);
    fuse_session_destroy(impl_->session);
    impl_->session = nullptr;
    // A loop ended by one of the signals gives that signal's number.
    return result >= 0;
}

bool CollectionFs::continue_in_background(std::error_code& error)
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        error = std::error_code(errno, std::generic_category());
        return false;
    }
    if (child > 0) {
        impl_->handed_over = true;
        return false;
    }
    ::setsid();
    if (::chdir("/") != 0) {
        // Nothing here needs the working folder: every path is absolute or open.
    }
    // Whoever reads the command's output through a pipe waits for its end,
    // which would not come before the unmount while this process held it.
    // Standard error stays only where a damaged entry's line is seen and
    // nobody waits: a terminal, or a file it is logged to.
    struct stat error_target {};
    const bool keep_error = ::isatty(STDERR_FILENO) ||
                            (::fstat(STDERR_FILENO, &error_target) == 0 && S_ISREG(error_target.st_mode));
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        if (!keep_error)
            ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
    return true;
}

}  // namespace quarrix::mount

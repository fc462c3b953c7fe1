#include "hpiutil/hpiutil.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <vector>

#include <hpi/hpi.h>

#include "hpiutil/extract.h"
#include "hpiutil/handles.h"
#include "hpiutil/listing.h"
#include "hpiutil/progress.h"
#include "hpiutil/text.h"

namespace fs = std::filesystem;

namespace {

struct Session {
    virtual ~Session() = default;
};

struct ReadSession : Session {
    std::unique_ptr<hpi::Archive> archive;
    std::vector<hpiutil::ListedEntry> listing;  // fixed once opened
    hpiutil::FolderCache folders;
};

struct CreateSession : Session {
    std::mutex mutex;  // the Writer is not meant for two threads at once
    hpi::Writer writer;
    fs::path target;
    PackCallbackFn callback = nullptr;
    std::map<fs::path, std::string> disk_texts;  // as the caller named each disk file
};

hpiutil::HandleTable<Session>& sessions() {
    static hpiutil::HandleTable<Session> table;
    return table;
}

template <class T>
std::shared_ptr<T> find_session(std::int32_t handle) {
    if (handle == 0) return nullptr;
    return std::dynamic_pointer_cast<T>(sessions().find(handle));
}

bool is_existing_folder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool parent_folder_exists(const fs::path& file) {
    return is_existing_folder(file.parent_path().empty() ? fs::path(".") : file.parent_path());
}

bool is_regular_disk_file(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

bool method_from_number(std::int32_t number, hpi::Method& method) {
    switch (number) {
    case 0: method = hpi::Method::Stored; return true;
    case 1: method = hpi::Method::Lz77; return true;
    case 2: method = hpi::Method::Zlib; return true;
    default: return false;
    }
}

// The listing holds no name longer than 255 bytes, so this fits the 256 bytes
// the caller provides.
void copy_name(const std::string& name, char* buffer) {
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
}

std::size_t level_count(std::string_view archive_path) {
    return 1 + std::size_t(std::count_if(archive_path.begin(), archive_path.end(),
                                         [](char c) { return c == '\\' || c == '/'; }));
}

}  // namespace

std::int32_t HPIOpen(const char* archivePath) {
    const auto file = hpiutil::disk_path_from_text(archivePath);
    if (!file) return 0;
    auto opened = hpi::Archive::open(*file);
    if (!opened) return 0;
    auto session = std::make_shared<ReadSession>();
    session->archive = std::move(opened.value());
    session->listing = hpiutil::build_listing(session->archive->entries());
    return sessions().insert(std::move(session));
}

std::int32_t HPIGetFiles(std::int32_t handle, std::int32_t token, char* nameBuffer,
                         std::int32_t* kind, std::int32_t* size) {
    auto session = find_session<ReadSession>(handle);
    if (!session || nameBuffer == nullptr || token < 0) return 0;
    // The token is the position of the entry to hand out next, so a listing
    // needs no state of its own and token 0 always starts from the top.
    const std::size_t position = std::size_t(token);
    if (position >= session->listing.size() || token == INT32_MAX) return 0;
    const hpiutil::ListedEntry& listed = session->listing[position];
    copy_name(listed.name, nameBuffer);
    if (kind) *kind = listed.is_directory ? 1 : 0;
    if (size) *size = listed.size;
    return token + 1;
}

std::int32_t HPIExtractFile(std::int32_t handle, const char* entryPath,
                            const char* destinationPath) {
    auto session = find_session<ReadSession>(handle);
    const auto stored_path = hpiutil::archive_path_from_text(entryPath);
    const auto destination = hpiutil::disk_path_from_text(destinationPath);
    if (!session || !stored_path || !destination || !hpiutil::is_contained_archive_path(*stored_path))
        return 0;
    // The library prefers the exact spelling, so of two names that differ
    // only in case each extracts its own entry.
    const auto index = session->archive->find(*stored_path);
    if (!index) return 0;
    const auto below_root = hpiutil::split_destination(destination->native(), level_count(*stored_path));
    if (!below_root) return 0;
    return hpiutil::extract_beneath(*session->archive, *index, *below_root, session->folders) ? 1 : 0;
}

std::int32_t HPIClose(std::int32_t handle) {
    if (handle == 0) return 0;
    return sessions().take(handle) ? 1 : 0;
}

std::int32_t HPICreate(const char* archivePath, PackCallbackFn callback) {
    auto target = hpiutil::disk_path_from_text(archivePath);
    if (!target || !target->has_filename() || !parent_folder_exists(*target) || is_existing_folder(*target))
        return 0;
    auto session = std::make_shared<CreateSession>();
    session->target = std::move(*target);
    session->callback = callback;
    return sessions().insert(std::move(session));
}

std::int32_t HPICreateDirectory(std::int32_t handle, const char* archiveDirPath) {
    auto session = find_session<CreateSession>(handle);
    const auto stored_path = hpiutil::archive_path_from_text(archiveDirPath);
    if (!session || !stored_path) return 0;
    std::lock_guard lock(session->mutex);
    return session->writer.add_directory(*stored_path) ? 0 : 1;
}

std::int32_t HPIAddFile(std::int32_t handle, const char* archivePath, const char* diskPath) {
    auto session = find_session<CreateSession>(handle);
    const auto stored_path = hpiutil::archive_path_from_text(archivePath);
    const auto disk_file = hpiutil::disk_path_from_text(diskPath);
    if (!session || !stored_path || !disk_file || !is_regular_disk_file(*disk_file)) return 0;
    std::lock_guard lock(session->mutex);
    if (session->writer.add_file(*stored_path, *disk_file)) return 0;
    session->disk_texts.insert_or_assign(*disk_file, diskPath);
    return 1;
}

std::int32_t HPIPackArchive(std::int32_t handle, std::int32_t method) {
    if (handle == 0) return 0;
    // Released first: the caller never uses the handle again, and nobody
    // else may add to an archive that is being written.
    auto session = std::static_pointer_cast<CreateSession>(sessions().take_if(
        handle, [](const Session& s) { return dynamic_cast<const CreateSession*>(&s) != nullptr; }));
    if (!session) return 0;
    hpi::PackOptions options;
    if (!method_from_number(method, options.method)) return 0;
    std::lock_guard lock(session->mutex);
    hpiutil::ProgressRelay relay(session->callback, &session->disk_texts);
    const hpi::Error error = session->writer.pack(
        session->target, options,
        [&relay](const hpi::PackProgress& progress) { relay.forward(progress); });
    if (error) return 0;
    relay.finish();
    return 1;
}

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
#include "hpiutil/failure.h"
#include "hpiutil/handles.h"
#include "hpiutil/listing.h"
#include "hpiutil/progress.h"
#include "hpiutil/text.h"
#include "platform/stop_signals.h"

namespace fs = std::filesystem;

namespace {

struct Session {
    virtual ~Session() = default;
};

struct ReadSession : Session {
    std::unique_ptr<hpi::Archive> archive;
    hpiutil::Listing listing;  // fixed once opened
    hpiutil::FolderCache folders;
};

struct CreateSession : Session {
    std::mutex mutex;  // the Writer is not meant for two threads at once
    hpi::Writer writer;
    fs::path target;
    PackCallbackFn callback = nullptr;
    std::map<fs::path, std::string> disk_texts;  // as the caller named each disk file
};

using hpiutil::Cause;
using hpiutil::Failure;

thread_local Failure last_failure;

// Every entry point ends through one of these two, so the last failure is
// always the last call's.
std::int32_t fail(Failure failure)
{
    last_failure = std::move(failure);
    return 0;
}

std::int32_t fail(Cause cause, std::string detail = {})
{
    return fail(hpiutil::Because(cause, std::move(detail)));
}

std::int32_t succeed(std::int32_t result = 1)
{
    last_failure = {};
    return result;
}

// Why a text from the caller could not be taken as a disk path.
std::int32_t fail_disk_text(const char* text)
{
    return fail(text == nullptr || *text == '\0' ? Cause::Missing : Cause::NotUtf8);
}

// Why a text from the caller could not be taken as a path inside an archive.
std::int32_t fail_archive_text(const char* text)
{
    return fail(text != nullptr && hpiutil::is_valid_utf8(text) ? Cause::NotCp1252 : Cause::NotUtf8);
}

hpiutil::HandleTable<Session>& sessions()
{
    static hpiutil::HandleTable<Session> table;
    return table;
}

template <class T>
std::shared_ptr<T> find_session(std::int32_t handle)
{
    if (handle == 0)
        return nullptr;
    return std::dynamic_pointer_cast<T>(sessions().find(handle));
}

bool is_existing_folder(const fs::path& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

// Why a new archive could not be written at `file`, or no failure.
Failure where_an_archive_cannot_go(const fs::path& file)
{
    if (!file.has_filename())
        return hpiutil::Because(Cause::Other, "no file name given");
    if (is_existing_folder(file))
        return hpiutil::Because(Cause::InTheWay, "a folder has that name");
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (error)
        return hpiutil::FromSystem(error);
    if (!fs::is_directory(status))
        return hpiutil::FromSystem(std::make_error_code(std::errc::not_a_directory));
    return {};
}

// Why a disk file cannot be added, or no failure.
Failure why_not_a_regular_file(const fs::path& file)
{
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (error)
        return hpiutil::FromSystem(error);
    if (!fs::is_regular_file(status))
        return hpiutil::Because(Cause::NotAFile);
    return {};
}

bool method_from_number(std::int32_t number, hpi::Method& method)
{
    switch (number) {
        case 0:
            method = hpi::Method::Stored;
            return true;
        case 1:
            method = hpi::Method::Lz77;
            return true;
        case 2:
            method = hpi::Method::Zlib;
            return true;
        default:
            return false;
    }
}

// The listing holds no name longer than 255 bytes, so this fits the 256 bytes
// the caller provides.
void copy_name(const std::string& name, char* buffer)
{
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
}

std::size_t level_count(std::string_view archive_path)
{
    return 1 + std::size_t(std::count_if(archive_path.begin(), archive_path.end(),
                                         [](char c) { return c == '\\' || c == '/'; }));
}

}  // namespace

std::int32_t HPIOpen(const char* archivePath)
{
    const auto file = hpiutil::disk_path_from_text(archivePath);
    if (!file)
        return fail_disk_text(archivePath);
    auto opened = hpi::Archive::open(*file);
    if (!opened)
        return fail(hpiutil::FromLibrary(opened.error(), true));
    auto session = std::make_shared<ReadSession>();
    session->archive = std::move(opened.value());
    session->listing = hpiutil::build_listing(session->archive->entries());
    return succeed(sessions().insert(std::move(session)));
}

std::int32_t HPIGetFiles(std::int32_t handle, std::int32_t token, char* nameBuffer, std::int32_t* kind,
                         std::int32_t* size)
{
    auto session = find_session<ReadSession>(handle);
    if (!session)
        return fail(Cause::Other, "not an open archive");
    if (nameBuffer == nullptr || token < 0)
        return fail(Cause::Other, "no name buffer or a bad token");
    // The token is the position of the entry to hand out next, so a listing
    // needs no state of its own and token 0 always starts from the top.
    const std::size_t position = std::size_t(token);
    const auto& entries = session->listing.entries;
    if (position >= entries.size() || token == INT32_MAX)
        return succeed(0);
    const hpiutil::ListedEntry& listed = entries[position];
    copy_name(listed.name, nameBuffer);
    if (kind)
        *kind = listed.is_directory ? 1 : 0;
    if (size)
        *size = listed.size;
    return succeed(token + 1);
}

std::int32_t HPIExtractFile(std::int32_t handle, const char* entryPath, const char* destinationPath)
{
    auto session = find_session<ReadSession>(handle);
    if (!session)
        return fail(Cause::Other, "not an open archive");
    const auto stored_path = hpiutil::archive_path_from_text(entryPath);
    if (!stored_path)
        return fail_archive_text(entryPath);
    const auto destination = hpiutil::disk_path_from_text(destinationPath);
    if (!destination)
        return fail_disk_text(destinationPath);
    if (!hpiutil::is_contained_archive_path(*stored_path))
        return fail(Cause::UnsafeName);
    // The library prefers the exact spelling, so of two names that differ
    // only in case each extracts its own entry.
    const auto index = session->archive->find(*stored_path);
    if (!index)
        return fail(Cause::Other, "no such entry in the archive");
    const auto below_root = hpiutil::split_destination(destination->native(), level_count(*stored_path));
    if (!below_root)
        return fail(Cause::UnsafeName);
    const Failure failure =
        hpiutil::extract_beneath(*session->archive, *index, *below_root, session->folders);
    return failure ? fail(failure) : succeed();
}

std::int32_t HPIClose(std::int32_t handle)
{
    if (handle == 0)
        return succeed(0);
    return sessions().take(handle) ? succeed() : fail(Cause::Other, "not an open archive");
}

std::int32_t HPICreate(const char* archivePath, PackCallbackFn callback)
{
    auto target = hpiutil::disk_path_from_text(archivePath);
    if (!target)
        return fail_disk_text(archivePath);
    if (Failure failure = where_an_archive_cannot_go(*target))
        return fail(std::move(failure));
    auto session = std::make_shared<CreateSession>();
    session->target = std::move(*target);
    session->callback = callback;
    return succeed(sessions().insert(std::move(session)));
}

std::int32_t HPICreateDirectory(std::int32_t handle, const char* archiveDirPath)
{
    auto session = find_session<CreateSession>(handle);
    if (!session)
        return fail(Cause::Other, "not an archive being created");
    const auto stored_path = hpiutil::archive_path_from_text(archiveDirPath);
    if (!stored_path)
        return fail_archive_text(archiveDirPath);
    std::lock_guard lock(session->mutex);
    const hpi::Error error = session->writer.add_directory(*stored_path);
    return error ? fail(hpiutil::FromLibrary(error)) : succeed();
}

std::int32_t HPIAddFile(std::int32_t handle, const char* archivePath, const char* diskPath)
{
    auto session = find_session<CreateSession>(handle);
    if (!session)
        return fail(Cause::Other, "not an archive being created");
    const auto stored_path = hpiutil::archive_path_from_text(archivePath);
    if (!stored_path)
        return fail_archive_text(archivePath);
    const auto disk_file = hpiutil::disk_path_from_text(diskPath);
    if (!disk_file)
        return fail_disk_text(diskPath);
    if (Failure failure = why_not_a_regular_file(*disk_file))
        return fail(std::move(failure));
    std::lock_guard lock(session->mutex);
    if (const hpi::Error error = session->writer.add_file(*stored_path, *disk_file))
        return fail(hpiutil::FromLibrary(error));
    session->disk_texts.insert_or_assign(*disk_file, diskPath);
    return succeed();
}

std::int32_t HPIPackArchive(std::int32_t handle, std::int32_t method)
{
    // Released first: the caller never uses the handle again, and nobody
    // else may add to an archive that is being written.
    auto session = std::static_pointer_cast<CreateSession>(sessions().take_if(
        handle, [](const Session& s) { return dynamic_cast<const CreateSession*>(&s) != nullptr; }));
    if (!session)
        return fail(Cause::Other, "not an archive being created");
    hpi::PackOptions options;
    if (!method_from_number(method, options.method))
        return fail(Cause::Other, "unknown packing method " + std::to_string(method));
    // A program asked to stop by a signal gets its answer within a chunk,
    // with nothing left behind.
    options.stop = &quarrix::platform::StopFlag();
    std::lock_guard lock(session->mutex);
    hpiutil::ProgressRelay relay(session->callback, &session->disk_texts);
    const hpi::Error error = session->writer.pack(
        session->target, options, [&relay](const hpi::PackProgress& progress) { relay.forward(progress); });
    if (error)
        return fail(hpiutil::FromLibrary(error));
    relay.finish();
    return succeed();
}

const hpiutil::Failure& HPIGetLastFailure()
{
    return last_failure;
}

std::vector<hpiutil::OmittedEntry> HPIGetOmittedEntries(std::int32_t handle)
{
    auto session = find_session<ReadSession>(handle);
    return session ? session->listing.omitted : std::vector<hpiutil::OmittedEntry>{};
}

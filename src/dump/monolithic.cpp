#include "monolithic.h"

#include "hpiutil/hpiutil.h"
#include "platform/find_file.h"
#include "text.h"

#include <filesystem>

namespace quarrix::dump {

namespace {

constexpr std::int32_t kZlib = 2;

// A name the new archive can be written under inside the target folder and
// nowhere else.
bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

std::string Joined(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : (std::filesystem::path(folder) / name).string();
}

}  // namespace

void AddDirectory(std::int32_t handle, const std::string& source, const std::string& archivePath,
                  MonolithicHost& host, DumpFailures& failures, const std::string& archive)
{
    platform::WIN32_FIND_DATAA data;
    const platform::FindHandle search =
        platform::FindFirstFileA(Joined(source, "*.*").c_str(), &data, platform::FindDetail::KindAndName);
    if (search == platform::INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = StripNull(std::string_view(data.cFileName, sizeof data.cFileName));
        const std::string sourcePath = Joined(source, name);
        const std::string entryPath = archivePath.empty() ? name : archivePath + "\\" + name;
        if (data.dwFileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) {
            if (name != "." && name != "..") {
                if (HPICreateDirectory(handle, entryPath.c_str()) == 0)
                    failures.Add(archive, "cannot add the folder " + sourcePath);
                AddDirectory(handle, sourcePath, entryPath, host, failures, archive);
            }
        } else if (HPIAddFile(handle, entryPath.c_str(), sourcePath.c_str()) == 0) {
            // Empty files are added like any other: a consolidated dump loses
            // no file.
            host.Message("Error on HPIAddFile " + sourcePath);
            failures.Add(archive, "cannot add " + sourcePath);
        }
    } while (platform::FindNextFileA(search, &data));
    platform::FindClose(search);
}

void CreateMonolithic(const std::string& target, const std::string& Filename,
                      const std::string& tempFolder, MonolithicHost& host, DumpFailures& failures)
{
    const std::string archive = Joined(target, Filename);
    const bool named = !target.empty() && IsPlainFileName(Filename);
    const std::int32_t handle = named ? HPICreate(archive.c_str(), &Callback::PackCallback) : 0;
    if (handle == 0) {
        host.Message("Error on HPICreate");
        failures.Add(archive, "cannot create the archive");
        return;
    }
    AddDirectory(handle, tempFolder, std::string(), host, failures, archive);

    host.PackingStarts();
    std::int32_t packed = 0;
    {
        Callback::PackProgressScope scope(host);
        packed = HPIPackArchive(handle, kZlib);
    }
    host.PackingEnds();
    if (packed == 0) {
        host.Message("Error on HPIPackArchive");
        failures.Add(archive, "packing failed");
    }
    host.DeleteFolder(tempFolder);
}

}  // namespace quarrix::dump

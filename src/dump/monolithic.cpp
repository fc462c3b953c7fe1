#include "monolithic.h"

#include "folder_walk.h"
#include "hpiutil/hpiutil.h"
#include "text.h"

#include <hpi/names.h>

#include <filesystem>

namespace quarrix::dump {

namespace {

constexpr std::int32_t kZlib = 2;

std::string Joined(const std::string& folder, const std::string& name)
{
    return folder.empty() ? name : (std::filesystem::path(folder) / name).string();
}

}  // namespace

namespace {

// The new archive through the contract: each refused file is also shown in
// a message of its own, as it happens.
class ContractTarget final : public PackingTarget {
public:
    ContractTarget(std::int32_t handle, MonolithicHost& host) : handle_(handle), host_(host) {}

    hpiutil::Failure AddFolder(const std::string& archivePath) override
    {
        if (HPICreateDirectory(handle_, archivePath.c_str()) != 0)
            return {};
        return HPIGetLastFailure();
    }

    hpiutil::Failure AddFile(const std::string& archivePath, const std::string& diskPath) override
    {
        // Empty files are added like any other: a consolidated dump loses no
        // file.
        if (HPIAddFile(handle_, archivePath.c_str(), diskPath.c_str()) != 0)
            return {};
        hpiutil::Failure failure = HPIGetLastFailure();
        host_.Message("Error on HPIAddFile " + diskPath);
        return failure;
    }

private:
    std::int32_t handle_;
    MonolithicHost& host_;
};

}  // namespace

void AddDirectory(std::int32_t handle, const std::string& source, const std::string& archivePath,
                  MonolithicHost& host, DumpFailures& failures, const std::string& archive)
{
    ContractTarget target(handle, host);
    WalkFolderForPacking(source, archivePath, target, failures, archive);
}

void CreateMonolithic(const std::string& target, const std::string& Filename, const std::string& tempFolder,
                      MonolithicHost& host, DumpFailures& failures)
{
    const std::string archive = Joined(target, Filename);
    hpiutil::Failure refused;
    if (target.empty())
        refused = hpiutil::Because(hpiutil::Cause::Other, "no target folder was given");
    else if (!hpi::is_safe_level(Filename))  // the archive goes in the target folder, nowhere else
        refused = hpiutil::Because(hpiutil::Cause::UnsafeName);
    const std::int32_t handle = refused ? 0 : HPICreate(archive.c_str(), &Callback::PackCallback);
    if (handle == 0) {
        host.Message("Error on HPICreate");
        failures.Add(archive, std::string(), refused ? refused : HPIGetLastFailure());
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
        const hpiutil::Failure failure = HPIGetLastFailure();
        // A stop asked for by a signal is the run's to report, not a fault
        // of the archive.
        if (failure.cause != hpiutil::Cause::Interrupted) {
            host.Message("Error on HPIPackArchive");
            failures.Add(archive, std::string(), failure);
        }
    }
    host.DeleteFolder(tempFolder);
}

}  // namespace quarrix::dump

#include "extraction.h"

#include "destination_tree.h"
#include "hpiutil/hpiutil.h"
#include "text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace quarrix::dump {

namespace {

struct ListedEntry {
    std::string name;
    bool isDirectory = false;
    std::int32_t size = 0;
};

// One HPIGetFiles call with a fresh name buffer of 255 blanks. Returns the
// token for the next call; 0 when the listing has ended (entry untouched).
std::int32_t NextEntry(std::int32_t handle, std::int32_t token, ListedEntry& entry)
{
    char buffer[256];
    std::memset(buffer, ' ', 255);
    buffer[255] = '\0';
    std::int32_t kind = 0;
    std::int32_t size = 0;
    const std::int32_t next = HPIGetFiles(handle, token, buffer, &kind, &size);
    if (next != 0) {
        entry.name = StripNull(std::string_view(buffer, sizeof buffer));
        entry.isDirectory = kind != 0;
        entry.size = size;
    }
    return next;
}

std::int32_t SaturatingAdd(std::int32_t total, std::int32_t size)
{
    const std::int64_t sum = std::int64_t(total) + size;
    return std::int32_t(std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

class ArchiveExtraction {
public:
    ArchiveExtraction(std::int32_t handle, const std::string& archive, DestinationTree& tree,
                      ExtractionProgress& progress, DumpFailures& failures)
        : handle_(handle), archive_(archive), tree_(tree), progress_(progress), failures_(failures)
    {
    }

    // Makes the archive's folders and returns the lower bar's total.
    std::int32_t MakeFolders()
    {
        std::int32_t directoryTotal = 0;
        ListedEntry entry;
        for (std::int32_t token = NextEntry(handle_, 0, entry); token != 0;
             token = NextEntry(handle_, token, entry)) {
            if (!entry.isDirectory)
                continue;
            directoryTotal = SaturatingAdd(directoryTotal, entry.size);
            const auto components = Components(entry.name);
            if (!components)
                continue;
            std::error_code error;
            if (!tree_.MakeFolders(*components, error))
                failures_.AddFolder(archive_, entry.name, hpiutil::FromSystem(error));
        }
        return directoryTotal;
    }

    // Entries the listing cannot name are not lost without a word.
    void ReportOmittedEntries()
    {
        for (const std::string& name : HPIGetOmittedEntries(handle_))
            failures_.Add(archive_, name,
                          hpiutil::Because(hpiutil::Cause::NameTooLong, "over 255 bytes, not extracted"));
    }

    void ExtractFiles(std::int32_t directoryTotal)
    {
        std::int32_t filesDone = 0;
        ListedEntry entry;
        for (std::int32_t token = NextEntry(handle_, 0, entry); !progress_.Cancel() && token != 0;
             token = NextEntry(handle_, token, entry)) {
            if (entry.isDirectory)
                continue;
            progress_.StartSub("Exctracting " + GetBaseName(entry.name));
            progress_.UpdateSub(filesDone, directoryTotal);
            ExtractFile(entry);
            filesDone = SaturatingAdd(filesDone, 1);
        }
    }

private:
    std::optional<std::vector<std::string>> Components(const std::string& name)
    {
        auto components = SafeComponents(name);
        if (!components)
            failures_.Add(archive_, name, hpiutil::Because(hpiutil::Cause::UnsafeName));
        return components;
    }

    void ExtractFile(const ListedEntry& entry)
    {
        const auto components = Components(entry.name);
        if (!components)
            return;
        const std::vector<std::string> onDisk = tree_.ResolveFile(*components);
        const std::string diskPath = tree_.DiskPath(onDisk).string();
        if (HPIExtractFile(handle_, entry.name.c_str(), diskPath.c_str()) == 0) {
            // A file given up for a stop request is not the entry's failure:
            // the run as a whole says it was interrupted.
            if (HPIGetLastFailure().cause != hpiutil::Cause::Interrupted)
                failures_.Add(archive_, entry.name, HPIGetLastFailure());
            return;
        }
        tree_.NoteFile(onDisk);
        progress_.FileWritten(std::uint64_t(std::max<std::int32_t>(entry.size, 0)));
    }

    std::int32_t handle_;
    const std::string& archive_;
    DestinationTree& tree_;
    ExtractionProgress& progress_;
    DumpFailures& failures_;
};

}  // namespace

void ExtractArchives(const std::string& destination, ArchiveList& lstFiles,
                     ExtractionProgress& progress, DumpFailures& failures)
{
    // An empty destination would put the output in whatever folder the
    // program happens to run in.
    if (destination.empty()) {
        failures.Add(std::string(), std::string(), hpiutil::Because(hpiutil::Cause::Other, "no target folder was given"));
        return;
    }
    const std::int32_t initialCount = lstFiles.ListCount();
    DestinationTree tree{std::filesystem::path(destination)};
    while (lstFiles.ListCount() != 0 && !progress.Cancel()) {
        const std::string archive = lstFiles.List(0);
        progress.StartMain(GetBaseName(archive), "Decompressing Archive");
        progress.UpdateMain(initialCount - lstFiles.ListCount() + 1, initialCount);
        const std::int32_t handle = HPIOpen(archive.c_str());
        if (handle == 0) {
            failures.Add(archive, std::string(), HPIGetLastFailure());
        } else {
            ArchiveExtraction extraction(handle, archive, tree, progress, failures);
            extraction.ReportOmittedEntries();
            extraction.ExtractFiles(extraction.MakeFolders());
        }
        HPIClose(handle);
        lstFiles.RemoveItem(0);
    }
}

}  // namespace quarrix::dump

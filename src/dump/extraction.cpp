#include "extraction.h"

#include "destination_tree.h"
#include "file_workers.h"
#include "hpiutil/hpiutil.h"
#include "text.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace quarrix::dump {

namespace {

// Files handed over and not yet taken back, per worker: enough that the
// workers go on with the small files behind a large one that is still being
// written (the answers are taken back in order). A job holds only names, so
// these are well under a MiB in all.
constexpr std::size_t kJobsPerWorker = 512;

// When that many are in flight, the calling thread waits until this part of
// them has ended, then takes them back together: one wake-up for many files.
constexpr std::size_t kTakenBackTogether = 64;

// Of files taken back together, the lower bar shows at least every this many.
constexpr std::size_t kShownEvery = 32;

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

// The files handed to the workers and not yet taken back, by their path with
// ASCII letters folded to lower case. An entry whose path meets one of them
// waits until it is taken back: which name it lands on may depend on whether
// that one was written (two names that differ only in case land on one file,
// the later winning), and so may whether a folder or a file of its name is
// in the way.
class FilesInFlight {
public:
    void Add(const std::vector<std::string>& components) { Change(components, +1); }
    void Remove(const std::vector<std::string>& components) { Change(components, -1); }

    bool Meets(const std::vector<std::string>& components) const
    {
        if (files_.empty())
            return false;
        std::string key;
        for (const std::string& component : components) {
            key += FoldCase(component);
            if (files_.count(key) != 0)
                return true;
            key += '/';
        }
        key.pop_back();
        return folders_.count(key) != 0;
    }

private:
    void Change(const std::vector<std::string>& components, int by)
    {
        std::string key;
        for (std::size_t i = 0; i < components.size(); ++i) {
            key += FoldCase(components[i]);
            Count(i + 1 == components.size() ? files_ : folders_, key, by);
            key += '/';
        }
    }

    static void Count(std::unordered_map<std::string, int>& counts, const std::string& key, int by)
    {
        if ((counts[key] += by) == 0)
            counts.erase(key);
    }

    std::unordered_map<std::string, int> files_;    // the files themselves
    std::unordered_map<std::string, int> folders_;  // every folder above them
};

class ArchiveExtraction {
public:
    ArchiveExtraction(std::int32_t handle, const std::string& archive, DestinationTree& tree,
                      ExtractionProgress& progress, DumpFailures& failures, FileWorkers& workers,
                      std::size_t maxInFlight)
        : handle_(handle), archive_(archive), tree_(tree), progress_(progress), failures_(failures),
          workers_(workers), maxInFlight_(maxInFlight)
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
            const auto components = SafeComponents(entry.name);
            if (!components) {
                failures_.Add(archive_, entry.name, hpiutil::Because(hpiutil::Cause::UnsafeName));
                continue;
            }
            std::error_code error;
            if (!tree_.MakeFolders(*components, error))
                failures_.AddFolder(archive_, entry.name, hpiutil::FromSystem(error));
        }
        return directoryTotal;
    }

    // Entries the listing cannot name are not lost without a word.
    void ReportOmittedEntries()
    {
        for (const hpiutil::OmittedEntry& omitted : HPIGetOmittedEntries(handle_))
            failures_.Add(archive_, omitted.name, omitted.cause);
    }

    // Hands the files to the workers in listing order and takes them back in
    // the same order, reporting each as it is taken back: the progress and
    // the failures come as they would from one file after another. A cancel
    // is polled before each entry and between the batches taken back; the
    // files not yet started then are not written at all, and those being
    // written are finished.
    void ExtractFiles(std::int32_t directoryTotal)
    {
        directoryTotal_ = directoryTotal;
        ListedEntry entry;
        for (std::int32_t token = NextEntry(handle_, 0, entry);; token = NextEntry(handle_, token, entry)) {
            if (Cancelled() || token == 0)
                break;
            if (entry.isDirectory)
                continue;
            HandOver(entry);
            TakeBackReady();
        }
        TakeBackAll();
    }

private:
    struct PendingFile {
        ListedEntry entry;
        bool handedOver = false;              // false: its name is unsafe
        std::vector<std::string> components;  // as the entry names them
        std::vector<std::string> onDisk;      // as they are on disk
    };

    void HandOver(const ListedEntry& entry)
    {
        PendingFile file;
        file.entry = entry;
        auto components = SafeComponents(entry.name);
        if (components) {
            if (inFlight_.Meets(*components)) {
                TakeBackAll();
                if (cancelled_)
                    return;  // not started, so not written at all
            }
            file.onDisk = tree_.ResolveFile(*components);
            workers_.Submit(handle_, entry.name, tree_.DiskPath(file.onDisk).string(),
                            std::uint64_t(std::max<std::int32_t>(entry.size, 0)));
            inFlight_.Add(*components);
            file.components = std::move(*components);
            file.handedOver = true;
        }
        pending_.push_back(std::move(file));
        if (workers_.Pending() >= maxInFlight_)
            TakeBack(kTakenBackTogether);
    }

    // The files already written at the front are taken back at once; the
    // lower bar is shown for the last of them (and every kShownEvery files),
    // so the calling thread, which may be a window's, spends its time on
    // what a person can see.
    void TakeBackReady()
    {
        std::size_t jobsReady = workers_.ReadyCount();
        std::size_t ready = 0;
        while (ready < pending_.size() && (!pending_[ready].handedOver || jobsReady > 0)) {
            if (pending_[ready].handedOver)
                --jobsReady;
            ++ready;
        }
        for (std::size_t i = 0; i < ready; ++i)
            TakeBackOne(i + 1 == ready || (i + 1) % kShownEvery == 0);
    }

    // Waits until at least `wanted` of the files at the front have ended (or
    // all that were handed over), then takes back every one that has.
    void TakeBack(std::size_t wanted)
    {
        workers_.WaitForReady(wanted);
        TakeBackReady();
    }

    // A batch at a time, so that the calling thread's share of each file
    // (the tree, the progress) is done while the workers write the next.
    void TakeBackAll()
    {
        while (!pending_.empty()) {
            Cancelled();
            TakeBack(kTakenBackTogether);
        }
    }

    bool Cancelled()
    {
        if (!cancelled_ && progress_.Cancel()) {
            cancelled_ = true;
            workers_.DropWaiting();
        }
        return cancelled_;
    }

    // Only for a file at the front that was refused or has ended.
    void TakeBackOne(bool shown)
    {
        PendingFile file = std::move(pending_.front());
        pending_.pop_front();
        if (!file.handedOver) {
            // Behind a file that was not started, nothing counts as tried.
            if (!dropped_) {
                ReportTried(file.entry, shown);
                failures_.Add(archive_, file.entry.name, hpiutil::Because(hpiutil::Cause::UnsafeName));
            }
            return;
        }
        const FileJob job = workers_.TakeOldest();
        inFlight_.Remove(file.components);
        if (job.state == FileJob::State::Dropped) {
            dropped_ = true;
            return;
        }
        ReportTried(file.entry, shown);
        if (!job.written) {
            // A file given up for a stop request is not the entry's failure:
            // the run as a whole says it was interrupted.
            if (job.failure.cause != hpiutil::Cause::Interrupted)
                failures_.Add(archive_, file.entry.name, job.failure);
            return;
        }
        tree_.NoteFile(file.onDisk);
        progress_.FileWritten(archive_, file.entry.name,
                              std::uint64_t(std::max<std::int32_t>(file.entry.size, 0)));
    }

    void ReportTried(const ListedEntry& entry, bool shown)
    {
        if (shown) {
            progress_.StartSub("Exctracting " + GetBaseName(entry.name));
            progress_.UpdateSub(filesDone_, directoryTotal_);
        }
        filesDone_ = SaturatingAdd(filesDone_, 1);
    }

    std::int32_t handle_;
    const std::string& archive_;
    DestinationTree& tree_;
    ExtractionProgress& progress_;
    DumpFailures& failures_;
    FileWorkers& workers_;
    const std::size_t maxInFlight_;
    std::deque<PendingFile> pending_;  // handed over (or refused), oldest first
    FilesInFlight inFlight_;
    std::int32_t directoryTotal_ = 0;
    std::int32_t filesDone_ = 0;
    bool dropped_ = false;
    bool cancelled_ = false;
};

// How many threads write files: one per core, within the bound that keeps
// the memory in flight small (each holds a few hundred KiB of read-ahead and
// decoded chunk; see kMaxWorkers).
unsigned WorkerThreads(unsigned asked)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned workers = std::min(asked == 0 ? cores : asked, kMaxWorkers);
    // With one, the calling thread writes the files itself.
    return workers <= 1 ? 0 : workers;
}

}  // namespace

void ExtractArchives(const std::string& destination, ArchiveList& lstFiles, ExtractionProgress& progress,
                     DumpFailures& failures, const ExtractionOptions& options)
{
    // An empty destination would put the output in whatever folder the
    // program happens to run in.
    if (destination.empty()) {
        failures.Add(std::string(), std::string(),
                     hpiutil::Because(hpiutil::Cause::Other, "no target folder was given"));
        return;
    }
    const std::int32_t initialCount = lstFiles.ListCount();
    DestinationTree tree{std::filesystem::path(destination)};
    const unsigned threads = WorkerThreads(options.workers);
    const std::size_t maxInFlight = std::max(1u, threads) * kJobsPerWorker;
    std::optional<FileWorkers> workers;  // started with the first archive that opens
    while (lstFiles.ListCount() != 0 && !progress.Cancel()) {
        const std::string archive = lstFiles.List(0);
        progress.StartMain(GetBaseName(archive), "Decompressing Archive");
        progress.UpdateMain(initialCount - lstFiles.ListCount() + 1, initialCount);
        const std::int32_t handle = HPIOpen(archive.c_str());
        if (handle == 0) {
            failures.Add(archive, std::string(), HPIGetLastFailure());
        } else {
            if (!workers)
                workers.emplace(threads);
            ArchiveExtraction extraction(handle, archive, tree, progress, failures, *workers, maxInFlight);
            extraction.ReportOmittedEntries();
            extraction.ExtractFiles(extraction.MakeFolders());
        }
        HPIClose(handle);
        lstFiles.RemoveItem(0);
    }
}

}  // namespace quarrix::dump

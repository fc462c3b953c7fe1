#include "file_workers.h"

#include "hpiutil/hpiutil.h"

#include <algorithm>
#include <utility>

namespace quarrix::dump {

namespace {

// Jobs handed in while every worker is busy are shown to the workers this
// many at a time, one lock for all of them.
constexpr std::size_t kBatch = 16;

// From this size on, a file goes to the front of the jobs waiting to start.
constexpr std::uint64_t kLargeFile = 1 << 20;

bool HasEnded(const FileJob& job)
{
    return job.state == FileJob::State::Done || job.state == FileJob::State::Dropped;
}

}  // namespace

FileWorkers::FileWorkers(unsigned threads)
{
    threads_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this] { Work(); });
}

FileWorkers::~FileWorkers()
{
    DropWaiting();
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    jobArrived_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void FileWorkers::Run(FileJob& job)
{
    job.written = HPIExtractFile(job.handle, job.entryPath.c_str(), job.diskPath.c_str()) != 0;
    if (!job.written)
        job.failure = HPIGetLastFailure();
}

void FileWorkers::Submit(std::int32_t handle, std::string entryPath, std::string diskPath, std::uint64_t size)
{
    FileJob job;
    job.handle = handle;
    job.entryPath = std::move(entryPath);
    job.diskPath = std::move(diskPath);
    job.size = size;
    if (threads_.empty()) {
        Run(job);
        job.state = FileJob::State::Done;
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        ++ready_;
        return;
    }
    batch_.push_back(std::move(job));
    // A worker that has just run out of work and is not counted yet gets the
    // batch when it is full, or when the calling thread waits.
    if (idle_.load(std::memory_order_relaxed) > 0 || batch_.size() >= kBatch)
        Flush();
}

void FileWorkers::Flush()
{
    if (batch_.empty())
        return;
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        for (FileJob& job : batch_) {
            jobs_.push_back(std::move(job));
            FileJob& placed = jobs_.back();
            (placed.size >= kLargeFile ? waitingLarge_ : waitingSmall_).push_back(&placed);
        }
        wake = idle_ > 0;
    }
    batch_.clear();
    // A worker that is busy takes the jobs when it is done: no wake-up.
    if (wake)
        jobArrived_.notify_all();
}

std::size_t FileWorkers::Pending() const
{
    std::lock_guard lock(mutex_);
    return jobs_.size() + batch_.size();
}

std::size_t FileWorkers::ReadyCount() const
{
    std::lock_guard lock(mutex_);
    return ready_;
}

void FileWorkers::WaitForReady(std::size_t wanted)
{
    Flush();
    std::unique_lock lock(mutex_);
    const std::size_t target = std::min(wanted, jobs_.size());
    if (ready_ >= target)
        return;
    wanted_ = target;
    jobsEnded_.wait(lock, [&] { return ready_ >= target; });
    wanted_ = 0;
}

FileJob FileWorkers::TakeOldest()
{
    std::lock_guard lock(mutex_);
    FileJob job = std::move(jobs_.front());
    jobs_.pop_front();
    --ready_;
    return job;
}

void FileWorkers::DropWaiting()
{
    std::lock_guard lock(mutex_);
    for (FileJob& job : batch_) {
        job.state = FileJob::State::Dropped;
        jobs_.push_back(std::move(job));
    }
    batch_.clear();
    for (std::deque<FileJob*>* lane : {&waitingLarge_, &waitingSmall_}) {
        for (FileJob* job : *lane)
            job->state = FileJob::State::Dropped;
        lane->clear();
    }
    NoteEnded();
}

// Under the lock, after a job ended: the run of ended jobs from the oldest
// grows, and the calling thread is woken once it holds what it waits for.
void FileWorkers::NoteEnded()
{
    while (ready_ < jobs_.size() && HasEnded(jobs_[ready_]))
        ++ready_;
    if (wanted_ != 0 && ready_ >= wanted_)
        jobsEnded_.notify_one();
}

void FileWorkers::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        jobArrived_.wait(lock,
                         [this] { return ending_ || !waitingLarge_.empty() || !waitingSmall_.empty(); });
        --idle_;
        std::deque<FileJob*>& lane = waitingLarge_.empty() ? waitingSmall_ : waitingLarge_;
        if (lane.empty())
            return;  // ending, and nothing left to start
        FileJob& job = *lane.front();
        lane.pop_front();
        job.state = FileJob::State::Running;
        lock.unlock();
        Run(job);
        lock.lock();
        job.state = FileJob::State::Done;
        NoteEnded();
    }
}

}  // namespace quarrix::dump

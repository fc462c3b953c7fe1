#include "file_workers.h"

#include "hpiutil/hpiutil.h"

#include <utility>

namespace quarrix::dump {

FileWorkers::FileWorkers(unsigned threads)
{
    threads_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this] { Work(); });
}

FileWorkers::~FileWorkers()
{
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    DropWaiting();
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

void FileWorkers::Submit(std::int32_t handle, std::string entryPath, std::string diskPath)
{
    FileJob job;
    job.handle = handle;
    job.entryPath = std::move(entryPath);
    job.diskPath = std::move(diskPath);
    if (threads_.empty()) {
        Run(job);
        job.state = FileJob::State::Done;
        jobs_.push_back(std::move(job));
        ++started_;
        return;
    }
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        wake = idle_ > 0;
    }
    // A worker that is busy takes the job when it is done: no wake-up.
    if (wake)
        jobArrived_.notify_one();
}

std::size_t FileWorkers::Pending() const
{
    std::lock_guard lock(mutex_);
    return jobs_.size();
}

std::size_t FileWorkers::ReadyCount() const
{
    std::lock_guard lock(mutex_);
    std::size_t ready = 0;
    while (ready < jobs_.size()
           && (jobs_[ready].state == FileJob::State::Done || jobs_[ready].state == FileJob::State::Dropped))
        ++ready;
    return ready;
}

FileJob FileWorkers::Next()
{
    std::unique_lock lock(mutex_);
    waitingForNext_ = true;
    jobDone_.wait(lock, [this] {
        return jobs_.front().state == FileJob::State::Done || jobs_.front().state == FileJob::State::Dropped;
    });
    waitingForNext_ = false;
    FileJob job = std::move(jobs_.front());
    jobs_.pop_front();
    --started_;
    return job;
}

void FileWorkers::DropWaiting()
{
    std::lock_guard lock(mutex_);
    for (std::size_t i = started_; i < jobs_.size(); ++i)
        jobs_[i].state = FileJob::State::Dropped;
    started_ = jobs_.size();
    jobDone_.notify_all();
}

void FileWorkers::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        jobArrived_.wait(lock, [this] { return ending_ || started_ < jobs_.size(); });
        --idle_;
        if (started_ == jobs_.size())
            return;  // ending, and nothing left to start
        FileJob& job = jobs_[started_++];
        job.state = FileJob::State::Running;
        lock.unlock();
        Run(job);
        lock.lock();
        job.state = FileJob::State::Done;
        // Only the oldest job can end a wait in Next.
        if (waitingForNext_ && &job == &jobs_.front())
            jobDone_.notify_one();
    }
}

}  // namespace quarrix::dump

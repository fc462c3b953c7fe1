// The threads that write an archive's files while the extraction walks its
// listing: each job is one HPIExtractFile call, and the answers come back in
// the order the jobs were handed in, so the extraction reports progress and
// failures exactly as if it had written the files one after another.
//
// The contract keeps each thread's last failure apart, so a job's cause is
// the one of its own call. With no threads at all, each job runs on the
// calling thread as it is handed in.
#pragma once

#include "hpiutil/failure.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarrix::dump {

// One file to write and, once done, how its write ended.
struct FileJob {
    std::int32_t handle = 0;
    std::string entryPath;
    std::string diskPath;

    enum class State { Waiting, Running, Done, Dropped };
    State state = State::Waiting;
    bool written = false;
    hpiutil::Failure failure;  // when not written
};

class FileWorkers {
public:
    // `threads` workers; 0 runs every job on the calling thread.
    explicit FileWorkers(unsigned threads);
    ~FileWorkers();  // drops the jobs not started, waits for the others
    FileWorkers(const FileWorkers&) = delete;
    FileWorkers& operator=(const FileWorkers&) = delete;

    void Submit(std::int32_t handle, std::string entryPath, std::string diskPath);

    // Jobs handed in and not yet taken back by Next.
    std::size_t Pending() const;
    // How many of the oldest jobs are done (or dropped) one after another
    // from the oldest, so that Next would not wait for them.
    std::size_t ReadyCount() const;
    // The oldest job, once it is done or dropped; waits for it.
    FileJob Next();

    // Jobs that have not started are not started at all: Next gives them
    // back Dropped. The ones running finish.
    void DropWaiting();

private:
    void Work();
    static void Run(FileJob& job);

    mutable std::mutex mutex_;
    std::condition_variable jobArrived_;
    std::condition_variable jobDone_;
    // Oldest first; a job keeps its place (and its address: a deque keeps
    // its elements in place when others come and go at either end) until
    // Next takes it.
    std::deque<FileJob> jobs_;
    std::size_t started_ = 0;  // jobs_[0, started_) have been taken by a worker
    unsigned idle_ = 0;        // workers waiting for a job
    bool waitingForNext_ = false;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace quarrix::dump

// The threads that write an archive's files while the extraction walks its
// listing: each job is one HPIExtractFile call, and the answers are taken
// back in the order the jobs were handed in, so the extraction reports
// progress and failures exactly as if it had written the files one after
// another.
//
// The contract keeps each thread's last failure apart, so a job's cause is
// the one of its own call. With no threads at all, each job runs on the
// calling thread as it is handed in.
//
// Every wake-up costs a system call, and a small file takes about as long to
// write as two wake-ups: so the calling thread is woken for a batch of
// answers rather than for each, and hands jobs over in batches while the
// workers are busy.
#pragma once

#include "hpiutil/failure.h"

#include <atomic>
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
    std::uint64_t size = 0;

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

    // `size` is the entry's size: large files are started before the small
    // ones handed in with them, so that an archive does not end with one
    // worker still writing its largest file while the others wait.
    void Submit(std::int32_t handle, std::string entryPath, std::string diskPath, std::uint64_t size);

    // Jobs handed in and not yet taken back.
    std::size_t Pending() const;
    // How many of the oldest jobs have ended (written, failed or dropped)
    // one after another from the oldest: TakeOldest may take that many.
    std::size_t ReadyCount() const;
    // Waits until at least `wanted` of the oldest jobs have ended, or all.
    void WaitForReady(std::size_t wanted);
    // The oldest job; only when ReadyCount() is not 0.
    FileJob TakeOldest();

    // Jobs that have not started are not started at all: they end Dropped.
    // The ones running finish.
    void DropWaiting();

private:
    void Work();
    void Flush();
    void NoteEnded();
    static void Run(FileJob& job);

    mutable std::mutex mutex_;
    std::condition_variable jobArrived_;
    std::condition_variable jobsEnded_;
    // Oldest first; a job keeps its place (and its address: a deque keeps
    // its elements in place when others come and go at either end) until
    // TakeOldest takes it.
    std::deque<FileJob> jobs_;
    std::deque<FileJob*> waitingLarge_;  // not started yet, by lane
    std::deque<FileJob*> waitingSmall_;
    std::vector<FileJob> batch_;      // handed in, not yet shown to the workers
    std::size_t ready_ = 0;           // jobs_[0, ready_) have ended
    std::size_t wanted_ = 0;          // what the calling thread waits for; 0: not waiting
    std::atomic<unsigned> idle_ = 0;  // workers waiting for a job (changed under the lock)
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace quarrix::dump

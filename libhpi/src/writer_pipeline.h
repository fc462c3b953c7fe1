// Compresses the pieces of the files being packed on worker threads and hands
// them back in the order they were submitted. The caller keeps the number of
// pieces in flight bounded, so memory stays bounded whatever the file sizes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "hpi/hpi.h"

namespace hpi::detail {

struct PieceJob {
    std::size_t file = 0;  // index of the file in packing order
    bool first_of_file = false;
    bool last_of_file = false;
    bool raw = false;  // stored data: written as read, not made a chunk
    std::size_t plain_size = 0;
    std::vector<std::uint8_t> plain;
    std::vector<std::uint8_t> out;  // what goes into the archive
    Error error;
    bool done = false;
};

class ChunkPipeline {
public:
    // `workers` may be 0 when only raw pieces will be submitted.
    ChunkPipeline(unsigned workers, Method method, int zlib_level);
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    void submit(std::unique_ptr<PieceJob> job);
    // The oldest submitted piece, once it is done. Requires in_flight() > 0.
    std::unique_ptr<PieceJob> next_result();
    std::size_t in_flight() const { return in_flight_; }

private:
    void work();
    void stop_workers();

    Method method_;
    int zlib_level_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable result_ready_;
    std::deque<std::unique_ptr<PieceJob>> in_order_;  // owns every piece in flight
    std::deque<PieceJob*> waiting_;                   // not yet taken by a worker
    std::size_t in_flight_ = 0;                       // used by the submitting thread only
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace hpi::detail

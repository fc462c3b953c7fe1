#include "writer_pipeline.h"

#include "chunk_encode.h"

#include <new>

namespace hpi::detail {
namespace {

Error encode_piece(ChunkEncoder& encoder, PieceJob& job)
{
    try {
        return encoder.encode(job.plain, job.out);
    } catch (const std::bad_alloc&) {
        return Error{ErrorKind::IoError, "out of memory while compressing a chunk"};
    }
}

}  // namespace

ChunkPipeline::ChunkPipeline(unsigned workers, Method method, int zlib_level)
    : method_(method), zlib_level_(zlib_level)
{
    threads_.reserve(workers);
    try {
        for (unsigned i = 0; i < workers; ++i)
            threads_.emplace_back([this] { work(); });
    } catch (...) {
        stop_workers();
        throw;
    }
}

ChunkPipeline::~ChunkPipeline()
{
    stop_workers();
}

void ChunkPipeline::stop_workers()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable())
            t.join();
}

void ChunkPipeline::submit(std::unique_ptr<PieceJob> job)
{
    PieceJob* piece = job.get();
    if (piece->raw) {
        piece->out = std::move(piece->plain);
        piece->done = true;
    }
    {
        std::lock_guard lock(mutex_);
        in_order_.push_back(std::move(job));
        if (!piece->raw)
            waiting_.push_back(piece);
    }
    ++in_flight_;
    if (!piece->raw)
        work_ready_.notify_one();
}

std::unique_ptr<PieceJob> ChunkPipeline::next_result()
{
    std::unique_lock lock(mutex_);
    result_ready_.wait(lock, [this] { return in_order_.front()->done; });
    std::unique_ptr<PieceJob> job = std::move(in_order_.front());
    in_order_.pop_front();
    --in_flight_;
    return job;
}

void ChunkPipeline::work()
{
    ChunkEncoder encoder(method_, zlib_level_);
    std::unique_lock lock(mutex_);
    for (;;) {
        work_ready_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_)
            return;
        PieceJob* job = waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        Error error = encode_piece(encoder, *job);
        std::vector<std::uint8_t>().swap(job->plain);
        lock.lock();
        job->error = std::move(error);
        job->done = true;
        result_ready_.notify_all();
    }
}

}  // namespace hpi::detail

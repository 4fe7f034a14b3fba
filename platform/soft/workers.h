// workers.h — the software renderer's raster threads.
//
// A pool of `count` workers, started with it and joined when it is
// destroyed, so closing the renderer leaves no thread behind. Run hands out
// jobs 0..jobs−1, each to exactly one worker (the caller and count − 1 of
// the threads), and returns when all are done; the threads sleep between
// runs. Start does the same without waiting: the
// pool's threads work while the caller goes on, and Finish (the caller
// helping with what is left) waits for them. With a count of 1 there are no
// threads: Start does nothing and the caller does every job in Finish.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace plat::soft {

class WorkerPool {
public:
    using JobFn = void (*)(void* ctx, int job);

    explicit WorkerPool(int count);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Count() const { return count_; }
    void Run(int jobs, JobFn fn, void* ctx);
    // The round must be finished before the next starts; jobs and whatever
    // they read stay the caller's until Finish returns.
    void Start(int jobs, JobFn fn, void* ctx);
    void Finish();
    bool Running() const { return started_; }

private:
    void Begin(int jobs, JobFn fn, void* ctx, int helpers);
    void Loop();
    void TakeJobs();  // a pool thread's share of the round
    void TakeAll();   // jobs until none is left

    int count_;
    bool started_ = false;  // a round is out; touched by the caller only
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    uint64_t round_ = 0;   // bumped for every Run; guarded by mutex_
    int busy_ = 0;         // threads still in the current round; guarded by mutex_
    bool stop_ = false;
    // The current round, published under mutex_ before round_ changes.
    JobFn fn_ = nullptr;
    void* ctx_ = nullptr;
    int jobs_ = 0;
    std::atomic<int> next_{0};
    std::atomic<int> helpers_{0};  // pool threads still allowed into the round
};

// Processors this process may run on (at least 1).
int UsableProcessors();

}  // namespace plat::soft

// workers.cpp — the raster thread pool (see workers.h).
#include "platform/soft/workers.h"

#include <sched.h>

namespace plat::soft {

WorkerPool::WorkerPool(int count) : count_(count < 1 ? 1 : count) {
    // One thread per worker, so that a started round uses every worker while
    // the caller sleeps; the caller joins in when it finishes the round.
    if (count_ > 1)
        for (int i = 0; i < count_; ++i) threads_.emplace_back([this] { Loop(); });
}

WorkerPool::~WorkerPool() {
    if (started_) Finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void WorkerPool::TakeJobs() {
    // Threads past the round's helper count sit it out: a round run while
    // the caller waits uses the caller and one thread fewer, so as many
    // take jobs as there are workers, and none waits for a core.
    if (helpers_.fetch_sub(1, std::memory_order_relaxed) <= 0) return;
    TakeAll();
}

void WorkerPool::TakeAll() {
    for (int job = next_.fetch_add(1, std::memory_order_relaxed); job < jobs_;
         job = next_.fetch_add(1, std::memory_order_relaxed))
        fn_(ctx_, job);
}

void WorkerPool::Run(int jobs, JobFn fn, void* ctx) {
    Begin(jobs, fn, ctx, count_ - 1);
    Finish();
}

void WorkerPool::Start(int jobs, JobFn fn, void* ctx) { Begin(jobs, fn, ctx, count_); }

void WorkerPool::Begin(int jobs, JobFn fn, void* ctx, int helpers) {
    if (started_) Finish();
    if (jobs <= 0) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fn_ = fn;
        ctx_ = ctx;
        jobs_ = jobs;
        next_.store(0, std::memory_order_relaxed);
        helpers_.store(helpers, std::memory_order_relaxed);
        busy_ = static_cast<int>(threads_.size());
        ++round_;
    }
    started_ = true;
    if (!threads_.empty()) wake_.notify_all();
}

void WorkerPool::Finish() {
    if (!started_) return;
    started_ = false;
    TakeAll();
    if (threads_.empty()) return;
    // Every thread has left the round only when it has finished the jobs it
    // took, so the caller may reuse whatever the jobs read once this returns.
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
}

void WorkerPool::Loop() {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || round_ != seen; });
            if (stop_) return;
            seen = round_;
        }
        TakeJobs();
        bool last;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            last = --busy_ == 0;
        }
        if (last) done_.notify_one();
    }
}

int UsableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return n;
    }
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? static_cast<int>(n) : 1;
}

}  // namespace plat::soft

// workers.cpp — the raster thread pool (see workers.h).
#include "platform/soft/workers.h"

#include <sched.h>

namespace plat::soft {

WorkerPool::WorkerPool(int count) {
    for (int i = 1; i < count; ++i) threads_.emplace_back([this] { Loop(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void WorkerPool::TakeJobs() {
    for (int job = next_.fetch_add(1, std::memory_order_relaxed); job < jobs_;
         job = next_.fetch_add(1, std::memory_order_relaxed))
        fn_(ctx_, job);
}

void WorkerPool::Run(int jobs, JobFn fn, void* ctx) {
    if (jobs <= 0) return;
    if (threads_.empty()) {
        for (int job = 0; job < jobs; ++job) fn(ctx, job);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fn_ = fn;
        ctx_ = ctx;
        jobs_ = jobs;
        next_.store(0, std::memory_order_relaxed);
        busy_ = static_cast<int>(threads_.size());
        ++round_;
    }
    wake_.notify_all();
    TakeJobs();
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

// SPDX-License-Identifier: MIT
#include "board/workers.h"

#include <algorithm>

namespace board {

WorkerPool::WorkerPool(unsigned threads, std::size_t queueCapacity) : capacity_(queueCapacity) {
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this] { run(); });
}

WorkerPool::~WorkerPool() {
    drain();
    for (std::thread& t : threads_)
        t.join();
}

bool WorkerPool::submit(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || queue_.size() >= capacity_)
            return false;
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
}

void WorkerPool::drain() {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
    idle_.wait(lock, [this] { return queue_.empty() && running_ == 0; });
}

void WorkerPool::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            idle_.notify_all();
            if (stopping_)
                return;
            continue;
        }
        std::function<void()> job = std::move(queue_.front());
        queue_.pop_front();
        ++running_;
        lock.unlock();
        job();
        lock.lock();
        --running_;
        if (queue_.empty() && running_ == 0)
            idle_.notify_all();
    }
}

} // namespace board

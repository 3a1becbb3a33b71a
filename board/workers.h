// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace board {

// A few threads for the work that costs milliseconds of CPU (hashing deletion keys), so that
// the engine's event threads, which every other connection waits on, never do it. The queue
// is bounded: past it the caller refuses the request instead of letting the wait grow.
class WorkerPool {
  public:
    // threads 0: one per core.
    WorkerPool(unsigned threads, std::size_t queueCapacity);
    // Runs every job already queued, then ends the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // False, and the job not taken, when the queue is full or the pool is stopping.
    bool submit(std::function<void()> job);
    // Waits until every job taken has run; takes no more.
    void drain();

  private:
    void run();

    std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<std::function<void()>> queue_;
    unsigned running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace board

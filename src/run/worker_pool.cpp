#include "run/worker_pool.h"

#include <algorithm>
#include <utility>

namespace x11sa {

WorkerPool::WorkerPool(int threads) {
  const int n = std::max(threads, 1);
  threads_.reserve(static_cast<std::size_t>(n));
  try {
    for (int i = 0; i < n; ++i) threads_.emplace_back([this] { run(); });
  } catch (...) {
    // A thread that could not start: stop and join those that did.
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
    throw;
  }
}

WorkerPool::~WorkerPool() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    tasks_.clear();
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void WorkerPool::submit(Task task) {
  {
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

WorkerPool::Task WorkerPool::take_task() {
  const std::lock_guard lock(mutex_);
  if (tasks_.empty()) return {};
  Task task = std::move(tasks_.front());
  tasks_.pop_front();
  return task;
}

bool WorkerPool::run_waiting_task(ChainWorkspace& work) {
  Task task = take_task();
  if (!task) return false;
  task(work);
  return true;
}

void WorkerPool::run() {
  // The vectors of the chain grow to the longest series this thread
  // adjusts and are reused from one task to the next.
  ChainWorkspace work;
  for (;;) {
    Task task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (stopping_) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task(work);
  }
}

}  // namespace x11sa

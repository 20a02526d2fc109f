// A fixed set of threads that run tasks in the order given, each thread
// with a chain workspace of its own; the thread that queues the tasks may
// run waiting ones too.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "run/variable_loop.h"

namespace x11sa {

class WorkerPool {
 public:
  using Task = std::function<void(ChainWorkspace&)>;

  // Starts `threads` threads (at least one).
  explicit WorkerPool(int threads);
  // Drops the tasks not started, waits for those running and joins every
  // thread.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues `task`; it must not throw. The caller bounds how many it queues.
  void submit(Task task);
  // Runs the oldest task not yet started on the calling thread, with `work`;
  // false when none is waiting. Lets the thread that queues the tasks lend
  // a hand instead of waiting for them.
  bool run_waiting_task(ChainWorkspace& work);

 private:
  void run();
  // The oldest task not yet started, taken off the queue; empty when none.
  Task take_task();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace x11sa

#include "app/core/worker_set.hpp"

#include <utility>

namespace quillora::app {

WorkerSet::~WorkerSet() { join_all(); }

void WorkerSet::start(std::function<void()> work) {
  join_finished();
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([work = std::move(work), done] {
    work();
    done->store(true);
  });
  std::lock_guard lock(mutex_);
  workers_.push_back({std::move(thread), std::move(done)});
}

void WorkerSet::join_finished() {
  std::list<Worker> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      auto next = std::next(it);
      if (it->done->load()) finished.splice(finished.end(), workers_, it);
      it = next;
    }
  }
  for (auto& worker : finished) worker.thread.join();
}

void WorkerSet::join_all() {
  // A worker may itself start workers; keep going until none is left.
  for (;;) {
    std::list<Worker> all;
    {
      std::lock_guard lock(mutex_);
      all.swap(workers_);
    }
    if (all.empty()) return;
    for (auto& worker : all) worker.thread.join();
  }
}

std::size_t WorkerSet::size() const {
  std::lock_guard lock(mutex_);
  return workers_.size();
}

}  // namespace quillora::app

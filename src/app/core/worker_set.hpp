#pragma once
// Worker threads that their starter forgets about but that must not outlive what they use: the set
// joins every one of them when it is destroyed (or join_all is called).
#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace quillora::app {

class WorkerSet {
 public:
  WorkerSet() = default;
  ~WorkerSet();
  WorkerSet(const WorkerSet&) = delete;
  WorkerSet& operator=(const WorkerSet&) = delete;

  // Runs work on a new thread; threads that have finished meanwhile are joined here, so a long run
  // with many page loads keeps no dead threads around.
  void start(std::function<void()> work);
  void join_all();
  // Threads started and not yet joined (finished or not).
  std::size_t size() const;

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void join_finished();

  mutable std::mutex mutex_;
  std::list<Worker> workers_;
};

}  // namespace quillora::app

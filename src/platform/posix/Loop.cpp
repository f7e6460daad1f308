// The Linux message loop: posted tasks (woken through an eventfd, so Post works
// from any thread), fd watches polled with poll(), and one-shot timer entries on
// a heap.  One "message" is one task, one fd readiness or one timer expiry, so
// PumpOne and nested ProcessMessages behave as on the real message queue.
//
// Handlers may run the loop nested.  Nothing is dispatched while the loop holds
// an iterator: a task is moved out of the queue, a timer's function out of its
// map, and a watch is kept alive by a shared pointer while its handler runs.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Loop.h"
#include "platform/posix/PollLoop.h"

namespace ravo {

namespace {

using pollloop::Clock;
using pollloop::EntryId;

struct Watch {
  int fd = -1;
  short events = 0;
  std::function<void(short)> handler;
};

struct ReadyEvent {
  EntryId watch;
  short revents;
};

struct HeapEntry {
  Clock::time_point due;
  EntryId id;
  bool operator>(const HeapEntry& other) const {
    return due != other.due ? due > other.due : id > other.id;
  }
};

class PollLoop {
 public:
  PollLoop() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

  void Post(std::function<void()> task) {
    {
      std::lock_guard lock(tasksMutex_);
      tasks_.push_back(std::move(task));
    }
    Wake();
  }

  void Wake() {
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) {
      [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
    }
  }

  EntryId AddTimer(Clock::time_point due, std::function<void()> fire) {
    const EntryId id = ++lastId_;
    timers_.emplace(id, Timed{due, std::move(fire)});
    heap_.push({due, id});
    if (heap_.size() > 2 * timers_.size() + 64) Compact();
    return id;
  }

  void RemoveTimer(EntryId id) { timers_.erase(id); }  // the heap drops it lazily

  EntryId AddWatch(int fd, short events, std::function<void(short)> handler) {
    const EntryId id = ++lastId_;
    watches_.emplace(id, std::make_shared<Watch>(Watch{fd, events, std::move(handler)}));
    return id;
  }

  void SetWatchEvents(EntryId id, short events) {
    auto it = watches_.find(id);
    if (it != watches_.end()) it->second->events = events;
  }

  void RemoveWatch(EntryId id) { watches_.erase(id); }

  // Handles one message; waits for one when wait is set (until a task, an fd,
  // a timer or Terminate).  True when a message was handled.
  bool DispatchOne(bool wait) {
    if (RunOneTask()) return true;
    if (RunOneReady()) return true;
    if (FireOneTimer()) return true;
    // Nothing was pending: look at the fds, waiting at most until the next timer.
    Poll(wait ? WaitMilliseconds() : 0);
    if (RunOneTask()) return true;
    if (RunOneReady()) return true;
    return FireOneTimer();
  }

  std::atomic<bool> terminating{false};

 private:
  struct Timed {
    Clock::time_point due;
    std::function<void()> fire;
  };

  bool RunOneTask() {
    std::function<void()> task;
    {
      std::lock_guard lock(tasksMutex_);
      if (tasks_.empty()) return false;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    if (task) task();
    return true;
  }

  bool RunOneReady() {
    while (!ready_.empty()) {
      const ReadyEvent event = ready_.front();
      ready_.pop_front();
      auto it = watches_.find(event.watch);
      if (it == watches_.end()) continue;  // removed since the poll
      std::shared_ptr<Watch> watch = it->second;
      const short revents =
          static_cast<short>(event.revents & (watch->events | POLLERR | POLLHUP | POLLNVAL));
      if (revents == 0) continue;  // no longer wanted
      auto handler = watch->handler;
      if (handler) handler(revents);
      return true;
    }
    return false;
  }

  // The earliest live heap entry, dropping entries of removed timers.
  const HeapEntry* NextTimer() {
    while (!heap_.empty()) {
      const HeapEntry& top = heap_.top();
      auto it = timers_.find(top.id);
      if (it != timers_.end() && it->second.due == top.due) return &top;
      heap_.pop();
    }
    return nullptr;
  }

  bool FireOneTimer() {
    const HeapEntry* next = NextTimer();
    if (!next || next->due > Clock::now()) return false;
    const EntryId id = next->id;
    heap_.pop();
    auto it = timers_.find(id);
    std::function<void()> fire = std::move(it->second.fire);
    timers_.erase(it);
    if (fire) fire();
    return true;
  }

  // Timers restarted often leave dead heap entries behind: rebuild the heap
  // from the live ones now and then so it stays small.
  void Compact() {
    std::vector<HeapEntry> live;
    live.reserve(timers_.size());
    for (const auto& [id, timed] : timers_) live.push_back({timed.due, id});
    heap_ = decltype(heap_)(std::greater<>(), std::move(live));
  }

  int WaitMilliseconds() {
    if (terminating) return 0;
    const HeapEntry* next = NextTimer();
    if (!next) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(next->due - Clock::now()).count();
    if (left <= 0) return 0;
    return left > 60000 ? 60000 : static_cast<int>(left);
  }

  void Poll(int timeout) {
    std::vector<pollfd> fds;
    std::vector<EntryId> ids;
    fds.push_back({wakeFd_, POLLIN, 0});
    ids.push_back(0);
    for (const auto& [id, watch] : watches_) {
      fds.push_back({watch->fd, watch->events, 0});
      ids.push_back(id);
    }
    if (poll(fds.data(), fds.size(), timeout) <= 0) return;
    if (fds[0].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
    }
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents != 0) ready_.push_back({ids[i], fds[i].revents});
    }
  }

  int wakeFd_;
  std::mutex tasksMutex_;
  std::deque<std::function<void()>> tasks_;
  EntryId lastId_ = 0;
  std::map<EntryId, Timed> timers_;
  std::priority_queue<HeapEntry, std::vector<HeapEntry>, std::greater<>> heap_;
  std::map<EntryId, std::shared_ptr<Watch>> watches_;
  std::deque<ReadyEvent> ready_;
};

// The thread's one loop.  Never destroyed: timers and clients owned by static
// objects may still cancel their entries while the process ends.
PollLoop& Instance() {
  static PollLoop* loop = new PollLoop;
  return *loop;
}

}  // namespace

namespace pollloop {

EntryId AddTimer(Clock::time_point due, std::function<void()> fire) {
  return Instance().AddTimer(due, std::move(fire));
}
void RemoveTimer(EntryId id) { Instance().RemoveTimer(id); }
EntryId AddWatch(int fd, short events, std::function<void(short revents)> handler) {
  return Instance().AddWatch(fd, events, std::move(handler));
}
void SetWatchEvents(EntryId id, short events) { Instance().SetWatchEvents(id, events); }
void RemoveWatch(EntryId id) { Instance().RemoveWatch(id); }

}  // namespace pollloop

void Loop::Run() {
  PollLoop& loop = Instance();
  while (!loop.terminating) loop.DispatchOne(true);
}

void Loop::ProcessMessages() {
  PollLoop& loop = Instance();
  while (loop.DispatchOne(false)) {
  }
}

bool Loop::PumpOne() { return Instance().DispatchOne(false); }

void Loop::Terminate() {
  Instance().terminating = true;
  Instance().Wake();
}

bool Loop::Terminating() { return Instance().terminating; }

void Loop::ResetTerminating() { Instance().terminating = false; }

void Loop::Post(std::function<void()> task) { Instance().Post(std::move(task)); }

void Loop::Sleep(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace ravo

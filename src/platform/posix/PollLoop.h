// The Linux loop's services for the timer and the socket: one-shot timer
// entries on a heap and fd watches polled by the loop.  Loop thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace ravo::pollloop {

using Clock = std::chrono::steady_clock;
using EntryId = std::uint64_t;  // never 0, never reused

// Calls fire once from the loop when due has passed.
EntryId AddTimer(Clock::time_point due, std::function<void()> fire);
// Removing an entry that has fired or was removed already is harmless.
void RemoveTimer(EntryId id);

// Calls the handler from the loop with poll()'s revents while the fd is ready
// for the events (POLLERR and POLLHUP are always watched).
EntryId AddWatch(int fd, short events, std::function<void(short revents)> handler);
void SetWatchEvents(EntryId id, short events);
void RemoveWatch(EntryId id);

}  // namespace ravo::pollloop

// Per-machine System logs: appending, reading back, clearing and waiting.
#include "eventlog_store.h"

#include <algorithm>

namespace velplat::eventlog {

namespace detail {

void Append(Machine& machine, Entry entry) {
  Log& log = machine.State<Log>();
  {
    std::lock_guard lock(log.mutex);
    entry.record = log.nextRecord++;
    log.entries.push_back(std::move(entry));
  }
  log.appended.notify_all();
}

}  // namespace detail

std::vector<Entry> Entries(Machine& machine) {
  detail::Log& log = machine.State<detail::Log>();
  std::lock_guard lock(log.mutex);
  return log.entries;
}

void Clear(Machine& machine) {
  detail::Log& log = machine.State<detail::Log>();
  {
    std::lock_guard lock(log.mutex);
    log.entries.clear();
    log.nextRecord = 1;
    ++log.clears;
  }
  log.appended.notify_all();
}

// The predicate runs without the log's lock, so it may read the log itself.
std::optional<Entry> WaitForEntry(const std::function<bool(const Entry&)>& predicate,
                                  std::chrono::milliseconds realTimeout, Machine& machine) {
  detail::Log& log = machine.State<detail::Log>();
  const auto deadline = std::chrono::steady_clock::now() + realTimeout;
  std::unique_lock lock(log.mutex);
  unsigned long clears = log.clears;
  size_t checked = 0;
  while (true) {
    if (log.clears != clears) {
      clears = log.clears;
      checked = 0;
    }
    std::vector<Entry> fresh(log.entries.begin() + static_cast<std::ptrdiff_t>(checked), log.entries.end());
    checked = log.entries.size();
    lock.unlock();
    for (const Entry& entry : fresh) {
      if (predicate(entry)) return entry;
    }
    lock.lock();
    auto news = [&] { return log.clears != clears || log.entries.size() > checked; };
    if (!log.appended.wait_until(lock, deadline, news)) return std::nullopt;
  }
}

}  // namespace velplat::eventlog

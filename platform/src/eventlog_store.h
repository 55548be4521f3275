// The System log of one machine: its entries under a lock, with a condition
// variable that wakes readers waiting for new entries. Kept as the machine's
// module state (Machine::State<Log>()).
//
// Thread-safety: Append may be called from any thread, concurrently with the
// readers of velplat/eventlog.h.
#ifndef VELPLAT_SRC_EVENTLOG_STORE_H
#define VELPLAT_SRC_EVENTLOG_STORE_H

#include <velplat/eventlog.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace velplat::eventlog::detail {

struct Log {
  std::mutex mutex;
  std::condition_variable appended;
  std::vector<Entry> entries;
  DWORD nextRecord = 1;
  unsigned long clears = 0;  // lets waiters notice that the entries started over
};

// Stores `entry` in `machine`'s System log, giving it its record number.
void Append(Machine& machine, Entry entry);

}  // namespace velplat::eventlog::detail

#endif

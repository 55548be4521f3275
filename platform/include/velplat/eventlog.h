// Reading side of the simulated event log, for tests and the host daemon:
// the entries of a machine's System log, their text as the Event Viewer
// shows it, and a wait for an entry written by another thread.
//
// Entries are written with ReportEventA (winapi/eventlog.h) and numbered
// from 1 in the order written; Clear empties the log and numbering starts
// again at 1. Times are real (wall-clock) times, also when the platform
// clock runs in virtual time.
//
// Thread-safety: every function may be called from any thread, concurrently
// with writers.
#ifndef VELPLAT_EVENTLOG_H
#define VELPLAT_EVENTLOG_H

#include <velplat/world.h>
#include <winapi/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velplat::eventlog {

struct Entry {
  DWORD record = 0;                          // 1, 2, ... in the order written
  std::string source;                        // as given to RegisterEventSourceA
  WORD type = 0;                             // EVENTLOG_*_TYPE, as reported
  WORD category = 0;
  DWORD eventId = 0;                         // unchanged, severity bits included
  std::vector<std::string> strings;          // insertion strings (a null one is stored empty)
  std::vector<BYTE> data;                    // raw data
  std::chrono::system_clock::time_point time;
};

// The entries of `machine`'s System log, oldest first.
std::vector<Entry> Entries(Machine& machine = World::Get().Local());

// Empties `machine`'s System log.
void Clear(Machine& machine = World::Get().Local());

// Event sources registered and not yet deregistered, on every machine, so
// that tests can prove a reporter released its source.
std::size_t OpenSourceCount();

// The entry's text as the Event Viewer shows it: the source's registration
// under HKLM\SYSTEM\CurrentControlSet\Services\EventLog\System\<source> on
// `machine` names its message files in "EventMessageFile" (%NAME% expanded
// from `machine`'s environment; several files separated by ';'); the first
// file whose module (the name after the last backslash) has a registered
// message table holding the identifier gives the text (English preferred),
// and %1, %2, ... are replaced by the insertion strings (an insert without a
// string stays as written). Without a registration, a table or a message,
// the text is the insertion strings alone, joined by CR LF.
std::string FormatText(const Entry& entry, Machine& machine = World::Get().Local());

// Waits up to `realTimeout` of real time for an entry of `machine`'s log that
// satisfies `predicate`, entries already written included, and returns the
// first such entry; null on timeout. Wakes on each new entry, no polling.
std::optional<Entry> WaitForEntry(const std::function<bool(const Entry&)>& predicate,
                                  std::chrono::milliseconds realTimeout, Machine& machine = World::Get().Local());

}  // namespace velplat::eventlog

#endif

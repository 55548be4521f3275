// Mirrors the local machine's System event log to standard error: every
// entry, as it is written, becomes one line with its time (UTC), type,
// source, event identifier in hex and its text formatted from the source's
// message table with the insertion strings (line breaks folded into blanks).
//
// Thread-safety: Start and Stop from one thread; the mirror runs on its own.
#ifndef VELMOND_EVENTLOG_MIRROR_H
#define VELMOND_EVENTLOG_MIRROR_H

#include <velplat/eventlog.h>

#include <atomic>
#include <string>
#include <thread>

namespace velmond {

// The operator line of one entry, `text` being its formatted message.
std::string FormatEventLine(const velplat::eventlog::Entry& entry, const std::string& text);

class EventLogMirror {
 public:
  EventLogMirror() = default;
  EventLogMirror(const EventLogMirror&) = delete;
  EventLogMirror& operator=(const EventLogMirror&) = delete;
  ~EventLogMirror();

  // Mirrors the entries already in the log, then each new one.
  void Start();
  // Ends the thread within a fraction of a second, after it has shown every
  // entry written before the call.
  void Stop();

 private:
  void Follow();

  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace velmond

#endif

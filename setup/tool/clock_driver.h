// Runs a piece of the installer library on a thread of its own under the
// platform's virtual clock, moving the clock to the next deadline whenever
// that thread sleeps or waits, so that minutes of waits and polls pass at
// once and land at the same virtual times on every run.
//
// A body that neither finishes nor waits (a poll without pause) would stop
// the clock for ever; after `idleRealWait` of real time without a wait the
// clock is moved on by `idleStep`.
// Thread-safety: call from one thread; the body runs on another.
#ifndef VELSETUP_TOOL_CLOCK_DRIVER_H
#define VELSETUP_TOOL_CLOCK_DRIVER_H

#include <chrono>
#include <functional>

namespace velsetup::tool {

struct DriveSettings {
  std::chrono::milliseconds idleRealWait{2000};
  std::chrono::milliseconds idleStep{1};
};

// The caller switches the platform clock to virtual time first.
void RunOnVirtualClock(const std::function<void()>& body, DriveSettings settings = {});

}  // namespace velsetup::tool

#endif

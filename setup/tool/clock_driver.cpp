// Driving the virtual clock for a body on its own thread.
#include "setup/tool/clock_driver.h"

#include <velplat/clock.h>

#include <atomic>
#include <thread>

namespace velsetup::tool {

void RunOnVirtualClock(const std::function<void()>& body, DriveSettings settings) {
  namespace clock = velplat::clock;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    body();
    done.store(true);
  });
  // Short looks, so that a body that ends without waiting is noticed at once.
  constexpr std::chrono::milliseconds kLook{5};
  auto idleSince = std::chrono::steady_clock::now();
  while (!done.load()) {
    if (clock::WaitForBlocked(1, kLook)) {
      clock::AdvanceToNextDeadline();
      idleSince = std::chrono::steady_clock::now();
    } else if (!done.load() && std::chrono::steady_clock::now() - idleSince >= settings.idleRealWait) {
      clock::Advance(settings.idleStep);
      idleSince = std::chrono::steady_clock::now();
    }
  }
  worker.join();
}

}  // namespace velsetup::tool

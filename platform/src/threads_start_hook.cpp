// The thread-start hook of velplat/threads.h and the names it gives threads.
#include "threads_start_hook.h"

#include "kernel_thread.h"

#include <mutex>

namespace velplat::threads {
namespace {

struct Hook {
  std::mutex mutex;
  std::function<void(ThreadStart&)> hook;  // guarded by mutex
};

Hook& State() {
  static Hook* state = new Hook();  // used by threads that outlive main
  return *state;
}

}  // namespace

void OnThreadStart(std::function<void(ThreadStart&)> hook) {
  auto& s = State();
  std::lock_guard lock(s.mutex);
  s.hook = std::move(hook);
}

std::string_view CurrentThreadName() { return kernel::CurrentThread().name; }

void RunThreadStartHook(ThreadStart& start) {
  std::function<void(ThreadStart&)> hook;
  {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    hook = s.hook;
  }
  if (hook) hook(start);
}

}  // namespace velplat::threads

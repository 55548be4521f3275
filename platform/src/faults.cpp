// Fault injection: armed failure points and armed Win32 calls.
//
// Every HeapAlloc, SnmpUtilMemAlloc and Win32 shim asks here first, and
// almost always nothing is armed. A count of the armings that can still fire
// lets those calls answer without the lock: it changes only under the lock,
// and is published with release order, so an arming made before a thread is
// told to go (event, join, another lock) is seen by that thread's next call.
#include <velplat/faults.h>
#include <velplat/threads.h>

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace velplat::faults {
namespace {

struct Arming {
  unsigned skip = 0;
  unsigned count = 0;
  DWORD error = 0;      // or the exception code, when `raises`
  bool raises = false;
  std::string thread;   // when not empty, only calls on threads of this name count

  bool Counts() const { return thread.empty() || thread == threads::CurrentThreadName(); }

  bool Live() const { return count > 0; }

  // One call passes this arming; true when that call is to fail.
  bool Take() {
    if (count == 0) return false;
    if (skip > 0) {
      --skip;
      return false;
    }
    --count;
    return true;
  }
};

struct Registry {
  std::mutex mutex;
  std::array<Arming, static_cast<size_t>(Point::kCount)> points;
  std::map<std::string, Arming, std::less<>> calls;
  // Armings with calls left to fail; written only under `mutex`.
  std::atomic<unsigned> live{0};

  // Replaces `slot` with `value`, keeping `live` in step.
  void Set(Arming& slot, const Arming& value) {
    unsigned now = live.load(std::memory_order_relaxed);
    now = now - (slot.Live() ? 1 : 0) + (value.Live() ? 1 : 0);
    slot = value;
    live.store(now, std::memory_order_release);
  }

  // Passes one call through `slot`, keeping `live` in step.
  bool Take(Arming& slot) {
    bool fails = slot.Take();
    if (fails && !slot.Live()) live.store(live.load(std::memory_order_relaxed) - 1, std::memory_order_release);
    return fails;
  }
};

Registry& Faults() {
  static Registry* registry = new Registry();  // used by threads that outlive main
  return *registry;
}

bool NothingArmed(const Registry& r) { return r.live.load(std::memory_order_acquire) == 0; }

}  // namespace

void FailNext(Point point, unsigned count, unsigned skip, std::string_view threadName) {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  r.Set(r.points[static_cast<size_t>(point)], Arming{skip, count, 0, false, std::string(threadName)});
}

void FailCall(std::string_view function, DWORD error, unsigned count, unsigned skip, std::string_view threadName) {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  r.Set(r.calls[std::string(function)], Arming{skip, count, error, false, std::string(threadName)});
}

void RaiseInCall(std::string_view function, DWORD code, unsigned count, unsigned skip, std::string_view threadName) {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  r.Set(r.calls[std::string(function)], Arming{skip, count, code, true, std::string(threadName)});
}

void Clear() {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  r.points = {};
  r.calls.clear();
  r.live.store(0, std::memory_order_release);
}

bool Consume(Point point) {
  auto& r = Faults();
  if (NothingArmed(r)) return false;
  std::lock_guard lock(r.mutex);
  Arming& slot = r.points[static_cast<size_t>(point)];
  return slot.Counts() && r.Take(slot);
}

std::vector<std::string> Armed() {
  static const char* const kPointNames[] = {"SnmpAlloc", "HeapAlloc", "ThreadStart", "EventCreate", "MutexCreate"};
  static_assert(std::size(kPointNames) == static_cast<size_t>(Point::kCount));
  auto describe = [](const Arming& a) {
    return std::to_string(a.count) + " call(s) after " + std::to_string(a.skip) + ", on " +
           (a.thread.empty() ? std::string("any thread") : "threads named " + a.thread);
  };
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  std::vector<std::string> lines;
  for (size_t i = 0; i < r.points.size(); ++i) {
    if (r.points[i].Live()) lines.push_back(std::string("point ") + kPointNames[i] + " fails " + describe(r.points[i]));
  }
  for (const auto& [function, a] : r.calls) {
    if (!a.Live()) continue;
    lines.push_back("call " + function + (a.raises ? " raises " : " fails with ") + std::to_string(a.error) + ", " +
                    describe(a));
  }
  return lines;
}

std::optional<DWORD> ConsumeCall(std::string_view function) {
  auto& r = Faults();
  if (NothingArmed(r)) return std::nullopt;
  DWORD raise = 0;
  {
    std::lock_guard lock(r.mutex);
    if (r.calls.empty()) return std::nullopt;
    auto it = r.calls.find(function);
    if (it == r.calls.end() || !it->second.Counts() || !r.Take(it->second)) return std::nullopt;
    if (!it->second.raises) return it->second.error;
    raise = it->second.error;
  }
  RaiseException(raise, 0, 0, nullptr);  // not under the lock: the handlers may call in here
  return std::nullopt;
}

}  // namespace velplat::faults

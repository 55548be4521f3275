// Fault injection: armed failure points and armed Win32 calls.
#include <velplat/faults.h>

#include <array>
#include <map>
#include <mutex>
#include <string>

namespace velplat::faults {
namespace {

struct Arming {
  unsigned skip = 0;
  unsigned count = 0;
  DWORD error = 0;

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
};

Registry& Faults() {
  static Registry* registry = new Registry();  // used by threads that outlive main
  return *registry;
}

}  // namespace

void FailNext(Point point, unsigned count, unsigned skip) {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  r.points[static_cast<size_t>(point)] = Arming{skip, count, 0};
}

void FailCall(std::string_view function, DWORD error, unsigned count, unsigned skip) {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  r.calls[std::string(function)] = Arming{skip, count, error};
}

void Clear() {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  r.points = {};
  r.calls.clear();
}

bool Consume(Point point) {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  return r.points[static_cast<size_t>(point)].Take();
}

std::optional<DWORD> ConsumeCall(std::string_view function) {
  auto& r = Faults();
  std::lock_guard lock(r.mutex);
  if (r.calls.empty()) return std::nullopt;
  auto it = r.calls.find(function);
  if (it == r.calls.end() || !it->second.Take()) return std::nullopt;
  return it->second.error;
}

}  // namespace velplat::faults

// The handle table and the predefined hive handles.
#include "registry_handles.h"

#include <velplat/world.h>

#include <unordered_map>

namespace velplat::reg {
namespace {

// Opened handles are small multiples of four, as on Windows, and never come
// near the predefined values.
class HandleTable {
 public:
  HKEY Add(std::shared_ptr<OpenKey> key) {
    std::lock_guard lock(mutex_);
    next_ += 4;
    open_.emplace(next_, std::move(key));
    return reinterpret_cast<HKEY>(next_);
  }
  std::shared_ptr<OpenKey> Find(HKEY hKey) {
    std::lock_guard lock(mutex_);
    auto it = open_.find(reinterpret_cast<uintptr_t>(hKey));
    if (it != open_.end()) return it->second;
    NoteStale(hKey);
    return nullptr;
  }
  std::shared_ptr<OpenKey> Remove(HKEY hKey) {
    std::lock_guard lock(mutex_);
    auto it = open_.find(reinterpret_cast<uintptr_t>(hKey));
    if (it == open_.end()) {
      NoteStale(hKey);
      return nullptr;
    }
    auto key = std::move(it->second);
    open_.erase(it);
    return key;
  }
  size_t StaleUses() {
    std::lock_guard lock(mutex_);
    return stale_;
  }

 private:
  // A value this table once handed out and that is no longer open (values
  // are never reused here, so it names a closed key).
  void NoteStale(HKEY hKey) {
    auto value = reinterpret_cast<uintptr_t>(hKey);
    if (value > 0x100 && value <= next_ && value % 4 == 0) ++stale_;
  }

  std::mutex mutex_;
  uintptr_t next_ = 0x100;
  size_t stale_ = 0;
  std::unordered_map<uintptr_t, std::shared_ptr<OpenKey>> open_;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable();  // used by threads that outlive main
  return *table;
}

// The predefined handles of one machine: one open key per hive, kept for the
// machine's life so that registrations made through them have a fixed owner.
struct PredefinedKeys {
  std::mutex mutex;
  std::shared_ptr<OpenKey> hives[kHiveCount];
};

}  // namespace

std::optional<Hive> PredefinedHive(HKEY hKey) {
  // Accept the value sign-extended (as the SDK defines it) or not.
  auto low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey));
  auto high = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey) >> 32);
  if (high != 0 && high != 0xFFFFFFFFu) return std::nullopt;
  if (low < 0x80000000u || low >= 0x80000000u + kHiveCount) return std::nullopt;
  return static_cast<Hive>(low - 0x80000000u);
}

std::shared_ptr<OpenKey> OpenHive(Machine& machine, Hive hive) {
  auto key = std::make_shared<OpenKey>();
  key->tree = TreeOf(machine);
  key->key = key->tree->Root(hive);
  key->access = KEY_ALL_ACCESS;
  return key;
}

std::shared_ptr<OpenKey> Resolve(HKEY hKey) {
  if (auto hive = PredefinedHive(hKey)) {
    Machine& local = World::Get().Local();
    auto& predefined = local.State<PredefinedKeys>();
    std::lock_guard lock(predefined.mutex);
    auto& slot = predefined.hives[static_cast<int>(*hive)];
    if (!slot) slot = OpenHive(local, *hive);
    return slot;
  }
  return Table().Find(hKey);
}

HKEY Publish(std::shared_ptr<OpenKey> key) { return Table().Add(std::move(key)); }

std::shared_ptr<OpenKey> Withdraw(HKEY hKey) { return Table().Remove(hKey); }

size_t StaleHandleUses() { return Table().StaleUses(); }

REGSAM MapAccess(REGSAM access) {
  if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= KEY_ALL_ACCESS;
  if (access & GENERIC_READ) access |= KEY_READ;
  if (access & GENERIC_WRITE) access |= KEY_WRITE;
  if (access & GENERIC_EXECUTE) access |= KEY_EXECUTE;
  return access & ~static_cast<REGSAM>(GENERIC_ALL | GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | MAXIMUM_ALLOWED);
}

}  // namespace velplat::reg

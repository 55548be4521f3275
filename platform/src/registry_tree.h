// The registry core: one key tree per machine with its hives, keys, values
// and pending change registrations. Everything here is plain data guarded by
// the tree's mutex; an Edit holds that mutex for one operation and, when it
// ends, signals the registrations that the operation fired (after unlocking,
// so nothing outside the registry runs under its lock).
//
// Thread-safety: every function that takes an Edit& or Key& must be called
// with that tree's Edit alive on the calling thread.
#ifndef VELPLAT_SRC_REGISTRY_TREE_H
#define VELPLAT_SRC_REGISTRY_TREE_H

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velplat {
class Machine;
}

namespace velplat::reg {

// Key and value names compare as Windows compares them: ASCII letters folded
// to upper case, so '_' sorts after the letters.
struct NameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
bool SameName(std::string_view a, std::string_view b);

enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users };
constexpr int kHiveCount = 4;
const char* HiveName(Hive hive);  // "HKEY_LOCAL_MACHINE", ...

// Splits a leading hive name, long or short ("HKEY_LOCAL_MACHINE", "HKLM"),
// and the backslash after it from `path`; nullopt when the first part of the
// path is no hive name.
struct HivePath {
  Hive hive;
  std::string_view rest;
};
std::optional<HivePath> SplitHive(std::string_view path);

// How a registration ended.
enum class Outcome { Pending, Changed, HandleClosed, KeyDeleted };

struct Watch {
  const void* owner = nullptr;  // the open handle that registered it
  bool subtree = false;
  DWORD filter = 0;
  HANDLE event = nullptr;  // null: a synchronous waiter
  Outcome outcome = Outcome::Pending;
};

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key;

// The subkeys of a key in name order. Besides the map it keeps the position
// last asked for by number, so that enumerating index after index costs one
// step each rather than a walk from the start; any insertion or removal
// forgets that position. Guarded, like the rest of the key, by its tree.
class Subkeys {
 public:
  using Map = std::map<std::string, std::shared_ptr<Key>, NameLess>;
  using const_iterator = Map::const_iterator;

  Subkeys() = default;
  Subkeys(const Subkeys&) = delete;  // the remembered position belongs to this map
  Subkeys& operator=(const Subkeys&) = delete;

  const_iterator begin() const { return map_.begin(); }
  const_iterator end() const { return map_.end(); }
  const_iterator find(std::string_view name) const { return map_.find(name); }
  size_t size() const { return map_.size(); }
  bool empty() const { return map_.empty(); }

  void Insert(std::shared_ptr<Key> child);  // its name must be free
  void Erase(const_iterator at);
  // The subkey at `index` in name order; null past the end.
  const Key* At(size_t index) const;

 private:
  Map map_;
  mutable const_iterator cursor_{};
  mutable size_t cursorIndex_ = 0;
  mutable bool cursorValid_ = false;
};

struct Key {
  std::string name;
  Key* parent = nullptr;  // null for a hive root and for a deleted key
  bool deleted = false;
  Subkeys subkeys;
  std::vector<Value> values;  // creation order
  std::list<std::shared_ptr<Watch>> watches;

  bool IsRoot() const { return parent == nullptr && !deleted; }
  Value* FindValue(std::string_view valueName);
};

class Tree {
 public:
  Tree();
  std::shared_ptr<Key> Root(Hive hive) const { return roots_[static_cast<int>(hive)]; }

 private:
  friend class Edit;
  std::mutex mutex_;
  std::condition_variable changed_;  // synchronous waiters wait here
  std::shared_ptr<Key> roots_[kHiveCount];
};

// The registry tree of a machine, created on first use.
std::shared_ptr<Tree> TreeOf(Machine& machine);

// Exclusive access to one tree for one operation.
class Edit {
 public:
  explicit Edit(Tree& tree);
  ~Edit();
  Edit(const Edit&) = delete;
  Edit& operator=(const Edit&) = delete;

  // Ends a pending registration; its event is signalled, or its synchronous
  // waiter woken, when this Edit ends.
  void Fire(Watch& watch, Outcome outcome);
  // Wakes the threads blocked in this tree's waits when this Edit ends.
  void WakeWaiters() { wakeWaiters_ = true; }
  // Blocks until `watch` is no longer pending, releasing the tree meanwhile.
  void WaitWhilePending(const Watch& watch);
  // Blocks, releasing the tree meanwhile, until `done` holds or `deadline`
  // passes; returns `done()`.
  template <class Pred>
  bool WaitUntil(std::chrono::steady_clock::time_point deadline, Pred done) {
    Deliver();
    return tree_.changed_.wait_until(lock_, deadline, done);
  }

 private:
  // Hands out what has fired so far; events are signalled with the tree
  // unlocked for the moment.
  void Deliver();

  Tree& tree_;
  std::unique_lock<std::mutex> lock_;
  std::vector<HANDLE> events_;
  bool wakeWaiters_ = false;
};

// Splits a relative key path at backslashes. Repeated and trailing separators
// are ignored; a leading one makes the path invalid (nullopt).
std::optional<std::vector<std::string_view>> SplitPath(std::string_view path);

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

// Tree operations. Results are Win32 error codes.
std::shared_ptr<Key> FindKey(const std::shared_ptr<Key>& base, const std::vector<std::string_view>& parts);
// Opens or creates base\parts..., creating missing keys one by one.
LONG CreateKey(Edit& edit, const std::shared_ptr<Key>& base, const std::vector<std::string_view>& parts,
               std::shared_ptr<Key>& result, bool& created);
// Deletes a key without subkeys (not a hive root).
LONG DeleteKey(Edit& edit, Key& key);
// Deletes a key with everything below it, deepest keys first.
LONG DeleteKeyTree(Edit& edit, Key& key);
LONG SetValue(Edit& edit, Key& key, std::string_view name, DWORD type, std::vector<BYTE> data);
LONG DeleteValue(Edit& edit, Key& key, std::string_view name);

// The full path of a live key, hive name first ("HKEY_LOCAL_MACHINE\A\B").
std::string FullPath(const Key& key);

}  // namespace velplat::reg

#endif

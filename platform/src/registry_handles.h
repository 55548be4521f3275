// Registry handles: what an HKEY stands for. An opened key is a per-open
// object in a process-wide table (closing one handle leaves the others open);
// the predefined handles stand for the hives of the local machine and are
// never closed.
//
// Thread-safety: all functions may be called from any thread. OpenKey::closed
// is guarded by its tree's mutex (take an Edit).
#ifndef VELPLAT_SRC_REGISTRY_HANDLES_H
#define VELPLAT_SRC_REGISTRY_HANDLES_H

#include "registry_tree.h"

#include <optional>

namespace velplat::reg {

struct OpenKey {
  std::shared_ptr<Tree> tree;
  std::shared_ptr<Key> key;
  REGSAM access = 0;
  bool closed = false;

  bool Allows(REGSAM right) const { return (access & right) == right; }
};

// The hive that a predefined handle names (HKEY_LOCAL_MACHINE, ...).
std::optional<Hive> PredefinedHive(HKEY hKey);

// The open key behind `hKey`: a predefined handle resolves to the local
// machine's hive with every right. Null for anything else that is not open.
std::shared_ptr<OpenKey> Resolve(HKEY hKey);

// The hive root of `machine` with every right, as a new open key.
std::shared_ptr<OpenKey> OpenHive(Machine& machine, Hive hive);

// Enters an open key in the table and returns its new handle.
HKEY Publish(std::shared_ptr<OpenKey> key);

// Removes an opened handle from the table; null if it is not open.
std::shared_ptr<OpenKey> Withdraw(HKEY hKey);

// How often Resolve or Withdraw was given a handle that had been opened and
// was closed since.
size_t StaleHandleUses();

// Generic rights and MAXIMUM_ALLOWED mapped to key rights.
REGSAM MapAccess(REGSAM access);

}  // namespace velplat::reg

#endif

// Change notification inside the registry core: which pending registrations a
// change, a key deletion or a handle closing ends.
//
// A change of a key reaches the registrations on that key whose filter
// matches, and the subtree registrations of its ancestors whose filter
// matches. A deleted key ends every registration on it; a closed handle ends
// the registrations made through it. Each registration ends once and is then
// gone; changes before the next registration are not reported.
//
// Thread-safety: call with the tree's Edit alive (see registry_tree.h).
#ifndef VELPLAT_SRC_REGISTRY_NOTIFY_H
#define VELPLAT_SRC_REGISTRY_NOTIFY_H

#include "registry_tree.h"

namespace velplat::reg {

// `change` is REG_NOTIFY_CHANGE_NAME (a subkey of `key` came or went) or
// REG_NOTIFY_CHANGE_LAST_SET (a value of `key` was set or deleted).
void ReportChange(Edit& edit, Key& key, DWORD change);
void ReportKeyDeleted(Edit& edit, Key& key);
void ReportHandleClosed(Edit& edit, Key& key, const void* owner);

// Adds a registration to `key`. An asynchronous registration made again
// through the same handle while one is pending replaces it.
void AddWatch(Edit& edit, Key& key, std::shared_ptr<Watch> watch);

}  // namespace velplat::reg

#endif

#include "backends/brennic/support/brennic_world.h"

#include <velplat/network.h>
#include <velplat/registry.h>
#include <velplat/services.h>

namespace velmon::test {

void AddNode(const BrennicNode& node) {
  // The resolver first, and the keys in one registry edit, so that a watcher
  // woken by the edit finds the node complete.
  if (!node.address.empty()) velplat::network::SetHostEntry(node.name, {node.address});
  std::string global = std::string(kNodesPath) + "\\" + node.name + "\\Global";
  if (node.comment)
    velplat::registry::SetString(global, "Comment", *node.comment);
  else
    velplat::registry::CreateKey(global);
}

void DeleteNode(const std::string& name) { velplat::registry::DeleteKeyTree(std::string(kNodesPath) + "\\" + name); }

void DefineManagerService(DWORD state) {
  velplat::services::ServiceConfig service;
  service.name = "Kestavar";
  service.initialState = state;
  velplat::services::Define(service);
}

}  // namespace velmon::test

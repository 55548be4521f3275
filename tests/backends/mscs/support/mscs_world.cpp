#include "backends/mscs/support/mscs_world.h"

#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <velplat/world.h>

#include <chrono>
#include <thread>

namespace velmon::test {

namespace cluster = velplat::cluster;

cluster::ClusterSpec ThreeNodeCluster() {
  cluster::ClusterSpec shape;
  shape.name = kClusterName;
  shape.nodes = {{"NODE1"}, {"NODE2"}, {"NODE3"}};
  shape.groups = {{"Cluster Group"}};
  shape.resources = {AddressResource("Cluster IP Address", "10.0.0.100", "255.255.255.0"),
                    {"Cluster Name", "Network Name", "Cluster Group", {{"Name", std::string(kClusterName)}}}};
  shape.networks = {{"Public", "10.0.0.0", "255.255.255.0"}};
  shape.interfaces = {{"1", "Public", "10.0.0.1"}, {"2", "Public", "10.0.0.2"}, {"3", "Public", "10.0.0.3"}};
  return shape;
}

void InstallCluster(const cluster::ClusterSpec& shape, const std::string& local) {
  cluster::Install(shape);
  velplat::World::Get().SetLocal(local.empty() ? shape.nodes.front().name : local);
}

cluster::ResourceSpec AddressResource(const std::string& name, const std::string& address, const std::string& mask) {
  cluster::ResourceSpec resource{name, "IP Address", "Cluster Group", {}};
  if (!address.empty()) resource.parameters.push_back({"Address", address});
  if (!mask.empty()) resource.parameters.push_back({"SubnetMask", mask});
  return resource;
}

std::string Dotted(DWORD address) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
         std::to_string(bytes[3]);
}

std::vector<std::string> Members(int count) {
  auto lock = LockMemberTable();
  std::vector<std::string> members;
  for (int i = 0; i < count; ++i) {
    const MemberRecord& record = MemberTable[i];
    members.push_back(std::to_string(record.memberNumber) + ":" + record.nodeId + ":" + record.name + ":" +
                      Dotted(record.address));
  }
  return members;
}

std::vector<std::string> NodeRows() {
  auto lock = LockWatchTables();
  std::vector<std::string> rows;
  for (NodeEntry* entry = NodeTable; entry; entry = entry->next)
    rows.push_back(std::to_string(entry->index) + ":" + entry->name);
  return rows;
}

std::vector<std::string> AddressRows() {
  auto lock = LockWatchTables();
  std::vector<std::string> rows;
  for (AddressEntry* entry = AddressTable; entry; entry = entry->next)
    rows.push_back(std::to_string(entry->index) + ":" + entry->name + ":" + Dotted(entry->address));
  return rows;
}

bool Eventually(const std::function<bool()>& done, int milliseconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace velmon::test

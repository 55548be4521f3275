// The MSCS clusters of a world file, as plain data (the [cluster.NAME]
// section, see docs/world-file.md). A cluster is described once and lives on
// the machines its nodes name. Every object carries the database key it is
// written under: given in the file or generated from its kind and position,
// so that loading the same text twice gives the same keys. Nodes carry the
// identifier the user gave them.
//
// Thread-safety: plain values.
#ifndef VELMOND_WORLD_CLUSTER_MODEL_H
#define VELMOND_WORLD_CLUSTER_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

namespace velmond {

enum class ClusterNodeState { Up, Down, Paused, Joining };

struct ClusterNode {
  std::string name;  // a machine of the world
  std::string id;    // decimal text, unique in the world
  ClusterNodeState state = ClusterNodeState::Up;
  bool operator==(const ClusterNode&) const = default;
};

struct ClusterGroup {
  std::string name;
  std::string key;
  bool operator==(const ClusterGroup&) const = default;
};

// A private property of a resource: REG_SZ text or a REG_DWORD number.
struct ClusterParameter {
  std::string name;
  bool isNumber = false;
  std::string text;
  std::uint32_t number = 0;
  bool operator==(const ClusterParameter&) const = default;
};

struct ClusterResource {
  std::string name;
  std::string type;
  std::string group;  // a group's name, or empty
  std::string key;
  std::vector<ClusterParameter> parameters;  // in the order written
  bool operator==(const ClusterResource&) const = default;
};

struct ClusterNetwork {
  std::string name;
  std::string address;
  std::string addressMask;
  std::string key;
  bool operator==(const ClusterNetwork&) const = default;
};

struct ClusterInterface {
  std::string name;     // "<network> - <node>" unless given
  std::string node;     // a node's name; its identifier is what the database holds
  std::string network;  // a network's name; its key is what the database holds
  std::string address;
  std::string key;
  bool operator==(const ClusterInterface&) const = default;
};

struct ClusterSpec {
  std::string name;
  std::uint16_t majorVersion = 4;
  std::uint16_t minorVersion = 0;
  std::uint16_t buildNumber = 1381;
  std::string vendorId = "Microsoft Cluster Server";
  std::string csdVersion;
  std::vector<ClusterNode> nodes;  // enumeration order
  std::vector<ClusterGroup> groups;
  std::vector<ClusterResource> resources;
  std::vector<ClusterNetwork> networks;
  std::vector<ClusterInterface> interfaces;
  bool operator==(const ClusterSpec&) const = default;
};

}  // namespace velmond

#endif

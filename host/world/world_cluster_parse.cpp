// [cluster.NAME] tables into ClusterSpec values, with errors that point at
// the line.
#include "host/world/world_cluster_parse.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <set>

namespace velmond {
namespace {

struct ClusterError {
  std::string message;
};

// Database keys of objects the file gives none: GUID texts that sort by kind
// and then by position in the file, as the cluster enumerates them.
std::string GeneratedKey(int kind, std::size_t position) {
  char text[40];
  std::snprintf(text, sizeof text, "{%d0000000-0000-0000-0000-%012zu}", kind, position + 1);
  return text;
}

class ClusterReader {
 public:
  ClusterReader(const std::string& fileName, const WorldModel& world) : file_(fileName), world_(world) {}

  NoCaseMap<ClusterSpec> Read(const toml::node& section) {
    NoCaseMap<ClusterSpec> clusters;
    for (const auto& [key, node] : Table(section, "cluster")) {
      ClusterSpec cluster = ReadCluster(std::string(key.str()), node);
      clusters.emplace(cluster.name, std::move(cluster));
    }
    return clusters;
  }

 private:
  [[noreturn]] void Fail(const toml::node& at, const std::string& what) const {
    throw ClusterError{file_ + ":" + std::to_string(at.source().begin.line) + ": " + what};
  }

  const toml::table& Table(const toml::node& node, const std::string& what) const {
    const toml::table* table = node.as_table();
    if (!table) Fail(node, what + " must be a table");
    return *table;
  }

  void Only(const toml::table& table, std::initializer_list<std::string_view> allowed, const std::string& where) const {
    for (const auto& [key, node] : table) {
      if (std::find(allowed.begin(), allowed.end(), key.str()) != allowed.end()) continue;
      std::string list;
      for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
      Fail(node, "unknown key \"" + std::string(key.str()) + "\" in " + where + " (expected: " + list + ")");
    }
  }

  std::string Text(const toml::table& table, std::string_view key, const std::string& where, bool required) const {
    const toml::node* node = table.get(key);
    if (!node) {
      if (required) Fail(table, where + " needs " + std::string(key));
      return {};
    }
    auto text = node->value_exact<std::string>();
    if (!text) Fail(*node, where + ": " + std::string(key) + " must be a string");
    if (required && text->empty()) Fail(*node, where + ": " + std::string(key) + " must not be empty");
    return *text;
  }

  std::uint16_t Word(const toml::table& table, std::string_view key, std::uint16_t fallback, const std::string& where) const {
    const toml::node* node = table.get(key);
    if (!node) return fallback;
    auto number = node->value_exact<std::int64_t>();
    if (!number || *number < 0 || *number > 65535) Fail(*node, where + ": " + std::string(key) + " must be a number from 0 to 65535");
    return static_cast<std::uint16_t>(*number);
  }

  std::string Address(const toml::table& table, std::string_view key, const std::string& where) const {
    std::string text = Text(table, key, where, false);
    in_addr parsed{};
    if (!text.empty() && inet_pton(AF_INET, text.c_str(), &parsed) != 1) {
      Fail(*table.get(key), where + ": " + std::string(key) + " \"" + text + "\" is not an a.b.c.d address");
    }
    return text;
  }

  // The tables of an array of tables such as [[cluster.X.nodes]].
  std::vector<const toml::table*> Items(const toml::table& cluster, std::string_view key, const std::string& where) const {
    std::vector<const toml::table*> items;
    const toml::node* node = cluster.get(key);
    if (!node) return items;
    const toml::array* array = node->as_array();
    if (!array) Fail(*node, where + ": " + std::string(key) + " must be a list of tables ([[...]])");
    for (const toml::node& item : *array) items.push_back(&Table(item, where + ": " + std::string(key) + " entries"));
    return items;
  }

  // Names and keys are unique within their kind.
  template <class Object>
  void Unique(const std::vector<Object>& objects, const toml::table& at, const std::string& where) const {
    const Object& last = objects.back();
    for (std::size_t i = 0; i + 1 < objects.size(); ++i) {
      if (velplat::EqualsNoCase(objects[i].name, last.name)) Fail(at, where + ": \"" + last.name + "\" is named twice");
      if (velplat::EqualsNoCase(objects[i].key, last.key)) Fail(at, where + ": key " + last.key + " is used twice");
    }
  }

  template <class Object>
  const Object* Named(const std::vector<Object>& objects, const std::string& name) const {
    for (const Object& object : objects)
      if (velplat::EqualsNoCase(object.name, name)) return &object;
    return nullptr;
  }

  ClusterSpec ReadCluster(const std::string& name, const toml::node& node) {
    std::string where = "cluster \"" + name + "\"";
    const toml::table& table = Table(node, where);
    Only(table, {"major_version", "minor_version", "build", "vendor_id", "csd_version", "nodes", "groups", "resources",
                 "networks", "interfaces"},
         where);
    ClusterSpec cluster;
    cluster.name = name;
    cluster.majorVersion = Word(table, "major_version", cluster.majorVersion, where);
    cluster.minorVersion = Word(table, "minor_version", cluster.minorVersion, where);
    cluster.buildNumber = Word(table, "build", cluster.buildNumber, where);
    if (table.get("vendor_id")) cluster.vendorId = Text(table, "vendor_id", where, false);
    cluster.csdVersion = Text(table, "csd_version", where, false);
    for (const toml::table* item : Items(table, "nodes", where)) ReadNode(*item, where, cluster);
    if (cluster.nodes.empty()) Fail(table, where + " has no node ([[cluster." + name + ".nodes]])");
    for (const toml::table* item : Items(table, "groups", where)) {
      std::string what = where + ": group";
      Only(*item, {"name", "key"}, what);
      cluster.groups.push_back({Text(*item, "name", what, true), Text(*item, "key", what, false)});
      if (cluster.groups.back().key.empty()) cluster.groups.back().key = GeneratedKey(1, cluster.groups.size() - 1);
      Unique(cluster.groups, *item, where + ": groups");
    }
    for (const toml::table* item : Items(table, "resources", where)) ReadResource(*item, where, cluster);
    for (const toml::table* item : Items(table, "networks", where)) {
      std::string what = where + ": network";
      Only(*item, {"name", "address", "address_mask", "key"}, what);
      cluster.networks.push_back({Text(*item, "name", what, true), Address(*item, "address", what),
                                  Address(*item, "address_mask", what), Text(*item, "key", what, false)});
      if (cluster.networks.back().key.empty()) cluster.networks.back().key = GeneratedKey(3, cluster.networks.size() - 1);
      Unique(cluster.networks, *item, where + ": networks");
    }
    for (const toml::table* item : Items(table, "interfaces", where)) ReadInterface(*item, where, cluster);
    return cluster;
  }

  void ReadNode(const toml::table& item, const std::string& where, ClusterSpec& cluster) {
    std::string what = where + ": node";
    Only(item, {"name", "id", "state"}, what);
    ClusterNode node;
    node.name = Text(item, "name", what, true);
    what = where + ": node \"" + node.name + "\"";
    auto machine = world_.machines.find(node.name);
    if (machine == world_.machines.end()) Fail(item, what + " names no machine of the world");
    node.name = machine->first;  // spelt as the machine is
    const toml::node* id = item.get("id");
    if (!id) Fail(item, what + " needs id (the node identifier, decimal text such as \"1\")");
    if (auto number = id->value_exact<std::int64_t>()) {
      if (*number < 0) Fail(*id, what + ": id must not be negative");
      node.id = std::to_string(*number);
    } else {
      node.id = Text(item, "id", what, true);
      if (!std::all_of(node.id.begin(), node.id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        Fail(*id, what + ": id \"" + node.id + "\" is not decimal text");
    }
    if (const toml::node* n = item.get("state")) {
      static const std::pair<const char*, ClusterNodeState> kStates[] = {
          {"up", ClusterNodeState::Up}, {"down", ClusterNodeState::Down},
          {"paused", ClusterNodeState::Paused}, {"joining", ClusterNodeState::Joining}};
      std::string state = Text(item, "state", what, true);
      auto found = std::find_if(std::begin(kStates), std::end(kStates), [&](const auto& s) { return state == s.first; });
      if (found == std::end(kStates)) Fail(*n, what + ": unknown state \"" + state + "\" (up, down, paused, joining)");
      node.state = found->second;
    }
    for (const ClusterNode& other : cluster.nodes) {
      if (velplat::EqualsNoCase(other.name, node.name)) Fail(item, what + " is named twice");
      if (other.id == node.id) Fail(*id, what + ": id " + node.id + " is node \"" + other.name + "\"'s already");
    }
    for (const auto& [name, placed] : placed_) {
      if (velplat::EqualsNoCase(name, node.name))
        Fail(item, what + " is a node of cluster \"" + placed + "\" already; a machine is a node of one cluster");
    }
    placed_.emplace_back(node.name, cluster.name);
    cluster.nodes.push_back(std::move(node));
  }

  void ReadResource(const toml::table& item, const std::string& where, ClusterSpec& cluster) {
    std::string what = where + ": resource";
    Only(item, {"name", "type", "group", "key", "parameters"}, what);
    ClusterResource resource;
    resource.name = Text(item, "name", what, true);
    what = where + ": resource \"" + resource.name + "\"";
    if (!item.get("type")) Fail(item, what + " has no type (such as type = \"IP Address\")");
    resource.type = Text(item, "type", what, true);
    resource.group = Text(item, "group", what, false);
    if (!resource.group.empty()) {
      const ClusterGroup* group = Named(cluster.groups, resource.group);
      if (!group) Fail(*item.get("group"), what + ": group \"" + resource.group + "\" is no group of the cluster");
      resource.group = group->name;
    }
    resource.key = Text(item, "key", what, false);
    if (resource.key.empty()) resource.key = GeneratedKey(2, cluster.resources.size());
    if (const toml::node* n = item.get("parameters")) {
      // In the order written, not the table's sorted order.
      std::vector<std::pair<std::string, const toml::node*>> ordered;
      for (const auto& [name, value] : Table(*n, what + ": parameters")) ordered.emplace_back(std::string(name.str()), &value);
      std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        const auto& pa = a.second->source().begin;
        const auto& pb = b.second->source().begin;
        return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
      });
      for (const auto& [name, value] : ordered) {
        ClusterParameter parameter;
        parameter.name = name;
        if (auto text = value->value_exact<std::string>()) {
          parameter.text = *text;
        } else if (auto number = value->value_exact<std::int64_t>(); number && *number >= 0 && *number <= 0xFFFFFFFFll) {
          parameter.isNumber = true;
          parameter.number = static_cast<std::uint32_t>(*number);
        } else {
          Fail(*value, what + ": parameter " + name + " must be a string or a number from 0 to 4294967295");
        }
        resource.parameters.push_back(std::move(parameter));
      }
    }
    cluster.resources.push_back(std::move(resource));
    Unique(cluster.resources, item, where + ": resources");
  }

  void ReadInterface(const toml::table& item, const std::string& where, ClusterSpec& cluster) {
    std::string what = where + ": interface";
    Only(item, {"name", "node", "network", "address", "key"}, what);
    ClusterInterface networkInterface;
    std::string node = Text(item, "node", what, true);
    const ClusterNode* member = Named(cluster.nodes, node);
    if (!member) Fail(*item.get("node"), what + ": node \"" + node + "\" is no node of the cluster");
    networkInterface.node = member->name;
    std::string network = Text(item, "network", what, true);
    const ClusterNetwork* on = Named(cluster.networks, network);
    if (!on) Fail(*item.get("network"), what + ": network \"" + network + "\" is no network of the cluster");
    networkInterface.network = on->name;
    networkInterface.address = Address(item, "address", what);
    networkInterface.name = Text(item, "name", what, false);
    if (networkInterface.name.empty()) networkInterface.name = on->name + " - " + member->name;
    networkInterface.key = Text(item, "key", what, false);
    if (networkInterface.key.empty()) networkInterface.key = GeneratedKey(4, cluster.interfaces.size());
    cluster.interfaces.push_back(std::move(networkInterface));
    Unique(cluster.interfaces, item, where + ": interfaces");
  }

  const std::string& file_;
  const WorldModel& world_;
  std::vector<std::pair<std::string, std::string>> placed_;  // node machine, its cluster
};

}  // namespace

bool ReadClusters(const toml::node& section, const std::string& fileName, WorldModel& world, std::string& error) {
  try {
    world.clusters = ClusterReader(fileName, world).Read(section);
    return true;
  } catch (const ClusterError& e) {
    error = e.message;
    return false;
  }
}

}  // namespace velmond

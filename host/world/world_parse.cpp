// World files: TOML into a WorldModel, with errors that point at the line.
#include "host/world/world_parse.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "host/world/world_faults.h"
#include "host/world/world_cluster_parse.h"
#include "host/world/world_registry.h"

namespace velmond {
namespace {

struct WorldError {
  std::string message;
};

class Reader {
 public:
  Reader(std::string name, std::string baseDir) : name_(std::move(name)), baseDir_(std::move(baseDir)) {}

  WorldModel Read(const toml::table& root, std::vector<std::string>& sources) {
    sources_ = &sources;
    WorldModel world;
    Only(root, {"local", "machine", "hosts", "faults", "cluster"}, "the world");
    const toml::table* machines = root["machine"].as_table();
    if (!machines || machines->empty()) Fail(root, "the world has no [machine.NAME] table");
    for (const auto& [key, node] : *machines) {
      const toml::table* table = node.as_table();
      if (!table) Fail(node, "machine." + std::string(key.str()) + " must be a table");
      MachineSpec machine = ReadMachine(std::string(key.str()), *table);
      if (world.machines.count(machine.name)) Fail(node, "machine \"" + machine.name + "\" is named twice");
      world.machines.emplace(machine.name, std::move(machine));
    }
    world.local = ChooseLocal(root, world);
    if (const toml::node* hosts = root.get("hosts")) world.hosts = ReadHosts(*hosts);
    if (const toml::node* faults = root.get("faults")) world.faults = ReadFaults(*faults);
    if (const toml::node* clusters = root.get("cluster")) {
      std::string error;
      if (!ReadClusters(*clusters, name_, world, error)) throw WorldError{error};
    }
    return world;
  }

 private:
  [[noreturn]] void Fail(const toml::node& node, const std::string& what) const {
    auto line = node.source().begin.line;
    throw WorldError{name_ + ":" + std::to_string(line) + ": " + what};
  }

  void Only(const toml::table& table, std::initializer_list<std::string_view> allowed, const std::string& where) {
    for (const auto& [key, node] : table) {
      if (std::find(allowed.begin(), allowed.end(), key.str()) == allowed.end()) {
        std::string list;
        for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
        Fail(node, "unknown key \"" + std::string(key.str()) + "\" in " + where + " (expected: " + list + ")");
      }
    }
  }

  std::string String(const toml::node& node, const std::string& what) {
    auto text = node.value_exact<std::string>();
    if (!text) Fail(node, what + " must be a string");
    return *text;
  }

  bool Bool(const toml::node& node, const std::string& what) {
    auto flag = node.value_exact<bool>();
    if (!flag) Fail(node, what + " must be true or false");
    return *flag;
  }

  std::uint32_t Milliseconds(const toml::node& node, const std::string& what) {
    auto number = node.value_exact<std::int64_t>();
    if (!number || *number < 0 || *number > 86400000) Fail(node, what + " must be a whole number of milliseconds");
    return static_cast<std::uint32_t>(*number);
  }

  std::vector<std::string> Strings(const toml::node& node, const std::string& what) {
    if (node.is_string()) return {String(node, what)};
    const toml::array* array = node.as_array();
    if (!array) Fail(node, what + " must be a list of strings");
    std::vector<std::string> items;
    for (const toml::node& item : *array) items.push_back(String(item, what + " entries"));
    return items;
  }

  std::vector<std::string> Addresses(const toml::node& node, const std::string& what) {
    std::vector<std::string> items = Strings(node, what);
    for (const std::string& address : items) {
      int parts = 0;
      bool ok = true;
      std::stringstream stream(address);
      std::string part;
      while (std::getline(stream, part, '.')) {
        ++parts;
        ok = ok && !part.empty() && part.size() <= 3 &&
             std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
             std::stoi(part) <= 255;
      }
      if (!ok || parts != 4 || address.back() == '.') Fail(node, what + ": \"" + address + "\" is not an a.b.c.d address");
    }
    return items;
  }

  const toml::table& Table(const toml::node& node, const std::string& what) {
    const toml::table* table = node.as_table();
    if (!table) Fail(node, what + " must be a table");
    return *table;
  }

  MachineSpec ReadMachine(const std::string& name, const toml::table& table) {
    std::string where = "machine \"" + name + "\"";
    Only(table, {"local", "addresses", "reachable", "connect_ms", "process_identity", "environment", "registry",
                 "reg_files", "files", "services", "accounts"},
         where);
    MachineSpec machine;
    machine.name = name;
    if (const toml::node* n = table.get("local")) machine.local = Bool(*n, where + ": local");
    if (const toml::node* n = table.get("addresses")) machine.network.addresses = Addresses(*n, where + ": addresses");
    if (const toml::node* n = table.get("reachable")) machine.network.reachable = Bool(*n, where + ": reachable");
    if (const toml::node* n = table.get("connect_ms")) machine.network.connectMs = Milliseconds(*n, where + ": connect_ms");
    if (const toml::node* n = table.get("process_identity")) {
      std::string identity = String(*n, where + ": process_identity");
      if (identity == "refused") {
        machine.network.processIdentity = ProcessIdentity::Refused;
      } else if (identity == "user") {
        machine.network.processIdentity = ProcessIdentity::User;
      } else if (identity == "administrator") {
        machine.network.processIdentity = ProcessIdentity::Administrator;
      } else {
        Fail(*n, where + ": process_identity must be \"refused\", \"user\" or \"administrator\"");
      }
    }
    if (const toml::node* n = table.get("environment")) {
      for (const auto& [key, value] : Table(*n, where + ": environment")) {
        machine.environment[std::string(key.str())] = String(value, where + ": environment " + std::string(key.str()));
      }
    }
    // .reg files first; inline values then add to them or replace them.
    if (const toml::node* n = table.get("reg_files")) {
      for (const std::string& file : Strings(*n, where + ": reg_files")) ReadRegFile(*n, file, machine.registry);
    }
    if (const toml::node* n = table.get("registry")) ReadRegistry(Table(*n, where + ": registry"), where, machine.registry);
    if (const toml::node* n = table.get("files")) {
      for (const auto& [key, value] : Table(*n, where + ": files")) {
        FileSpec file = ReadFile(std::string(key.str()), value, where);
        machine.files[file.path] = std::move(file);
      }
    }
    if (const toml::node* n = table.get("services")) {
      for (const auto& [key, value] : Table(*n, where + ": services")) {
        ServiceSpec service = ReadService(std::string(key.str()), value, where);
        machine.services[service.name] = std::move(service);
      }
    }
    if (const toml::node* n = table.get("accounts")) {
      for (const auto& [key, value] : Table(*n, where + ": accounts")) {
        AccountSpec account = ReadAccount(std::string(key.str()), value, where);
        machine.accounts[account.name] = std::move(account);
      }
    }
    return machine;
  }

  void ReadRegFile(const toml::node& at, const std::string& file, NoCaseMap<RegKey>& registry) {
    std::filesystem::path path(file);
    if (path.is_relative()) path = std::filesystem::path(baseDir_) / path;
    // Named before it is read: a file that is missing now is watched too.
    sources_->push_back(path.string());
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(at, "cannot read the .reg file " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    if (!MergeRegFile(bytes, registry, error)) throw WorldError{path.string() + ": " + error};
  }

  void ReadRegistry(const toml::table& keys, const std::string& where, NoCaseMap<RegKey>& registry) {
    for (const auto& [key, node] : keys) {
      auto path = CanonicalKeyPath(key.str());
      if (!path) Fail(node, where + ": \"" + std::string(key.str()) + "\" is not a registry key path");
      const toml::table& values = Table(node, where + ": registry key " + *path);
      RegKey& entry = registry[*path];
      if (entry.path.empty()) entry.path = *path;
      // Values in the order written, not the table's sorted order.
      std::vector<std::pair<std::string, const toml::node*>> ordered;
      for (const auto& [name, value] : values) ordered.emplace_back(std::string(name.str()), &value);
      std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        const auto& pa = a.second->source().begin;
        const auto& pb = b.second->source().begin;
        return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
      });
      for (const auto& [name, value] : ordered) {
        std::string error;
        auto parsed = ParseRegValue(name, *value, error);
        if (!parsed) Fail(*value, where + ": key " + *path + ": " + error);
        PutRegValue(registry, *path, std::move(*parsed));
      }
    }
  }

  FileSpec ReadFile(const std::string& path, const toml::node& node, const std::string& where) {
    FileSpec file;
    file.path = path;
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') {
      Fail(node, where + ": file \"" + path + "\" must be an absolute path such as C:\\dir\\name");
    }
    if (node.is_string()) {
      file.text = String(node, where + ": file " + path);
      return file;
    }
    const toml::table& table = Table(node, where + ": file " + path);
    std::string what = where + ": file " + path;
    Only(table, {"text", "version", "product_version"}, what);
    if (const toml::node* n = table.get("text")) file.text = String(*n, what + ": text");
    if (const toml::node* n = table.get("version")) {
      if (table.get("text")) Fail(*n, what + ": give either text or version, not both");
      file.executable = true;
      file.fileVersion = String(*n, what + ": version");
      file.productVersion = file.fileVersion;
    }
    if (const toml::node* n = table.get("product_version")) {
      if (!file.executable) Fail(*n, what + ": product_version needs version");
      file.productVersion = String(*n, what + ": product_version");
    }
    return file;
  }

  ServiceSpec ReadService(const std::string& name, const toml::node& node, const std::string& where) {
    std::string what = where + ": service " + name;
    const toml::table& table = Table(node, what);
    Only(table, {"display_name", "image_path", "state", "start_type", "depends_on", "start_ms", "stop_ms"}, what);
    ServiceSpec service;
    service.name = name;
    if (const toml::node* n = table.get("display_name")) service.displayName = String(*n, what + ": display_name");
    if (const toml::node* n = table.get("image_path")) service.imagePath = String(*n, what + ": image_path");
    if (const toml::node* n = table.get("depends_on")) service.dependencies = Strings(*n, what + ": depends_on");
    if (const toml::node* n = table.get("start_ms")) service.startMs = Milliseconds(*n, what + ": start_ms");
    if (const toml::node* n = table.get("stop_ms")) service.stopMs = Milliseconds(*n, what + ": stop_ms");
    if (const toml::node* n = table.get("state")) {
      static const std::pair<const char*, std::uint32_t> kStates[] = {
          {"stopped", 1}, {"start_pending", 2}, {"stop_pending", 3},    {"running", 4},
          {"continue_pending", 5}, {"pause_pending", 6}, {"paused", 7}};
      std::string state = String(*n, what + ": state");
      auto found = std::find_if(std::begin(kStates), std::end(kStates), [&](const auto& s) { return state == s.first; });
      if (found == std::end(kStates)) {
        Fail(*n, what + ": unknown state \"" + state +
                     "\" (stopped, running, paused, start_pending, stop_pending, continue_pending, pause_pending)");
      }
      service.state = found->second;
    }
    if (const toml::node* n = table.get("start_type")) {
      static const std::pair<const char*, std::uint32_t> kTypes[] = {
          {"boot", 0}, {"system", 1}, {"auto", 2}, {"demand", 3}, {"disabled", 4}};
      std::string type = String(*n, what + ": start_type");
      auto found = std::find_if(std::begin(kTypes), std::end(kTypes), [&](const auto& s) { return type == s.first; });
      if (found == std::end(kTypes)) Fail(*n, what + ": unknown start_type \"" + type + "\" (boot, system, auto, demand, disabled)");
      service.startType = found->second;
    }
    return service;
  }

  AccountSpec ReadAccount(const std::string& name, const toml::node& node, const std::string& where) {
    std::string what = where + ": account " + name;
    const toml::table& table = Table(node, what);
    Only(table, {"password", "comment", "disabled", "groups"}, what);
    AccountSpec account;
    account.name = name;
    if (const toml::node* n = table.get("password")) account.password = String(*n, what + ": password");
    if (const toml::node* n = table.get("comment")) account.comment = String(*n, what + ": comment");
    if (const toml::node* n = table.get("disabled")) account.disabled = Bool(*n, what + ": disabled");
    if (const toml::node* n = table.get("groups")) account.groups = Strings(*n, what + ": groups");
    return account;
  }

  NoCaseMap<std::vector<std::string>> ReadHosts(const toml::node& node) {
    NoCaseMap<std::vector<std::string>> hosts;
    for (const auto& [key, value] : Table(node, "hosts")) {
      hosts[std::string(key.str())] = Addresses(value, "hosts: " + std::string(key.str()));
    }
    return hosts;
  }

  // [[faults]]: each a call or a point; one arming per call or point, as
  // the platform keeps them.
  std::vector<FaultSpec> ReadFaults(const toml::node& node) {
    const toml::array* array = node.as_array();
    if (!array || !array->is_array_of_tables()) Fail(node, "faults must be written as [[faults]] tables");
    std::vector<FaultSpec> faults;
    for (const toml::node& item : *array) {
      const toml::table& table = *item.as_table();
      std::string what = "fault";
      Only(table, {"call", "point", "error", "count", "skip", "thread"}, what);
      FaultSpec fault;
      const toml::node* call = table.get("call");
      const toml::node* point = table.get("point");
      if (!call == !point) Fail(item, "a fault names either a call or a point");
      if (call) {
        fault.call = String(*call, "fault: call");
        what = "fault of " + fault.call;
        if (fault.call.empty() || !std::all_of(fault.call.begin(), fault.call.end(), [](char c) {
              return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
            })) {
          Fail(*call, "fault: \"" + fault.call + "\" is not a Win32 function name");
        }
        const toml::node* error = table.get("error");
        if (!error) Fail(item, what + ": error is missing (a number or a name such as \"ERROR_ACCESS_DENIED\")");
        if (auto name = error->value_exact<std::string>()) {
          auto value = Win32ErrorByName(*name);
          if (!value) Fail(*error, what + ": unknown error name \"" + *name + "\" (write its number instead)");
          fault.error = *value;
        } else {
          auto number = error->value_exact<std::int64_t>();
          if (!number || *number <= 0 || *number > 0xFFFFFFFFll) Fail(*error, what + ": error must be a name or a number from 1 to 4294967295");
          fault.error = static_cast<std::uint32_t>(*number);
        }
      } else {
        fault.point = String(*point, "fault: point");
        what = "fault at " + fault.point;
        if (!IsFaultPoint(fault.point)) Fail(*point, "fault: unknown point \"" + fault.point + "\" (" + FaultPointNames() + ")");
        if (const toml::node* error = table.get("error")) Fail(*error, what + ": a point fails as the call it stands in does; error is for calls");
      }
      for (auto [key, field] : {std::pair{"count", &fault.count}, std::pair{"skip", &fault.skip}}) {
        const toml::node* n = table.get(key);
        if (!n) continue;
        auto number = n->value_exact<std::int64_t>();
        if (!number || *number < 0 || *number > 0xFFFFFFFFll) Fail(*n, what + ": " + key + " must be a whole number, 0 or more");
        *field = static_cast<std::uint32_t>(*number);
      }
      if (const toml::node* n = table.get("thread")) fault.thread = String(*n, what + ": thread");
      for (const FaultSpec& earlier : faults) {
        if (earlier.call == fault.call && earlier.point == fault.point) Fail(item, what + " is armed twice");
      }
      faults.push_back(std::move(fault));
    }
    return faults;
  }

  std::string ChooseLocal(const toml::table& root, const WorldModel& world) {
    std::vector<std::string> marked;
    for (const auto& [name, machine] : world.machines) {
      if (machine.local) marked.push_back(name);
    }
    if (const toml::node* n = root.get("local")) {
      std::string local = String(*n, "local");
      auto found = world.machines.find(local);
      if (found == world.machines.end()) Fail(*n, "local names \"" + local + "\", which is no machine of the world");
      if (!marked.empty() && !velplat::EqualsNoCase(marked.front(), local)) {
        Fail(*n, "local names \"" + local + "\" but machine \"" + marked.front() + "\" is marked local");
      }
      return found->first;
    }
    if (marked.size() > 1) Fail(root, "machines \"" + marked[0] + "\" and \"" + marked[1] + "\" are both marked local");
    if (marked.size() == 1) return marked.front();
    if (world.machines.size() == 1) return world.machines.begin()->first;
    Fail(root, "no machine is marked local (write local = true in one [machine.NAME] table)");
  }

  std::string name_;
  std::string baseDir_;
  std::vector<std::string>* sources_ = nullptr;
};

ParsedWorld Parse(std::string_view text, const std::string& name, const std::string& baseDir) {
  ParsedWorld parsed;
  try {
    toml::table root = toml::parse(text, name);
    Reader reader(name, baseDir);
    parsed.world = reader.Read(root, parsed.sources);
  } catch (const toml::parse_error& e) {
    parsed.error = name + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
  } catch (const WorldError& e) {
    parsed.error = e.message;
  }
  return parsed;
}

}  // namespace

ParsedWorld ParseWorldFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ParsedWorld failed;
    failed.error = path + ": cannot be read";
    failed.sources.push_back(path);
    return failed;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string baseDir = std::filesystem::path(path).parent_path().string();
  ParsedWorld parsed = Parse(text, path, baseDir.empty() ? "." : baseDir);
  parsed.sources.insert(parsed.sources.begin(), path);
  return parsed;
}

ParsedWorld ParseWorldText(std::string_view text, const std::string& name, const std::string& baseDir) {
  return Parse(text, name, baseDir);
}

bool ServeAsLocal(WorldModel& world, const std::string& name, std::string& error) {
  auto found = world.machines.find(name);
  if (found == world.machines.end()) {
    error = "--local names \"" + name + "\", which is no machine of the world";
    return false;
  }
  world.local = found->first;
  for (auto& [machineName, machine] : world.machines) machine.local = &machine == &found->second;
  return true;
}

}  // namespace velmond

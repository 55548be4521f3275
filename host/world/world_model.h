// What a world file describes, as plain data: the machines (one of them
// local) with their environment, registry, files, services, accounts and
// network behaviour, the resolver's extra host names, the MSCS clusters
// among the machines and the armed faults. Loading fills it
// (host/world/world_parse.h); applying compares two of them and changes the
// platform layer by the difference (host/world/world_apply.h).
//
// Names of machines, keys, values, services and accounts compare without
// regard to case, as Windows compares them.
//
// Thread-safety: plain values.
#ifndef VELMOND_WORLD_MODEL_H
#define VELMOND_WORLD_MODEL_H

#include <velplat/world.h>

#include "host/world/world_cluster_model.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velmond {

template <class T>
using NoCaseMap = std::map<std::string, T, velplat::NoCaseLess>;

struct RegValue {
  std::string name;  // "" is the key's default value
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  bool operator==(const RegValue&) const = default;
};

struct RegKey {
  std::string path;              // "HKEY_LOCAL_MACHINE\SOFTWARE\..." as written
  std::vector<RegValue> values;  // in the order written
  bool operator==(const RegKey&) const = default;
};

struct FileSpec {
  std::string path;
  bool executable = false;
  std::string text;            // a text file's bytes
  std::string fileVersion;     // an executable's version texts
  std::string productVersion;
  bool operator==(const FileSpec&) const = default;
};

struct ServiceSpec {
  std::string name;
  std::string displayName;
  std::string imagePath;
  std::uint32_t startType = 3;  // SERVICE_DEMAND_START
  std::uint32_t state = 1;      // SERVICE_STOPPED
  std::vector<std::string> dependencies;
  std::uint32_t startMs = 0;
  std::uint32_t stopMs = 0;
  bool operator==(const ServiceSpec&) const = default;
};

struct AccountSpec {
  std::string name;
  std::string password;
  std::string comment;
  bool disabled = false;
  std::vector<std::string> groups;
  bool operator==(const AccountSpec&) const = default;
};

enum class ProcessIdentity { Refused, User, Administrator };

struct NetworkSpec {
  std::vector<std::string> addresses;  // what the resolver answers for the machine's name
  bool reachable = true;
  std::uint32_t connectMs = 0;
  ProcessIdentity processIdentity = ProcessIdentity::Refused;
  bool operator==(const NetworkSpec&) const = default;
};

struct MachineSpec {
  std::string name;
  bool local = false;
  NoCaseMap<std::string> environment;
  NoCaseMap<RegKey> registry;  // by key path; parents sort before children
  NoCaseMap<FileSpec> files;
  NoCaseMap<ServiceSpec> services;
  NoCaseMap<AccountSpec> accounts;
  NetworkSpec network;
  bool operator==(const MachineSpec&) const = default;
};

// One armed failure: a Win32 call by name, or a failure point of the
// platform (host/world/world_faults.h names them).
struct FaultSpec {
  std::string call;   // "RegNotifyChangeKeyValue", or empty for a point
  std::string point;  // "allocation", ..., or empty for a call
  std::uint32_t error = 0;  // what the call fails with
  std::uint32_t count = 1;  // calls that fail
  std::uint32_t skip = 0;   // calls let through first
  std::string thread;       // only calls on threads of this name; empty: any
  bool operator==(const FaultSpec&) const = default;
};

struct WorldModel {
  std::string local;  // name of the local machine
  NoCaseMap<MachineSpec> machines;
  NoCaseMap<std::vector<std::string>> hosts;  // resolver names -> addresses
  std::vector<FaultSpec> faults;              // in the order written
  NoCaseMap<ClusterSpec> clusters;            // MSCS clusters by name
  bool operator==(const WorldModel&) const = default;
};

}  // namespace velmond

#endif

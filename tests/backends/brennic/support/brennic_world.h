// Builds Brennic Clusters worlds for tests: the product key, the failover
// database with its nodes (comments and resolver addresses), the failover
// manager's service and parameters, on the local machine.
#ifndef VELMON_TESTS_BACKENDS_BRENNIC_BRENNIC_WORLD_H
#define VELMON_TESTS_BACKENDS_BRENNIC_BRENNIC_WORLD_H

#include <windows.h>

#include <optional>
#include <string>

namespace velmon::test {

inline constexpr char kProductPath[] = "HKLM\\SOFTWARE\\Brennicorp\\Brennic Clusters for Windows NT";
inline constexpr char kDatabasePath[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database";
inline constexpr char kNodesPath[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database\\Nodes";
inline constexpr char kParametersPath[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Kestavar\\Parameters";
inline constexpr char kComputerNamePath[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";

struct BrennicNode {
  std::string name;
  std::optional<std::string> comment;  // none: a Global key without "Comment"
  std::string address;                 // dotted; empty: the resolver does not know the name
};

// The node's resolver entry, then its subkey with its Global key (one
// registry edit).
void AddNode(const BrennicNode& node);
void DeleteNode(const std::string& name);

// The failover manager's service, in `state` (SERVICE_*).
void DefineManagerService(DWORD state);

}  // namespace velmon::test

#endif

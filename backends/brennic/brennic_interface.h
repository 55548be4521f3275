// What the agent expects of Brennic Clusters for Windows NT: its registry
// layout (product key, failover database, failover manager parameters) and
// its failover manager service. The agent only reads them; every key lies
// under HKEY_LOCAL_MACHINE and is opened with KEY_READ.
#ifndef VELMON_BACKENDS_BRENNIC_BRENNIC_INTERFACE_H
#define VELMON_BACKENDS_BRENNIC_BRENNIC_INTERFACE_H

#include <windows.h>

namespace velmon::brennic {

// The product key; its subkeys are named by version.
inline constexpr char kProductKey[] = "SOFTWARE\\Brennicorp\\Brennic Clusters for Windows NT";
// A version subkey of this name stands for the release below.
inline constexpr char kCurrentVersionSubkey[] = "CurrentVersion";
inline constexpr char kCurrentVersionText[] = "1.1 SP3";

// The failover database, whose whole subtree the main trap thread watches,
// and its list of nodes: one subkey per node, named by the node's host name,
// each with a "Global" subkey that may hold a "Comment" string.
inline constexpr char kDatabaseKey[] = "SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database";
inline constexpr char kNodesKey[] = "SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database\\Nodes";
inline constexpr char kNodeGlobalSubkey[] = "Global";
inline constexpr char kCommentValue[] = "Comment";

// The failover manager: its service and its parameters.
inline constexpr char kManagerService[] = "Kestavar";
inline constexpr char kParametersKey[] = "SYSTEM\\CurrentControlSet\\Services\\Kestavar\\Parameters";
inline constexpr char kClusterNameValue[] = "ClusterName";

// Where the local computer's name is read, to find it among the nodes.
inline constexpr char kComputerNameKey[] = "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
inline constexpr char kComputerNameValue[] = "ComputerName";

inline constexpr char kVendorText[] = "Brennicorp";
inline constexpr INT kSoftwareType = 3;

// Service status answers: no failover database; software present but its
// manager stopped or not to be asked; manager in any other state.
inline constexpr INT kStatusNoDatabase = 3;
inline constexpr INT kStatusManagerDown = 4;
inline constexpr INT kStatusManagerUp = 6;

}  // namespace velmon::brennic

#endif

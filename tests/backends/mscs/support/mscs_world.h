// Builds MSCS worlds for tests: a described cluster installed on its member
// machines with the local machine one of them, the member table and watch
// tables read back in compact forms, and a real-time wait for conditions
// that other threads bring about.
#ifndef VELMON_TESTS_BACKENDS_MSCS_MSCS_WORLD_H
#define VELMON_TESTS_BACKENDS_MSCS_MSCS_WORLD_H

#include <windows.h>
#include <velplat/cluster.h>

#include <functional>
#include <string>
#include <vector>

namespace velmon::test {

inline constexpr char kClusterName[] = "ALPHA";

// Three nodes NODE1..NODE3 (identifiers 1..3) with interfaces 10.0.0.1..3 on
// the network "Public" (mask 255.255.255.0); the group "Cluster Group" with
// the resources "Cluster IP Address" (10.0.0.100, mask 255.255.255.0) and
// "Cluster Name"; version 1.0 build 224 of vendor "Microsoft Cluster Server".
velplat::cluster::ClusterSpec ThreeNodeCluster();

// Installs the cluster and makes the node `local` (default: the first) the
// local machine.
void InstallCluster(const velplat::cluster::ClusterSpec& shape, const std::string& local = "");

// An IP address resource with these parameters (either may be empty: left out).
velplat::cluster::ResourceSpec AddressResource(const std::string& name, const std::string& address,
                                               const std::string& mask);

// "number:nodeId:name:a.b.c.d" for member records 0 .. count-1.
std::vector<std::string> Members(int count);
// "index:name" of the node table and "index:name:a.b.c.d" of the address
// table, in table order.
std::vector<std::string> NodeRows();
std::vector<std::string> AddressRows();
std::string Dotted(DWORD address);  // network byte order

// Waits (real time) until `done` holds; false on timeout.
bool Eventually(const std::function<bool()>& done, int milliseconds = 10000);

}  // namespace velmon::test

#endif

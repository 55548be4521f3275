// The cluster section of a world file ([cluster.NAME] tables, see
// docs/world-file.md "What an MSCS member needs") into WorldModel::clusters.
// Read after the machines, since nodes name machines of the world. Checks
// what would make the cluster contradict itself: a node that names no
// machine or sits in two clusters, a node identifier used twice, a resource
// without a type, a reference to a group, node or network the cluster lacks,
// two objects of one kind with the same name or key.
//
// Thread-safety: no shared state; any thread.
#ifndef VELMOND_WORLD_CLUSTER_PARSE_H
#define VELMOND_WORLD_CLUSTER_PARSE_H

#include <toml++/toml.h>

#include <string>

#include "host/world/world_model.h"

namespace velmond {

// Fills `world.clusters` from the value of the top-level key "cluster".
// False with "FILE:LINE: what" in `error` at the first problem.
bool ReadClusters(const toml::node& section, const std::string& fileName, WorldModel& world, std::string& error);

}  // namespace velmond

#endif

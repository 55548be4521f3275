// Applying a world to the platform layer: the difference between the world
// in force and the next one becomes ordinary platform edits (registry writes
// that notify watchers, service definitions and state changes, accounts,
// files, resolver entries, cluster changes through
// host/world/world_cluster_apply.h), so that the agent sees a change exactly
// as it would see it on a real machine. Applying to no previous world builds the
// whole world.
//
// Resolver entries, files, accounts and services are applied before the
// registry, so that an agent woken by a registry change finds the rest of the
// new world in place; faults are armed last. After an edit the platform holds
// what a fresh load of the edited world would build: what the world no longer
// names goes (values back to their standard content, keys with the parents
// only they implied, machines out of the world), and faults are armed again
// only when they changed.
//
// Thread-safety: one applier at a time; the platform calls themselves may run
// beside the agent's threads.
#ifndef VELMOND_WORLD_APPLY_H
#define VELMOND_WORLD_APPLY_H

#include <string>
#include <vector>

#include "host/world/world_model.h"

namespace velmond {

struct ApplyReport {
  int changes = 0;                    // platform edits made
  std::vector<std::string> problems;  // edits the platform refused
};

// Names the local machine before the platform's world is first used, so
// that the world holds no machine the file does not name, and makes it the
// local machine.
void PrepareLocalMachine(const WorldModel& world);

ApplyReport ApplyWorld(const WorldModel* previous, const WorldModel& next);

}  // namespace velmond

#endif

// Builds the world a rehearsal runs in: the local machine's services,
// accounts, versioned files and the product's setup log, from the tool's
// options (options.h).
// Thread-safety: call before any rehearsal thread runs; resets the world.
#ifndef VELSETUP_TOOL_WORLD_SETUP_H
#define VELSETUP_TOOL_WORLD_SETUP_H

#include "setup/tool/options.h"

#include <string>
#include <vector>

namespace velsetup::tool {

// SNMP running with two running dependents, each passing through its
// pending states for a second or more.
std::vector<ServiceSpec> DefaultServices();

// Resets the world and fills the local machine.
void BuildWorld(const Options& options);

// Where the product's setup log lies on the local machine.
std::string SetupLogPath();

}  // namespace velsetup::tool

#endif

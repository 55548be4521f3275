// A rehearsal: runs installer actions of _velsetup, in order, against a world
// built from the tool's options, on the virtual clock, and prints what an
// operator would have seen and what the machine would have done: windows,
// status texts and message boxes, service control requests, each action's
// result, the services' final states and the setup log.
// Thread-safety: one rehearsal at a time; it resets the world and switches
// the platform clock to virtual time while it runs.
#ifndef VELSETUP_TOOL_REHEARSAL_H
#define VELSETUP_TOOL_REHEARSAL_H

#include "setup/tool/exports_table.h"
#include "setup/tool/options.h"

#include <ostream>

namespace velsetup::tool {

// 0 when every action other than IsServicePresent returned 0, else 1.
int Rehearse(const Options& options, const ExportsTable& exports, std::ostream& out);

}  // namespace velsetup::tool

#endif

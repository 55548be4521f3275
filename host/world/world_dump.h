// A dump of the world the platform holds now, as text: per machine its
// environment, registry, services, accounts, groups, files and network
// settings, then the armed faults. Two worlds are the same for the agent
// when their dumps are equal; the test that holds a live edit equal to a
// fresh load compares them.
//
// Left out: what the agent writes itself (its event sources below
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog\<log>, the event log),
// account identifiers (a fresh load numbers accounts anew), and transitions
// still pending (a service in START_PENDING is dumped as running, and so on).
//
// A module of the world adds itself as one more DumpSection in
// world_dump.cpp.
//
// Thread-safety: any thread; a dump taken while the world changes may mix
// the two.
#ifndef VELMOND_WORLD_DUMP_H
#define VELMOND_WORLD_DUMP_H

#include <string>

namespace velmond {

std::string DumpWorld();

}  // namespace velmond

#endif

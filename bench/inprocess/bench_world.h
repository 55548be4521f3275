// The simulated cluster world of one benchmark process, for the back-end the
// program is built for (one world builder is linked into each program).
//
// Contract: BuildWorld runs once, before SnmpExtensionInit; AwaitCompleteMib
// runs after it and returns as soon as the agent's node and node-address
// tables hold a row for every member, doing whatever the back-end needs from
// outside to get there (for Brennic Clusters: one database change once the
// agent follows the database). Row numbers are 1..members.
// Thread-safety: main thread only; the agent's own threads run meanwhile.
#ifndef VELMON_BENCH_INPROCESS_BENCH_WORLD_H
#define VELMON_BENCH_INPROCESS_BENCH_WORLD_H

#include <chrono>

namespace velmon::bench {

// "oracle", "mscs" or "brennic".
const char* BackendName();
// False, building nothing, for a member count whose rows the back-end
// cannot all show.
bool BuildWorld(int members);
// False when the MIB is still incomplete after `timeout`.
bool AwaitCompleteMib(int members, std::chrono::milliseconds timeout);

}  // namespace velmon::bench

#endif

// The SnmpExtensionQuery benchmarks, registered for a world whose node table
// holds rows 1..rows:
//   GetScalar        Get of the cluster name (1.2.7.0)
//   GetCell          Get of a node name in the middle row (1.2.11.1.2.<mid>)
//   GetNodeState     Get of that node's state (1.2.11.1.4.<mid>), which the
//                    back-end answers live
//   GetNextInColumn  GetNext from the middle row of the node name column
//   WalkView         a complete walk of the view (see view_walk.h)
// Each reports the counters "varbinds" (per iteration) and
// "time_per_varbind" (seconds), on the calling thread's CPU time: the agent
// answers on the caller's thread, and CPU time stays comparable on a shared
// machine (the output holds real time as well). A benchmark whose first answer
// is not the expected one is skipped with an error instead of timed.
//
// Thread-safety: register from the main thread, before running benchmarks.
#ifndef VELMON_BENCH_INPROCESS_QUERY_BENCHMARKS_H
#define VELMON_BENCH_INPROCESS_QUERY_BENCHMARKS_H

namespace velmon::bench {

void RegisterQueryBenchmarks(int rows);

}  // namespace velmon::bench

#endif

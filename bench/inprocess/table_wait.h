// Waiting for the watch tables behind the MIB's node and node-address tables
// to reach a given number of rows.
//
// Contract: polls (every 100 microseconds, so that a start-up time measured
// around it is accurate to about that) until both tables hold at least `rows`
// entries or the deadline passes.
// Thread-safety: any thread; each poll takes the watch-table lock briefly.
#ifndef VELMON_BENCH_INPROCESS_TABLE_WAIT_H
#define VELMON_BENCH_INPROCESS_TABLE_WAIT_H

#include <chrono>
#include <cstddef>

namespace velmon::bench {

bool WaitForTableRows(std::size_t rows, std::chrono::steady_clock::time_point deadline);

}  // namespace velmon::bench

#endif

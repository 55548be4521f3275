// A complete walk of the agent's view through SnmpExtensionQuery, as the SNMP
// service makes it: one single-binding GetNext after another, each starting
// from the name the previous answer carried, from the view's root until an
// answer fails or leaves the view.
//
// Contract: the count is of answers inside the view; `ended` tells whether
// the walk left the view (rather than stopping at `limit`).
// Thread-safety: as SnmpExtensionQuery (any thread).
#ifndef VELMON_BENCH_INPROCESS_VIEW_WALK_H
#define VELMON_BENCH_INPROCESS_VIEW_WALK_H

#include <cstddef>

namespace velmon::bench {

struct WalkResult {
  std::size_t varbinds = 0;
  bool ended = false;
};

WalkResult WalkView(std::size_t limit = 1000000);

}  // namespace velmon::bench

#endif

// A small world the soak edits while velmond serves it, and what the agent
// must show for it: each kind of cluster replays the agent's own rules for
// its node table, so the expected rows follow from the edits alone.
//
// Thread-safety: one editing thread per world; no shared state.
#ifndef VELMOND_TESTS_SOAK_EDITED_WORLD_H
#define VELMOND_TESTS_SOAK_EDITED_WORLD_H

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "host/support/ber.h"

namespace velmond::soak {

class EditedWorld {
 public:
  virtual ~EditedWorld() = default;

  // "oracle", "mscs", "brennic": names the world in messages and figures.
  virtual std::string Kind() const = 0;
  // The world file for the state in force.
  virtual std::string WorldText() const = 0;
  // One random edit; returns what it did, for the log.
  virtual std::string Edit(std::mt19937& random) = 0;
  // Why `walk` does not show what the agent's rules give; empty when it does.
  // A walk that passes may be remembered (rows that must keep their numbers).
  virtual std::string Check(const std::vector<testing::ber::Binding>& walk) = 0;
  // Watch entries alive now, and created since the start: one watcher
  // thread each, which ends within its poll of the entry's removal.
  virtual std::int64_t LiveEntries() const = 0;
  virtual std::int64_t CreatedEntries() const = 0;

  // An agent that reads its world only after a notification, and asks for
  // the next notification only when it has read, misses a change made while
  // it reads; it shows that change at the next one. Nudge makes such a next
  // change, one the agent shows nothing of, and says what it did; empty for
  // a kind whose agent misses nothing.
  virtual std::string Nudge() { return {}; }
};

// Row number -> name of the node table's name column in `walk`.
std::map<std::int64_t, std::string> ShownNodeNames(const std::vector<testing::ber::Binding>& walk);

// "node names shown: 1=a 2=b; the agent's rules give: ..." for two tables.
std::string DescribeNodeNames(const std::map<std::int64_t, std::string>& shown,
                              const std::map<std::int64_t, std::string>& expected);

}  // namespace velmond::soak

#endif

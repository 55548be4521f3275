// A small Oracle RAC world that the soak edits while velmond runs, and what
// the agent must show for it. The agent never removes a row: each change of
// the public node names appends entries for the first changed member and
// every member record after it (records past a shortened list keep their
// old names), numbered after every entry so far. The model replays exactly
// those rules, so the expected node table follows from the edits alone, and
// it counts the entries (one watcher thread each) that bound the daemon's
// threads.
//
// Thread-safety: one editing thread; no shared state.
#ifndef VELMOND_TESTS_SOAK_ORACLE_MEMBERSHIP_H
#define VELMOND_TESTS_SOAK_ORACLE_MEMBERSHIP_H

#include "host/soak/edited_world.h"

namespace velmond::soak {

class OracleMembership : public EditedWorld {
 public:
  struct Member {
    std::string name;
    bool running = true;
  };

  // racnode1 (local, running) and racnode2 (stopped), as the example world.
  OracleMembership();

  std::string Kind() const override { return "oracle"; }
  // The world file for the members in force.
  std::string WorldText() const override;

  // One random edit: a non-local member renamed, a member added at the end,
  // a non-local member removed, or a member's cluster manager started or
  // stopped. Returns what it did, for the log. Since every change of the
  // names adds rows for good, the names stop changing once the table holds
  // 200 entries; the cluster managers go on starting and stopping.
  std::string Edit(std::mt19937& random) override;
  // The node table's names and states, and the addresses of the members.
  std::string Check(const std::vector<testing::ber::Binding>& walk) override;

  // Row number -> node name the node table must show, and the state the
  // state column must show for that row (4 running, 8 stopped, 1 for a name
  // no machine of the world answers for).
  std::map<std::int64_t, std::string> VisibleNames() const;
  std::int64_t ExpectedState(const std::string& name) const;

  // Node, address and cluster address entries created so far: the agent
  // never removes one.
  std::int64_t LiveEntries() const override { return static_cast<std::int64_t>(2 * nodeEntries_.size()) + 1; }
  std::int64_t CreatedEntries() const override { return LiveEntries(); }
  const std::vector<Member>& Members() const { return members_; }

 private:
  void PublicNamesChanged();
  std::string NewName();

  std::vector<Member> members_;
  int lastNumber_ = 2;
  // The agent's member records: public names by position; a shorter list
  // leaves the records after it as they were.
  std::vector<std::string> records_;
  // Node entries in the order they were added: row number and name.
  std::vector<std::pair<std::int64_t, std::string>> nodeEntries_;
  std::int64_t savedNextIndex_ = 1;
};

}  // namespace velmond::soak

#endif

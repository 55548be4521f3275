// The membership rules of the MSCS and Brennic agents, whose node table
// follows the cluster's members exactly: a member that joins gets a row
// numbered after every row so far, a member that leaves loses its row, and
// every other member keeps its row. The soak's edits rename, add and remove
// non-local members and change a member's state (which changes no row); a
// kind says how its world is written.
//
// Thread-safety: one editing thread; no shared state.
#ifndef VELMOND_TESTS_SOAK_NODE_SET_MEMBERSHIP_H
#define VELMOND_TESTS_SOAK_NODE_SET_MEMBERSHIP_H

#include "host/soak/edited_world.h"

namespace velmond::soak {

class NodeSetMembership : public EditedWorld {
 public:
  std::string Edit(std::mt19937& random) override;
  std::string Check(const std::vector<testing::ber::Binding>& walk) override;
  // A node and an address entry per member shown, and the cluster address.
  std::int64_t LiveEntries() const override;
  std::int64_t CreatedEntries() const override { return created_; }

 protected:
  struct Member {
    std::string name;
    int number;              // 101 .. 180: names and addresses are built from it
    bool changed = false;    // the state an edit toggles (paused, commented)
  };

  // `prefix` + number names a member; the first member is the local machine.
  // `shownAtStart`: false when the agent shows no node until the first edit.
  NodeSetMembership(std::string prefix, int members, bool shownAtStart);
  const std::vector<Member>& Members() const { return members_; }

 private:
  std::string NewName(int& number);

  std::string prefix_;
  std::vector<Member> members_;
  int lastNumber_;
  bool shown_;
  std::map<std::string, std::int64_t> rows_;  // rows of the last walk that passed
  std::int64_t highestRow_ = 0;
  std::int64_t created_;
};

// Three MSCS nodes in one cluster (mscsnode101 local, 102, 103), as the MSCS
// example world, edited through the cluster's own changes.
class MscsMembership : public NodeSetMembership {
 public:
  MscsMembership() : NodeSetMembership("mscsnode", 3, true) {}
  std::string Kind() const override { return "mscs"; }
  std::string WorldText() const override;
};

// A Brennic host whose failover database lists three nodes (brennode101
// local, 102, 103), as the Brennic example world; its agent shows the nodes
// only after the first change under the database key.
class BrennicMembership : public NodeSetMembership {
 public:
  BrennicMembership() : NodeSetMembership("brennode", 3, false) {}
  std::string Kind() const override { return "brennic"; }
  std::string WorldText() const override;
  // The main trap thread re-arms its wait on the database key only after
  // reading the Nodes: a rename deletes one subkey and creates another, and
  // the creation may fall between. A new Generation value is the next change.
  std::string Nudge() override;

 private:
  int generation_ = 1;
};

}  // namespace velmond::soak

#endif

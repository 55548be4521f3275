// The MSCS and Brennic example worlds under velmond: their complete walks
// against the expected output (v2c, v1 and a bulk walk), and live edits of
// their clusters reaching the agent as the cluster's own changes: an MSCS
// node added and removed through the cluster's notifications (which a
// cluster installed afresh would have ended), a Brennic node subkey added
// and deleted under the failover database.
#include <gtest/gtest.h>

#include "host/support/daemon.h"

namespace velmond::testing {
namespace {

const std::string kEnterprise = ".1.3.6.1.4.1.32473";

std::string Expected(const std::string& name) { return ReadText(std::string(VELMOND_EXPECTED_DIR) + "/" + name); }

// The MSCS example arms the failure that sends the agent from its Oracle
// wait on to MSCS, with the world's [[faults]] section.
#define SKIP_WITHOUT_WORLD_FAULTS(daemon)                                                          \
  if (!(daemon).Started() && (daemon).Log().find("unknown key \"faults\"") != std::string::npos) \
  GTEST_SKIP() << "needs the [[faults]] section of world files"

class ClusterWorld : public ::testing::Test {
 protected:
  // Starts velmond on a copy of the example, which the test may edit.
  std::unique_ptr<Daemon> Start(const std::string& example) {
    text_ = ReadText(ExampleWorld(example));
    world_ = dir_.File("world.toml");
    WriteText(world_, text_);
    return std::make_unique<Daemon>(dir_, std::vector<std::string>{"--world", world_});
  }
  std::string Walk(const Daemon& daemon, const std::vector<std::string>& args = {"-v2c", "-c", "public", "-On"}) {
    return daemon.Snmp("snmpwalk", args, {kEnterprise}).out;
  }
  // Walks until the walk is `expected` (the agent's threads fill the tables
  // on their own); the last walk.
  std::string WalkUntil(const Daemon& daemon, const std::string& expected) {
    std::string last;
    WaitUntil([&] { return (last = Walk(daemon)) == expected; }, std::chrono::seconds(10));
    return last;
  }
  // The column's values, one a line; a column at the end of the view ends
  // without net-snmp's end-of-view line.
  std::string Column(const Daemon& daemon, const std::string& column) {
    std::string values = daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On", "-Oqv"}, {kView + column}).out;
    const std::string end = "No more variables left in this MIB View (It is past the end of the MIB tree)\n";
    if (values.size() >= end.size() && values.compare(values.size() - end.size(), end.size(), end) == 0)
      values.resize(values.size() - end.size());
    return values;
  }
  bool ColumnBecomes(const Daemon& daemon, const std::string& column, const std::string& values) {
    return WaitUntil([&] { return Column(daemon, column) == values; }, std::chrono::seconds(10));
  }
  void Edit(const Daemon& daemon, const std::string& text) {
    ++edits_;
    WriteText(world_, text);
    ASSERT_TRUE(WaitUntil(
        [&] {
          std::string log = daemon.Log();
          std::size_t seen = 0;
          for (std::size_t at = log.find(" changed: "); at != std::string::npos; at = log.find(" changed: ", at + 1)) ++seen;
          return seen >= edits_;
        },
        std::chrono::seconds(5)))
        << daemon.Log();
  }
  void ExpectAllWalks(const Daemon& daemon, const std::string& base) {
    std::string v2c = Expected(base + ".v2c.txt");
    EXPECT_EQ(WalkUntil(daemon, v2c), v2c);
    EXPECT_EQ(Walk(daemon, {"-v1", "-c", "public", "-On"}), Expected(base + ".v1.txt"));
    EXPECT_EQ(daemon.Snmp("snmpbulkwalk", {"-v2c", "-c", "public", "-On", "-Cr7"}, {kEnterprise}).out, v2c);
  }
  void ExpectCleanStop(Daemon& daemon) {
    EXPECT_EQ(daemon.Stop(), 0);
    EXPECT_FALSE(HasSanitizerReport(daemon.Log())) << daemon.Log();
  }

  TempDir dir_;
  std::string world_;
  std::string text_;
  std::size_t edits_ = 0;
};

const std::string kNodeNames = ".1.2.11.1.2";
const std::string kNodeAddresses = ".1.2.12.1.2";

TEST_F(ClusterWorld, MscsExampleAnswersItsWholeClusterAndFollowsANodeAddedThenRemoved) {
  auto daemon = Start("mscs-3.toml");
  SKIP_WITHOUT_WORLD_FAULTS(*daemon);
  ASSERT_TRUE(daemon->Started()) << daemon->Log();
  ExpectAllWalks(*daemon, "mscs-3");
  // The agent went on to MSCS because the Oracle wait failed, and said so.
  EXPECT_NE(daemon->Log().find("error in Reg notify"), std::string::npos) << daemon->Log();

  // A fourth node joins, with a machine of its own and a public interface.
  std::string joined = text_ +
                       "\n[machine.mscsnode4]\naddresses = [\"192.0.2.44\"]\n"
                       "\n[[cluster.VELCLUS.nodes]]\nname = \"mscsnode4\"\nid = \"4\"\n"
                       "\n[[cluster.VELCLUS.interfaces]]\nnode = \"mscsnode4\"\nnetwork = \"Public\"\naddress = "
                       "\"192.0.2.44\"\n";
  Edit(*daemon, joined);
  EXPECT_TRUE(ColumnBecomes(*daemon, kNodeNames, "\"mscsnode1\"\n\"mscsnode2\"\n\"mscsnode3\"\n\"mscsnode4\"\n"))
      << Column(*daemon, kNodeNames) << daemon->Log();
  // A node that joined after discovery has no member record: its address row
  // takes the end-of-table record's address, as the agent does.
  EXPECT_EQ(Column(*daemon, kNodeAddresses), "192.0.2.41\n192.0.2.42\n192.0.2.43\n0.0.0.0\n");

  // Evicted again: its rows go.
  Edit(*daemon, text_);
  EXPECT_TRUE(ColumnBecomes(*daemon, kNodeNames, "\"mscsnode1\"\n\"mscsnode2\"\n\"mscsnode3\"\n"))
      << Column(*daemon, kNodeNames) << daemon->Log();
  EXPECT_EQ(Column(*daemon, kNodeAddresses), "192.0.2.41\n192.0.2.42\n192.0.2.43\n");
  ExpectCleanStop(*daemon);
}

TEST_F(ClusterWorld, BrennicExampleShowsItsNodesAfterTheFirstDatabaseChangeAndFollowsANodeSubkey) {
  auto daemon = Start("brennic-3.toml");
  ASSERT_TRUE(daemon->Started()) << daemon->Log();
  // Before any change under the database only the cluster address row is there.
  ASSERT_TRUE(ColumnBecomes(*daemon, ".1.2.8.1.2", "0.0.0.0\n")) << Walk(*daemon);
  EXPECT_EQ(Column(*daemon, kNodeNames), "");

  // The first change under the database: the node rows appear.
  std::string changed = Replace(text_, "Generation = 1", "Generation = 2");
  Edit(*daemon, changed);
  ExpectAllWalks(*daemon, "brennic-3");

  // A fourth node subkey (with a machine that answers for its name).
  const std::string nodes = "[machine.brennode1.registry.'HKLM\\SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database\\Nodes\\";
  std::string added = changed + "\n" + nodes + "brennode4']\n\n" + nodes +
                      "brennode4\\Global']\nComment = \"Joined later\"\n\n[machine.brennode4]\naddresses = [\"192.0.2.64\"]\n";
  Edit(*daemon, added);
  EXPECT_TRUE(ColumnBecomes(*daemon, kNodeNames, "\"brennode1\"\n\"brennode2\"\n\"brennode3\"\n\"brennode4\"\n"))
      << Column(*daemon, kNodeNames) << daemon->Log();
  // (Its description is the comment as it stood when the agent woke: the
  // world writes the subkey before its values, so it may still be empty.)
  EXPECT_EQ(Column(*daemon, kNodeAddresses), "192.0.2.61\n192.0.2.62\n192.0.2.63\n192.0.2.64\n");

  // Deleted again: the subkey goes and so do its rows.
  Edit(*daemon, changed);
  EXPECT_TRUE(ColumnBecomes(*daemon, kNodeNames, "\"brennode1\"\n\"brennode2\"\n\"brennode3\"\n"))
      << Column(*daemon, kNodeNames) << daemon->Log();
  EXPECT_EQ(Column(*daemon, kNodeAddresses), "192.0.2.61\n192.0.2.62\n192.0.2.63\n");
  ExpectCleanStop(*daemon);
}

}  // namespace
}  // namespace velmond::testing

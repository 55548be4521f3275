// Editing the world file under a running velmond: a rename reaches the next
// walk, a broken edit is reported and changes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/support/daemon.h"

namespace velmond::testing {
namespace {

TEST(LiveWorld, RenamedMemberIsSeenByTheNextWalk) {
  if (!VELMOND_ORACLE_TESTS) GTEST_SKIP() << "needs the Oracle RAC back-end";
  TempDir dir;
  std::string world = dir.File("world.toml");
  std::string text = ReadText(ExampleWorld("oracle-rac-2.toml"));
  WriteText(world, text);
  Daemon daemon(dir, {"--world", world});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  auto nodeNames = [&] { return daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On", "-Oqv"}, {kView + ".1.2.11.1.2"}).out; };
  ASSERT_TRUE(WaitUntil([&] { return nodeNames() == "\"racnode1\"\n\"racnode2\"\n"; }, std::chrono::seconds(10)))
      << nodeNames();

  // The member racnode2 is renamed racnode3 in the local member's node list,
  // and the world gains the machine that answers for the new name.
  std::string renamed = Replace(text, "PublicNodeNames = [\"racnode1\", \"racnode2\"]\nPrivateNodeNames = [\"racpriv1\", \"racpriv2\"]\nHostName = \"racnode1\"",
                                "PublicNodeNames = [\"racnode1\", \"racnode3\"]\nPrivateNodeNames = [\"racpriv1\", \"racpriv2\"]\nHostName = \"racnode1\"");
  renamed = Replace(renamed, "[machine.racnode2]\naddresses = [\"192.0.2.12\"]", "[machine.racnode3]\naddresses = [\"192.0.2.13\"]");
  for (const char* part : {"registry.'HKLM", "files]", "services.", "accounts."}) {
    renamed = Replace(renamed, std::string("[machine.racnode2.") + part, std::string("[machine.racnode3.") + part);
  }
  WriteText(world, renamed);
  ASSERT_TRUE(daemon.WaitForLog("changed:")) << daemon.Log();
  // The agent appends the renamed member to its tables; the old rows stay.
  EXPECT_TRUE(WaitUntil([&] { return nodeNames().find("\"racnode3\"") != std::string::npos; }, std::chrono::seconds(5)))
      << nodeNames() << daemon.Log();
  std::string addresses = daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On", "-Oqv"}, {kView + ".1.2.12.1.2"}).out;
  EXPECT_NE(addresses.find("192.0.2.13"), std::string::npos) << addresses;
  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_FALSE(HasSanitizerReport(daemon.Log())) << daemon.Log();
}

TEST(LiveWorld, BrokenEditIsReportedAndTheLastGoodWorldStays) {
  TempDir dir;
  std::string world = dir.File("world.toml");
  std::string text = ReadText(ExampleWorld("no-cluster.toml"));
  WriteText(world, text);
  Daemon daemon(dir, {"--world", world});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  auto walk = [&] { return daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On"}, {kView}).out; };
  std::string before = walk();
  ASSERT_NE(before.find("INTEGER: 2"), std::string::npos) << before;

  WriteText(world, text + "\n[machine.plainhost.services.Spooler]\nstate = \"running\"\n");  // defined twice
  ASSERT_TRUE(daemon.WaitForLog("world edit ignored")) << daemon.Log();
  std::string log = daemon.Log();
  EXPECT_NE(log.find(world + ":"), std::string::npos) << log;
  EXPECT_EQ(walk(), before);

  // A good edit afterwards is applied as usual.
  WriteText(world, Replace(text, "Racks = 2", "Racks = 3"));
  EXPECT_TRUE(daemon.WaitForLog("world file " + world + " changed: 1 change(s) applied")) << daemon.Log();
  EXPECT_EQ(daemon.Stop(), 0);
}

}  // namespace
}  // namespace velmond::testing

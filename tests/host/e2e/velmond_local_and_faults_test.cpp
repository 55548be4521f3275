// velmond --local serves another member of the world; world faults reach the
// agent's failure paths, on the thread they name, from start-up on.
#include <gtest/gtest.h>

#include "host/support/daemon.h"

namespace velmond::testing {
namespace {

std::string LocalNodeNumber(const Daemon& daemon) {
  return daemon.Snmp("snmpget", {"-v2c", "-c", "public", "-On", "-Oqv"}, {kView + ".1.2.6.0"}).out;
}

TEST(VelmondLocal, EachMemberOfOneWorldIsServedAsTheLocalOneAndAnUnknownNameIsRefused) {
  if (!VELMOND_ORACLE_TESTS) GTEST_SKIP() << "needs the Oracle RAC back-end";
  TempDir dir, other;  // a daemon's log is its directory's
  std::string world = ExampleWorld("oracle-rac-2.toml");
  Daemon first(dir, {"--world", world, "--local", "racnode1"});
  Daemon second(other, {"--world", world, "--local", "RACNODE2"});
  ASSERT_TRUE(first.Started() && second.Started()) << first.Log() << second.Log();
  EXPECT_TRUE(WaitUntil([&] { return LocalNodeNumber(first) == "1\n"; }, std::chrono::seconds(10))) << LocalNodeNumber(first);
  EXPECT_TRUE(WaitUntil([&] { return LocalNodeNumber(second) == "2\n"; }, std::chrono::seconds(10))) << LocalNodeNumber(second);
  EXPECT_EQ(first.Stop(), 0);
  EXPECT_EQ(second.Stop(), 0);

  ToolResult refused = RunTool({VelmondBinary(), "--world", world, "--local", "racnode9", "--listen", "udp:127.0.0.1:0"},
                               ToolEnvironment(dir), std::chrono::seconds(10));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find(world + ": --local names \"racnode9\", which is no machine of the world"), std::string::npos)
      << refused.err;
}

TEST(VelmondFaults, AFailedThreadStartEndsTheStartWithTheAgentsEvent) {
  TempDir dir;
  std::string world = dir.File("world.toml");
  WriteText(world, ReadText(ExampleWorld("no-cluster.toml")) + "\n[[faults]]\npoint = \"thread_start\"\n");
  ToolResult run = RunTool({VelmondBinary(), "--world", world, "--listen", "udp:127.0.0.1:0"}, ToolEnvironment(dir),
                           std::chrono::seconds(10));
  EXPECT_EQ(run.exitCode, 1);
  std::string said = run.out + run.err;
  EXPECT_NE(said.find("failed to initialize. Was unable to create the trap thread."), std::string::npos) << said;
}

TEST(VelmondFaults, AFaultLimitedToAThreadNameReachesOnlyThatAgentThread) {
  TempDir dir;
  std::string world = dir.File("world.toml");
  std::string fault = "\n[[faults]]\ncall = \"RegNotifyChangeKeyValue\"\nerror = \"ERROR_ACCESS_DENIED\"\nthread = \"";
  WriteText(world, ReadText(ExampleWorld("no-cluster.toml")) + fault + "NoSuchThread\"\n");
  {
    Daemon daemon(dir, {"--world", world});
    ASSERT_TRUE(daemon.Started()) << daemon.Log();
    EXPECT_FALSE(daemon.WaitForLog("error in Reg notify", std::chrono::milliseconds(500))) << daemon.Log();
    EXPECT_EQ(daemon.Stop(), 0);
  }
  WriteText(world, ReadText(ExampleWorld("no-cluster.toml")) + fault + "FindClusterVendor\"\n");
  Daemon daemon(dir, {"--world", world});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  EXPECT_TRUE(daemon.WaitForLog("error in Reg notify")) << daemon.Log();
  EXPECT_EQ(daemon.Stop(), 0);
}

}  // namespace
}  // namespace velmond::testing

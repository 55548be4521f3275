// velmond against the real net-snmp tools: walks of the example worlds
// against their expected output (values and exact MIB order, v1 and v2c),
// several objects in one Get, bulk walks, refused Sets, and the MIB module.
#include <gtest/gtest.h>

#include "host/support/daemon.h"

namespace velmond::testing {
namespace {

const std::string kEnterprise = ".1.3.6.1.4.1.32473";

std::string Expected(const std::string& name) { return ReadText(std::string(VELMOND_EXPECTED_DIR) + "/" + name); }

#define SKIP_WITHOUT_ORACLE_BACKEND()                                                                        \
  if (!VELMOND_ORACLE_TESTS) GTEST_SKIP() << "needs the Oracle RAC back-end (configure with "               \
                                             "-DVELMOND_ORACLE_TESTS=ON once it is in the tree)"

// The agent finds its cluster on its own discovery thread; walk until the
// answer is the expected one or the time is up, and return the last walk.
std::string WalkUntil(const Daemon& daemon, const std::vector<std::string>& args, const std::string& expected) {
  std::string last;
  WaitUntil(
      [&] {
        last = daemon.Snmp("snmpwalk", args, {kEnterprise}).out;
        return last == expected;
      },
      std::chrono::seconds(15));
  return last;
}

class Walks : public ::testing::Test {
 protected:
  void ExpectWalks(const std::string& world, const std::string& expectedBase) {
    Daemon daemon(dir_, {"--world", ExampleWorld(world)});
    ASSERT_TRUE(daemon.Started()) << daemon.Log();
    std::string v2c = Expected(expectedBase + ".v2c.txt");
    EXPECT_EQ(WalkUntil(daemon, {"-v2c", "-c", "public", "-On"}, v2c), v2c);
    EXPECT_EQ(daemon.Snmp("snmpwalk", {"-v1", "-c", "public", "-On"}, {kEnterprise}).out,
              Expected(expectedBase + ".v1.txt"));
    // A bulk walk, answered repetition by repetition in the handler, sees the same.
    std::string bulk = daemon.Snmp("snmpbulkwalk", {"-v2c", "-c", "public", "-On", "-Cr7"}, {kEnterprise}).out;
    EXPECT_EQ(bulk, v2c);
    EXPECT_EQ(daemon.Stop(), 0);
    EXPECT_FALSE(HasSanitizerReport(daemon.Log())) << daemon.Log();
  }
  TempDir dir_;
};

TEST_F(Walks, HostWithoutClusterSoftwareAnswersTheDefaults) { ExpectWalks("no-cluster.toml", "no-cluster"); }

TEST_F(Walks, TwoMemberRacDefaultWorldAnswersTheWholeCluster) {
  SKIP_WITHOUT_ORACLE_BACKEND();
  ExpectWalks("oracle-rac-2.toml", "oracle-rac-2");
}

TEST_F(Walks, RacOf256MembersAnswersEveryMember) {
  SKIP_WITHOUT_ORACLE_BACKEND();
  ExpectWalks("oracle-rac-256.toml", "oracle-rac-256");
}

TEST_F(Walks, BareDaemonRunsTheEmbeddedTwoMemberCluster) {
  SKIP_WITHOUT_ORACLE_BACKEND();
  Daemon daemon(dir_, {});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  std::string expected = Expected("oracle-rac-2.v2c.txt");
  EXPECT_EQ(WalkUntil(daemon, {"-v2c", "-c", "public", "-On"}, expected), expected);
  EXPECT_NE(daemon.Log().find("try: snmpwalk -v2c -c public " + daemon.Target()), std::string::npos) << daemon.Log();
  EXPECT_EQ(daemon.Stop(), 0);
}

TEST_F(Walks, OneGetOfSeveralObjectsAnswersAllButTheMissingOne) {
  Daemon daemon(dir_, {"--world", ExampleWorld("no-cluster.toml"), "--community", "velmon"});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  std::vector<std::string> objects{kView + ".1.1.1.0", kView + ".1.2.8.1.2.1", kView + ".1.2.4.0",
                                   kView + ".1.2.5.0"};
  ToolResult v2c = daemon.Snmp("snmpget", {"-v2c", "-c", "velmon", "-On"}, objects);
  EXPECT_EQ(v2c.out, kView + ".1.1.1.0 = INTEGER: 2\n" + kView +
                         ".1.2.8.1.2.1 = No Such Instance currently exists at this OID\n" + kView +
                         ".1.2.4.0 = INTEGER: 1\n" + kView + ".1.2.5.0 = OID: .1.3.6.1.4.1.32473.2.18.22.4.2\n");
  // v1 has no exceptions: the whole request fails at the missing binding.
  ToolResult v1 = daemon.Snmp("snmpget", {"-v1", "-c", "velmon", "-On"}, objects);
  EXPECT_NE(v1.err.find("noSuchName"), std::string::npos) << v1.err;
  EXPECT_NE(v1.err.find("Failed object: " + kView + ".1.2.8.1.2.1"), std::string::npos) << v1.err;
  // The community is the one given.
  EXPECT_NE(daemon.Snmp("snmpget", {"-v2c", "-c", "public", "-t", "0.3", "-r", "0"}, {kView + ".1.1.1.0"}).exitCode, 0);
  EXPECT_EQ(daemon.Stop(), 0);
}

TEST_F(Walks, SetsAreRefusedAndChangeNothing) {
  Daemon daemon(dir_, {"--world", ExampleWorld("no-cluster.toml"), "--write-community", "private"});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  std::string before = daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On"}, {kEnterprise}).out;
  // Read-only community: refused before the agent is asked.
  ToolResult readOnly = daemon.Snmp("snmpset", {"-v2c", "-c", "public"}, {kView + ".1.1.1.0", "i", "5"});
  EXPECT_NE(readOnly.err.find("noAccess"), std::string::npos) << readOnly.err;
  // Through the write community the agent refuses: an existing instance is
  // not writable, a missing one cannot be created, v1 says noSuchName.
  ToolResult existing = daemon.Snmp("snmpset", {"-v2c", "-c", "private"}, {kView + ".1.2.7.0", "s", "renamed"});
  EXPECT_NE(existing.err.find("notWritable"), std::string::npos) << existing.err;
  ToolResult missing = daemon.Snmp("snmpset", {"-v2c", "-c", "private"}, {kView + ".1.2.20.0", "i", "1"});
  EXPECT_NE(missing.err.find("noCreation"), std::string::npos) << missing.err;
  ToolResult v1 = daemon.Snmp("snmpset", {"-v1", "-c", "private"},
                              {kView + ".1.2.7.0", "s", "renamed", kView + ".1.1.1.0", "i", "5"});
  EXPECT_NE(v1.err.find("noSuchName"), std::string::npos) << v1.err;
  EXPECT_EQ(daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On"}, {kEnterprise}).out, before);
  EXPECT_EQ(daemon.Stop(), 0);
}

TEST(MibModule, LintsCleanAndNamesWhatTheDaemonAnswers) {
  TempDir dir;
  std::string mibs = SourceDir() + "/mibs";
  std::vector<std::string> env = ToolEnvironment(dir);
  env.push_back("SMIPATH=" + mibs);
  // smilint exits 0 even on errors: its output is the verdict.
  ToolResult lint = RunTool({"smilint", "-l", "3", mibs + "/VELMORA-RAC-MIB.txt"}, env);
  EXPECT_EQ(lint.out + lint.err, "");
  ToolResult broken = RunTool({"smilint", "-l", "3", mibs + "/VELMORA-RAC-MIB.txt"},
                              {"SMIPATH=" + dir.path()});
  EXPECT_NE(broken.out + broken.err, "") << "smilint must complain without the base modules";

  Daemon daemon(dir, {"--world", ExampleWorld("no-cluster.toml")});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  ToolResult walk = daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-M", mibs, "-m", "VELMORA-RAC-MIB"}, {kEnterprise});
  EXPECT_EQ(walk.err, "");
  EXPECT_EQ(walk.out, Expected("no-cluster.symbolic.txt"));
  EXPECT_EQ(daemon.Stop(), 0);
}

}  // namespace
}  // namespace velmond::testing

// velmond with other SNMP daemons: as an AgentX subagent of a private snmpd,
// and sending a test agent's queued trap to a private snmptrapd.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "host/support/daemon.h"

namespace velmond::testing {
namespace {

std::vector<std::string> Lines(const std::string& text, bool keepEnd) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end - start);
    bool marker = line.find("No more variables") != std::string::npos || line == "End of MIB";
    if (keepEnd || !marker) lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

TEST(OtherDaemons, ServesItsViewThroughAPrivateSnmpdOverAgentX) {
  TempDir dir;
  int port = FreeUdpPort();
  std::string socket = dir.File("agentx.sock");
  WriteText(dir.File("snmpd.conf"), "master agentx\nagentXSocket " + socket + "\nrocommunity public 127.0.0.1\n");
  Child snmpd({"snmpd", "-f", "-Lf", dir.File("snmpd.log"), "-C", "-c", dir.File("snmpd.conf"), "-I", "-smux",
               "udp:127.0.0.1:" + std::to_string(port)},
              ToolEnvironment(dir), dir.File("snmpd.out"));
  ASSERT_TRUE(WaitUntil([&] { return std::ifstream(socket).good() || access(socket.c_str(), F_OK) == 0; },
                        std::chrono::seconds(10)))
      << ReadText(dir.File("snmpd.log"));
  Daemon daemon(dir, {"--world", ExampleWorld("no-cluster.toml"), "--agentx", socket});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();

  std::string target = "127.0.0.1:" + std::to_string(port);
  std::vector<std::string> expected = Lines(ReadText(std::string(VELMOND_EXPECTED_DIR) + "/no-cluster.v2c.txt"), false);
  std::vector<std::string> seen;
  EXPECT_TRUE(WaitUntil(
      [&] {
        seen = Lines(RunTool({"snmpwalk", "-v2c", "-c", "public", "-On", target, kView}, ToolEnvironment(dir)).out, false);
        return seen == expected;
      },
      std::chrono::seconds(10)));
  EXPECT_EQ(seen, expected) << daemon.Log();
  // GetBulk reaches the handler through the master too, and answers the same.
  EXPECT_EQ(Lines(RunTool({"snmpbulkwalk", "-v2c", "-c", "public", "-On", "-Cr7", target, kView}, ToolEnvironment(dir)).out,
                  false),
            expected);
  // The system group stays the master's: velmond registers nothing beside its view.
  std::string descr = RunTool({"snmpget", "-v2c", "-c", "public", "-Oqv", target, ".1.3.6.1.2.1.1.1.0"}, ToolEnvironment(dir)).out;
  EXPECT_FALSE(descr.empty());
  EXPECT_EQ(descr.find("velmon cluster agent"), std::string::npos) << descr;
  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_FALSE(HasSanitizerReport(daemon.Log())) << daemon.Log();
  EXPECT_EQ(snmpd.Terminate(), 0);
}

class Traps : public ::testing::TestWithParam<const char*> {};

TEST_P(Traps, AgentsQueuedTrapReachesSnmptrapd) {
  const std::string version = GetParam();
  TempDir dir;
  int port = FreeUdpPort();
  WriteText(dir.File("snmptrapd.conf"), "disableAuthorization yes\n");
  std::string trapLog = dir.File("traps.log");
  Child trapd({"snmptrapd", "-f", "-C", "-c", dir.File("snmptrapd.conf"), "-On", "-Lf", trapLog,
               "udp:127.0.0.1:" + std::to_string(port)},
              ToolEnvironment(dir), dir.File("snmptrapd.out"));
  ASSERT_TRUE(WaitUntil([&] { return ReadText(trapLog).find("NET-SNMP version") != std::string::npos; },
                        std::chrono::seconds(10)))
      << ReadText(trapLog);

  Daemon daemon(dir, {"--agent-library", VELMOND_TRAP_AGENT, "--trap-sink", "udp:127.0.0.1:" + std::to_string(port),
                      "--trap-version", version, "--world", ExampleWorld("no-cluster.toml")});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  ASSERT_TRUE(WaitUntil([&] { return ReadText(trapLog).find("hello") != std::string::npos; }, std::chrono::seconds(10)))
      << ReadText(trapLog) << daemon.Log();
  std::string received = ReadText(trapLog);
  if (version == "2c") {
    // The v2c form of an enterprise-specific trap: enterprise.0.specific.
    EXPECT_NE(received.find(".1.3.6.1.6.3.1.1.4.1.0 = OID: .1.3.6.1.4.1.32473.99.0.7"), std::string::npos) << received;
  } else {
    EXPECT_NE(received.find("Enterprise Specific Trap (7)"), std::string::npos) << received;
    EXPECT_NE(received.find(".1.3.6.1.4.1.32473.99"), std::string::npos) << received;
  }
  EXPECT_NE(received.find(".1.3.6.1.4.1.32473.99.1.0 = STRING: \"hello\""), std::string::npos) << received;

  // The same careless agent answers GetNext past its one instance with that
  // instance again; the walk still ends.
  ToolResult walk = daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On"}, {".1.3.6.1.4.1.32473.99"});
  EXPECT_EQ(Lines(walk.out, false), std::vector<std::string>{".1.3.6.1.4.1.32473.99.1.0 = STRING: \"trap agent\""});
  ToolResult bulk = daemon.Snmp("snmpbulkwalk", {"-v2c", "-c", "public", "-On", "-Cr5"}, {".1.3.6.1.4.1.32473.99"});
  EXPECT_EQ(bulk.out, walk.out);
  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_FALSE(HasSanitizerReport(daemon.Log())) << daemon.Log();
  trapd.Terminate();
}

INSTANTIATE_TEST_SUITE_P(Versions, Traps, ::testing::Values("1", "2c"),
                         [](const ::testing::TestParamInfo<const char*>& param) { return std::string(param.param) == "1" ? "V1" : "V2c"; });

}  // namespace
}  // namespace velmond::testing

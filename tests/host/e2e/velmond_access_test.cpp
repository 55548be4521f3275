// velmond as the agent a network monitoring system discovers: the system
// group, SNMPv3 users at each security level with an engine that survives
// restarts and crashes, the v1/v2c switches and community sources, and a
// configuration file whose errors stop it before it listens.
#include <gtest/gtest.h>

#include <regex>

#include "host/support/daemon.h"

namespace velmond::testing {
namespace {

const std::string kEngineId = ".1.3.6.1.6.3.10.2.1.1.0";
const std::string kEngineBoots = ".1.3.6.1.6.3.10.2.1.2.0";
const std::string kBadCommunityNames = ".1.3.6.1.2.1.11.4.0";
const std::vector<std::string> kPriv = {"-v3", "-l", "authPriv", "-u", "ops", "-a", "SHA-256",
                                        "-A", "ops \"auth\" \\pass", "-x", "AES", "-X", "ops-priv-pass",
                                        "-On", "-Oqv", "-t", "2", "-r", "0"};

std::string ConfigText(const std::string& extra = "") {
  return "contact = \"NOC <noc@example.org>\"\n"
         "location = \"Rack 7\"\n"
         "state-dir = \"state\"\n"
         "listen = \"udp:127.0.0.1:9\"\n" +  // the test's --listen overrides it
         extra +
         "[[user]]\nname = \"ops\"\nauth = \"SHA-256\"\nauth-password = 'ops \"auth\" \\pass'\n"
         "priv = \"AES\"\npriv-password = \"ops-priv-pass\"\n"
         "[[user]]\nname = \"auditor\"\nlevel = \"authNoPriv\"\nauth = \"SHA-512\"\n"
         "auth-password-file = \"auditor.pass\"\n"
         "[[user]]\nname = \"guest\"\nlevel = \"noAuthNoPriv\"\n";
}

class Access : public ::testing::Test {
 protected:
  std::string WriteConfig(const std::string& extra = "") {
    WriteText(dir_.File("auditor.pass"), "auditor-pass\n");
    WriteText(dir_.File("velmond.toml"), ConfigText(extra));
    return dir_.File("velmond.toml");
  }
  std::string Get(const Daemon& daemon, std::vector<std::string> args, const std::string& object) {
    return daemon.Snmp("snmpget", args, {object}).out;
  }
  TempDir dir_;
};

TEST_F(Access, SystemGroupDescribesTheSimulatedHostAndListsTheClusterMib) {
  Daemon daemon(dir_, {"--config", WriteConfig(), "--location", "Hall 2", "--write-community", "private"});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  // The test's files are readable by all: a warning, no refusal.
  EXPECT_NE(daemon.Log().find("holds SNMPv3 pass phrases and others may read it"), std::string::npos);
  std::string walk = daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On"}, {".1.3.6.1.2.1.1"}).out;
  EXPECT_NE(walk.find(".1.3.6.1.2.1.1.1.0 = STRING: \"velmon cluster agent " + std::string(VELMON_VERSION) +
                      " on racnode1 (simulated Windows NT host)\""),
            std::string::npos)
      << walk;
  EXPECT_NE(walk.find(".1.3.6.1.2.1.1.2.0 = OID: .1.3.6.1.4.1.32473.2.18.22.4.3\n"), std::string::npos) << walk;
  EXPECT_NE(walk.find(".1.3.6.1.2.1.1.4.0 = STRING: \"NOC <noc@example.org>\""), std::string::npos) << walk;
  EXPECT_NE(walk.find(".1.3.6.1.2.1.1.5.0 = STRING: \"racnode1\""), std::string::npos) << walk;
  // The command line overrides the file.
  EXPECT_NE(walk.find(".1.3.6.1.2.1.1.6.0 = STRING: \"Hall 2\""), std::string::npos) << walk;
  EXPECT_NE(walk.find(".1.3.6.1.2.1.1.7.0 = INTEGER: 72"), std::string::npos) << walk;
  EXPECT_TRUE(std::regex_search(walk, std::regex(R"(\.1\.3\.6\.1\.2\.1\.1\.3\.0 = Timeticks: )"))) << walk;
  std::smatch row;
  ASSERT_TRUE(std::regex_search(walk, row, std::regex(R"(\.1\.3\.6\.1\.2\.1\.1\.9\.1\.2\.(\d+) = OID: \.1\.3\.6\.1\.4\.1\.32473\.2\.18\.22\.4\.1\n)")))
      << walk;
  EXPECT_NE(walk.find(".1.3.6.1.2.1.1.9.1.3." + row[1].str() + " = STRING: \"The cluster agent's objects"),
            std::string::npos);
  // The group is read-only, also through the write community.
  ToolResult set = daemon.Snmp("snmpset", {"-v2c", "-c", "private"}, {".1.3.6.1.2.1.1.4.0", "s", "intruder"});
  EXPECT_NE(set.err.find("noAccess"), std::string::npos) << set.err;
  EXPECT_EQ(daemon.Snmp("snmpget", {"-v2c", "-c", "public", "-Oqv"}, {".1.3.6.1.2.1.1.4.0"}).out,
            "\"NOC <noc@example.org>\"\n");
  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_FALSE(HasSanitizerReport(daemon.Log())) << daemon.Log();
}

TEST_F(Access, UsersAnswerAtTheirLevelAndTheEngineKeepsItsIdAcrossRestartsAndCrashes) {
  std::string config = WriteConfig();
  std::string engineId;
  for (int boots = 1; boots <= 3; ++boots) {
    TempDir run;  // a log of its own; the state is beside the configuration
    Daemon daemon(run, {"--config", config});
    ASSERT_TRUE(daemon.Started()) << daemon.Log();
    ToolResult engineRun = daemon.Snmp("snmpget", kPriv, {kEngineId, kEngineBoots});
    std::string engine = engineRun.out;
    EXPECT_EQ(engineRun.err, "");
    if (boots == 1) engineId = engine.substr(0, engine.find('\n'));
    EXPECT_EQ(engine, engineId + "\n" + std::to_string(boots) + "\n");
    if (boots == 1) {
      EXPECT_EQ(Get(daemon, {"-v3", "-l", "authNoPriv", "-u", "auditor", "-a", "SHA-512", "-A", "auditor-pass",
                             "-Oqv"},
                    ".1.3.6.1.2.1.1.5.0"),
                "\"racnode1\"\n");
      EXPECT_EQ(Get(daemon, {"-v3", "-l", "noAuthNoPriv", "-u", "guest", "-Oqv"}, ".1.3.6.1.2.1.1.5.0"), "\"racnode1\"\n");
      // Below a user's level VACM refuses, with no data.
      ToolResult weak = daemon.Snmp("snmpget", {"-v3", "-l", "noAuthNoPriv", "-u", "auditor"}, {".1.3.6.1.2.1.1.5.0"});
      EXPECT_EQ(weak.out, "");
      EXPECT_NE(weak.err.find("authorizationError"), std::string::npos) << weak.err;
      ToolResult wrong = daemon.Snmp(
          "snmpget", {"-v3", "-l", "authNoPriv", "-u", "auditor", "-a", "SHA-512", "-A", "not-the-pass", "-r", "0"},
          {".1.3.6.1.2.1.1.5.0"});
      EXPECT_NE(wrong.err.find("Authentication failure"), std::string::npos) << wrong.err;
      EXPECT_EQ(wrong.out, "");
      // usmStatsWrongDigests counted it.
      EXPECT_EQ(Get(daemon, kPriv, ".1.3.6.1.6.3.15.1.1.5.0"), "1\n");
      EXPECT_EQ(daemon.Log().find("not-the-pass"), std::string::npos);
      EXPECT_EQ(daemon.Log().find("ops-priv-pass"), std::string::npos);
    }
    // The second run ends with a crash: its boots were on disk from the start.
    if (boots == 2) {
      daemon.Kill();
    } else {
      EXPECT_EQ(daemon.Stop(), 0);
    }
    EXPECT_FALSE(HasSanitizerReport(daemon.Log())) << daemon.Log();
  }
  EXPECT_NE(ReadText(dir_.File("state/engine")).find("boots 3\n"), std::string::npos);
}

TEST_F(Access, VersionSwitchesAndCommunitySourcesLeaveOtherRequestsUnanswered) {
  std::string config = WriteConfig("no-v1 = true\ncommunity-source = [\"127.0.0.2\"]\n");
  Daemon daemon(dir_, {"--config", config});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  std::vector<std::string> fast = {"-t", "0.3", "-r", "0", "-Oqv"};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.end(), fast.begin(), fast.end());
    return args;
  };
  EXPECT_EQ(Get(daemon, with({"-v2c", "-c", "public", "--clientaddr=127.0.0.2"}), ".1.3.6.1.2.1.1.5.0"), "\"racnode1\"\n");
  // Outside the community's sources, in v1, with a wrong community: nothing.
  EXPECT_EQ(Get(daemon, with({"-v2c", "-c", "public"}), ".1.3.6.1.2.1.1.5.0"), "");
  EXPECT_EQ(Get(daemon, with({"-v1", "-c", "public", "--clientaddr=127.0.0.2"}), ".1.3.6.1.2.1.1.5.0"), "");
  EXPECT_EQ(Get(daemon, with({"-v2c", "-c", "privat", "--clientaddr=127.0.0.2"}), ".1.3.6.1.2.1.1.5.0"), "");
  EXPECT_EQ(Get(daemon, kPriv, kBadCommunityNames), "2\n");
  EXPECT_EQ(daemon.Stop(), 0);
}

TEST_F(Access, ConfigurationErrorsNameFileAndLineAndStopBeforeListening) {
  struct Case {
    std::string text;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"listen = \"udp:127.0.0.1:0\"\nlisten_port = 3\n", "bad.toml:2: unknown key \"listen_port\""},
      {"state-dir = \"s\"\n\n[[user]]\nname = \"a\"\nauth = \"SHA\"\nauth-password = \"1234567\"\npriv = \"AES\"\n"
       "priv-password = \"12345678\"\n",
       "bad.toml:6: auth-password is shorter than 8 characters"},
      {"[[user]]\nname = \"a\"\nlevel = \"noAuthNoPriv\"\n", "bad.toml:1: SNMPv3 user \"a\" needs a state folder"},
      {"community = [\n", "bad.toml:"},
  };
  for (const Case& c : cases) {
    WriteText(dir_.File("bad.toml"), c.text);
    ToolResult run = RunTool({VelmondBinary(), "--config", dir_.File("bad.toml")}, ToolEnvironment(dir_),
                             std::chrono::seconds(10));
    EXPECT_EQ(run.exitCode, 1) << c.text;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("listening"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("1234567"), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace velmond::testing

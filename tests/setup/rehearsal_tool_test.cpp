// The rehearsal tool: its command line, and a rehearsal whose failures show
// as boxes, log lines and the exit status (shared_library_test.cpp rehearses
// a restart through the built library).
#include "setup/support/setup_fixture.h"
#include "setup/tool/options.h"
#include "setup/tool/rehearsal.h"
#include "setup/velsetup.h"

#include <sstream>

namespace velsetup::test {
namespace {

using tool::ParseOptions;

tool::ExportsTable LinkedExports() {
  return {StopSNMP, StartSNMP, CreateRACUser, DeleteRACUser, IsServicePresent, GetProductVersion};
}

// Where `needle` occurs in `text` at or after `from`; fails the test if not.
std::size_t After(const std::string& text, const std::string& needle, std::size_t from) {
  std::size_t at = text.find(needle, from);
  EXPECT_NE(std::string::npos, at) << "missing after offset " << from << ": " << needle;
  return at == std::string::npos ? from : at + needle.size();
}

TEST(RehearsalOptions, CommandLineNamesActionsAndTheWorld) {
  std::string error;
  auto options = ParseOptions({"--silent", "--service", "SNMP:state=running,stop=2000", "--service",
                               "Relay:display=Trap Relay,depends=SNMP+Other,hang=stop,fail=1066", "--user",
                               "RACUSER:secret", "--version-file", "C:\\a.dll=1.2", "--no-log", "StopSNMP",
                               "IsServicePresent=SNMP", "StartSNMP"},
                              error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ("SILENT", options->properties.at("INST_MODE"));
  ASSERT_EQ(2u, options->services.size());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), options->services[0].state);
  EXPECT_EQ(2000u, options->services[0].stopMs);
  EXPECT_EQ("Trap Relay", options->services[1].displayName);
  EXPECT_EQ((std::vector<std::string>{"SNMP", "Other"}), options->services[1].dependencies);
  EXPECT_EQ(tool::Transition::Stop, options->services[1].hangs);
  EXPECT_EQ(1066u, options->services[1].startFailure);
  EXPECT_EQ("secret", options->users.at(0).second);
  EXPECT_EQ("1.2", options->versionFiles.at(0).second);
  EXPECT_FALSE(options->createLog);
  ASSERT_EQ(3u, options->actions.size());
  EXPECT_EQ("SNMP", options->actions[1].argument);

  for (const auto& bad : std::vector<std::vector<std::string>>{
           {},
           {"--silent"},
           {"Restart"},
           {"--service", "SNMP:state=paused", "StopSNMP"},
           {"--service", "SNMP:stop=soon", "StopSNMP"},
           {"--property", "NOVALUE", "StopSNMP"},
           {"StopSNMP", "--user"}}) {
    error.clear();
    EXPECT_FALSE(ParseOptions(bad, error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(Rehearsal, FailuresAppearAsBoxesAndLogLinesAndSetTheExitStatus) {
  std::string error;
  auto options = ParseOptions({"--no-log", "--service", "SNMP:state=running", "--service",
                               "Relay:depends=SNMP,state=running,hang=stop", "StopSNMP", "GetProductVersion=C:\\x.dll"},
                              error);
  ASSERT_TRUE(options) << error;
  std::ostringstream out;
  EXPECT_EQ(1, tool::Rehearse(*options, LinkedExports(), out));

  const std::string text = out.str();
  std::size_t at = After(text, "message box \"Error\": Failed: WaitForStatusPending(). Error code: 1460", 0);
  at = After(text, "StopSNMP returned 1051", at);
  at = After(text, "GetProductVersion returned 0, version \"None/Unknown\"", at);
  at = After(text, "Relay: stop pending", at);
  at = After(text, "| Failed: WaitForStatusPending(). Error code: 1460    message:  This operation returned", at);
}

}  // namespace
}  // namespace velsetup::test

// The six installer actions: silent mode read from INST_MODE (exact
// "SILENT" only, one enlargement for a long value, handle 0), SNMP stopped
// and started with its dependents silently or with windows, the account
// actions with their byte-exact report texts, the service test without a
// report for a missing service, and the product version with its default.
#include "setup/install_mode.h"
#include "setup/silent_mode.h"
#include "setup/support/setup_fixture.h"
#include "setup/velsetup.h"

#include <velplat/accounts.h>
#include <velplat/faults.h>
#include <velplat/files.h>
#include <velplat/installer.h>

#include <cstring>

namespace velsetup::test {
namespace {

namespace installer = velplat::installer;
using ::testing::ElementsAre;

class InstallerActions : public SetupTest {
 protected:
  static UINT Run(VelsetupInstallAction action, MSIHANDLE handle) {
    UINT result = 0xDEAD;
    Driven([&] { result = action(handle); });
    return result;
  }
  void SnmpWithTwoDependents() {
    Service("SNMP", SERVICE_RUNNING, {}, 2000, 2000);
    Service("Alpha", SERVICE_RUNNING, {"SNMP"}, 1000, 1000);
    Service("Beta", SERVICE_RUNNING, {"SNMP"}, 1000, 1000);
  }
};

TEST_F(InstallerActions, OnlyTheExactValueSilentSelectsSilentMode) {
  installer::Session session(installer::Properties{{"INST_MODE", "SILENT"}});
  EXPECT_EQ(0u, ReadInstallMode(session.handle()));
  EXPECT_EQ(1, SilentMode);

  for (const char* value : {"silent", "Silent", "SILENT ", ""}) {
    installer::SetProperty(session.handle(), "INST_MODE", value);
    EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), ReadInstallMode(session.handle())) << value;
    EXPECT_EQ(0, SilentMode) << value;
  }
  installer::Session without;
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), ReadInstallMode(without.handle()));

  SilentMode = 1;
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), ReadInstallMode(0));
  EXPECT_EQ(0, SilentMode) << "reset before anything else";
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), ReadInstallMode(0xFFFFFFFF));
}

TEST_F(InstallerActions, LongModeIsReadWholeAfterOneEnlargementAndQueryFailuresPassThrough) {
  installer::Session session(installer::Properties{{"INST_MODE", "SILENT-AND-UNATTENDED"}});
  std::string value;
  EXPECT_EQ(0u, ReadInstallerProperty(session.handle(), "INST_MODE", value));
  EXPECT_EQ("SILENT-AND-UNATTENDED", value);
  auto queries = installer::Queries(session.handle());
  ASSERT_EQ(2u, queries.size());
  EXPECT_EQ(10u, queries[0].bufferChars);
  EXPECT_EQ(static_cast<UINT>(ERROR_MORE_DATA), queries[0].result);
  EXPECT_EQ(22u, queries[1].bufferChars);
  EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), queries[1].result);
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), ReadInstallMode(session.handle()));

  velplat::faults::FailCall("MsiGetPropertyA", ERROR_INSTALL_FAILURE);
  EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), ReadInstallMode(session.handle()));
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_HANDLE), ReadInstallMode(4242));
  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc, 1, 1);  // the enlarged buffer
  EXPECT_EQ(static_cast<UINT>(ERROR_OUTOFMEMORY), ReadInstallMode(session.handle()));
}

TEST_F(InstallerActions, SilentStopAndStartShowNothingAndRestoreEveryService) {
  SnmpWithTwoDependents();
  installer::Session session(installer::Properties{{"INST_MODE", "SILENT"}});

  EXPECT_EQ(0u, Run(StopSNMP, session.handle()));
  for (const char* name : {"SNMP", "Alpha", "Beta"}) EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State(name));
  EXPECT_EQ(0u, Run(StartSNMP, session.handle()));
  for (const char* name : {"SNMP", "Alpha", "Beta"}) EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State(name));

  EXPECT_THAT(Requests(), ElementsAre("stop Alpha", "stop Beta", "stop SNMP", "start SNMP", "start Alpha",
                                      "start Beta"));
  EXPECT_TRUE(velplat::ui::Events().empty());
  EXPECT_EQ("", Log());
}

TEST_F(InstallerActions, InteractiveStopShowsStatusAndBoxes) {
  SnmpWithTwoDependents();
  Service("Gamma", SERVICE_RUNNING, {"SNMP"}, 0, 3600 * 1000);  // hangs
  installer::Session session(installer::Properties{{"INST_MODE", "silent"}});

  EXPECT_EQ(static_cast<UINT>(ERROR_DEPENDENT_SERVICES_RUNNING), Run(StopSNMP, session.handle()));
  EXPECT_FALSE(StatusTexts().empty());
  EXPECT_THAT(BoxCaptions(), ElementsAre("Error"));

  // Handle 0 is interactive too: the start shows its texts, and the hung
  // dependent, still stop pending, refuses to start, which is reported.
  velplat::services::SetState("SNMP", SERVICE_STOPPED);
  velplat::ui::ClearEvents();
  EXPECT_EQ(0u, Run(StartSNMP, 0));
  EXPECT_EQ("Starting service: SNMP ...", StatusTexts().at(0));
  EXPECT_THAT(BoxTexts(), ElementsAre("Failed: Gamma display. Error code: 1056    message:  An instance of the "
                                      "service is already running.\r\n."));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("Beta"));
}

TEST_F(InstallerActions, StartOnARunningServiceReturnsAtOnce) {
  SnmpWithTwoDependents();
  velplat::services::SetState("Alpha", SERVICE_STOPPED);
  installer::Session session;
  EXPECT_EQ(0u, Run(StartSNMP, session.handle()));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("Alpha"));
  EXPECT_TRUE(velplat::ui::Events().empty());
}

TEST_F(InstallerActions, AccountActionsReturnAndReportTheirFailures) {
  EXPECT_EQ(0u, CreateRACUser(0));
  EXPECT_TRUE(velplat::accounts::GetUser("RACUSER"));
  EXPECT_EQ(0u, DeleteRACUser(0));
  EXPECT_FALSE(velplat::accounts::GetUser("RACUSER"));
  EXPECT_EQ(0u, DeleteRACUser(0)) << "already gone";
  EXPECT_EQ("", Log());

  velplat::accounts::SetMinimumPasswordLength(64);
  EXPECT_EQ(static_cast<UINT>(NERR_PasswordTooShort), CreateRACUser(0));
  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc);
  EXPECT_EQ(static_cast<UINT>(ERROR_NOT_ENOUGH_MEMORY), DeleteRACUser(0));
  EXPECT_EQ(
      "Failed: Cannot Create 'RACUSER' Account.. Error code: 2245    message:  Unknown error.\r\n"
      "Failed: Cannor Create 'RACUSER' Account.. Error code: 8    message:  Not enough memory resources are available "
      "to process this command.\r\n.\r\n",
      Log());
  EXPECT_THAT(BoxCaptions(), ElementsAre("Error", "Error"));
}

TEST_F(InstallerActions, ServicePresenceIsAnsweredWithoutReportingAMissingService) {
  Service("SNMP", SERVICE_STOPPED);
  EXPECT_EQ(1u, IsServicePresent("SNMP"));
  EXPECT_EQ(1u, IsServicePresent("snmp"));
  EXPECT_EQ(0u, IsServicePresent("NoSuchService"));
  EXPECT_EQ(0u, IsServicePresent(""));
  EXPECT_EQ(0u, IsServicePresent(nullptr));
  EXPECT_EQ("", Log());
  EXPECT_TRUE(velplat::ui::Events().empty());

  velplat::faults::FailCall("OpenServiceA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(0u, IsServicePresent("SNMP"));
  EXPECT_EQ("Failed: IsServicePresent(). Error code: 5    message:  Access is denied.\r\n.\r\n", Log());
  velplat::faults::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);  // reported once, by the manager
  EXPECT_EQ(0u, IsServicePresent("SNMP"));
  EXPECT_EQ("Failed: IsServicePresent(). Error code: 5    message:  Access is denied.\r\n.\r\n"
            "Failed: OpenSCManager(). Error code: 5    message:  Access is denied.\r\n.\r\n",
            Log());
}

TEST_F(InstallerActions, ProductVersionComesFromTheEnglishUnicodeTableOrDefaults) {
  velplat::files::PutExecutable("C:\\Program Files\\Velmora\\velmon.dll",
                                velplat::files::MakeVersionResource("9.2.0.1", "2.1 SP3"));
  velplat::files::PutExecutable("C:\\other.dll", velplat::files::MakeVersionResource("1.0", "1.0", "040704B0"));
  velplat::files::PutFile("C:\\plain.txt", "no resource");

  char text[64];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(0u, GetProductVersion(text, "C:\\Program Files\\Velmora\\velmon.dll"));
  EXPECT_STREQ("2.1 SP3", text);
  for (const char* file : {"C:\\plain.txt", "C:\\other.dll", "C:\\missing.dll"}) {
    EXPECT_EQ(0u, GetProductVersion(text, file));
    EXPECT_STREQ("None/Unknown", text) << file;
  }
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), GetProductVersion(nullptr, "C:\\plain.txt"));
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), GetProductVersion(text, nullptr));
  EXPECT_EQ("", Log());
}

}  // namespace
}  // namespace velsetup::test

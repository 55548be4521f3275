// Starting a service with its dependents: nothing done for a running one,
// every dependent not running started in the manager's order (chains
// included), a service found start pending waited for and then refused and
// reported, start failures reported with "Start()", and quiet operation.
#include "setup/service.h"
#include "setup/support/setup_fixture.h"

#include <velplat/ui.h>

namespace velsetup::test {
namespace {

namespace services = velplat::services;
using ::testing::ElementsAre;
using namespace std::chrono_literals;

class ServiceStart : public SetupTest {
 protected:
  static DWORD StartSnmp(bool quiet = false) {
    DWORD result = 0xDEAD;
    Driven([&] {
      CService snmp("SNMP");
      snmp.SetQuiet(quiet);
      result = snmp.Start(true);
    });
    return result;
  }
};

TEST_F(ServiceStart, RunningServiceReturnsAtOnceLeavingItsDependentsAlone) {
  Service("SNMP", SERVICE_RUNNING);
  Service("Alpha", SERVICE_STOPPED, {"SNMP"});
  EXPECT_EQ(0u, StartSnmp());
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(velplat::ui::Events().empty());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("Alpha"));
}

TEST_F(ServiceStart, EveryDependentNotRunningIsStartedInTheManagersOrder) {
  Service("SNMP", SERVICE_STOPPED, {}, 3000);
  Service("Alpha", SERVICE_STOPPED, {"SNMP"}, 1000);
  Service("Beta", SERVICE_RUNNING, {"SNMP"});
  Service("Gamma", SERVICE_STOPPED, {"SNMP"}, 2000);

  EXPECT_EQ(0u, StartSnmp());

  EXPECT_THAT(Requests(), ElementsAre("start SNMP", "start Alpha", "start Gamma"));
  for (const char* name : {"SNMP", "Alpha", "Beta", "Gamma"})
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State(name)) << name;
  EXPECT_THAT(StatusTexts(),
              ElementsAre("Starting service: SNMP ...", "Starting dependent services of : SNMP service...",
                          "Starting service: Alpha display ...", "Starting service: Gamma display ..."));
  auto requests = services::Requests();
  EXPECT_EQ(3000u, requests[1].atMs) << "dependents once the service runs";
  EXPECT_EQ(4000u, requests[2].atMs) << "one dependent after the other";
  EXPECT_TRUE(velplat::ui::Dialogs().empty());
  EXPECT_EQ("", Log());
}

TEST_F(ServiceStart, ChainOfDependentsStartsWithoutComplaint) {
  // Outer needs Inner, which needs SNMP; the manager lists Outer first and
  // starts Inner for it, so Inner's own turn finds it running.
  Service("SNMP", SERVICE_STOPPED);
  Service("Inner", SERVICE_STOPPED, {"SNMP"}, 1000);
  Service("Outer", SERVICE_STOPPED, {"Inner"}, 1000);

  EXPECT_EQ(0u, StartSnmp());

  EXPECT_THAT(Requests(), ElementsAre("start SNMP", "start Inner", "start Outer"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("Inner"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("Outer"));
  EXPECT_EQ("", Log());
}

TEST_F(ServiceStart, ServiceFoundStartPendingIsWaitedForThenRefusedAndReported) {
  Service("SNMP", SERVICE_STOPPED);
  Service("Alpha", SERVICE_STOPPED, {"SNMP"});
  services::SetPending("SNMP", SERVICE_START_PENDING, 4000ms, 4000);

  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING), StartSnmp());

  EXPECT_EQ(4000u, velplat::clock::NowMs());
  EXPECT_EQ("Failed: Start(). Error code: 1056    message:  An instance of the service is already running.\r\n.\r\n",
            Log());
  EXPECT_THAT(BoxCaptions(), ElementsAre("Error"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("Alpha")) << "dependents are not started";
  EXPECT_TRUE(velplat::ui::Dialogs().empty());
}

TEST_F(ServiceStart, RefusedStartIsReportedAndQuietStartShowsNothing) {
  services::ServiceConfig disabled;
  disabled.name = "SNMP";
  disabled.startType = SERVICE_DISABLED;
  services::Define(disabled);

  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DISABLED), StartSnmp(true));
  EXPECT_EQ(
      "Failed: Start(). Error code: 1058    message:  The service cannot be started, either because it is disabled or "
      "because it has no enabled devices associated with it.\r\n.\r\n",
      Log());
  EXPECT_TRUE(StatusTexts().empty());
  EXPECT_TRUE(velplat::ui::Dialogs().empty());
  EXPECT_THAT(BoxCaptions(), ElementsAre("Error")) << "quiet hides windows, not reports";
}

}  // namespace
}  // namespace velsetup::test

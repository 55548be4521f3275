// Stopping a service with its dependents: nothing done for a stopped
// service, stopped dependents left alone, running ones stopped first in the
// manager's order with the status texts, a dependent hanging in stop pending
// reported once while the loop goes on, the failures of the dependents' loop,
// quiet operation, and the pending-state wait with its poll interval.
#include "setup/service.h"
#include "setup/support/setup_fixture.h"
#include "setup/tool/clock_driver.h"

#include <velplat/faults.h>
#include <velplat/files.h>
#include <velplat/ui.h>
#include <velplat/world.h>

namespace velsetup::test {
namespace {

namespace services = velplat::services;
using ::testing::ElementsAre;
using namespace std::chrono_literals;

class ServiceStop : public SetupTest {
 protected:
  static DWORD StopSnmp(bool quiet = false) {
    DWORD result = 0xDEAD;
    Driven([&] {
      CService snmp("SNMP");
      snmp.SetQuiet(quiet);
      result = snmp.Stop(true);
    });
    return result;
  }
};

constexpr char kTimeoutLine[] =
    "Failed: WaitForStatusPending(). Error code: 1460    message:  This operation returned because the timeout "
    "period expired.\r\n.\r\n";

TEST_F(ServiceStop, StoppedServiceReturnsAtOnceWithoutTouchingDependentsOrShowingAnything) {
  Service("SNMP", SERVICE_STOPPED);
  Service("Relay", SERVICE_STOPPED, {"SNMP"});
  EXPECT_EQ(0u, StopSnmp());
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(velplat::ui::Events().empty());
  EXPECT_EQ(0u, velplat::clock::NowMs());
}

TEST_F(ServiceStop, ServiceStopPendingAtEntryIsWaitedOutAndItsRefusedStopControlReturned) {
  Service("SNMP", SERVICE_RUNNING);
  Service("Relay", SERVICE_STOPPED, {"SNMP"});
  services::SetPending("SNMP", SERVICE_STOP_PENDING, 3s, 4000);
  // Polled every second until stopped at 3 s, then the usual pause and a stop
  // control that the manager refuses for a stopped service.
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE), StopSnmp(true));
  EXPECT_EQ(4000u, velplat::clock::NowMs());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("SNMP"));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ("", Log());
}

TEST_F(ServiceStop, RunningDependentsStopFirstAndStoppedOnesAreLeftAlone) {
  Service("SNMP", SERVICE_RUNNING, {}, 0, 2000);
  Service("Alpha", SERVICE_RUNNING, {"SNMP"}, 0, 1000);
  Service("Beta", SERVICE_STOPPED, {"SNMP"});
  Service("Gamma", SERVICE_RUNNING, {"SNMP"}, 0, 1500);

  EXPECT_EQ(0u, StopSnmp());

  EXPECT_THAT(Requests(), ElementsAre("stop Alpha", "stop Gamma", "stop SNMP"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("SNMP"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("Gamma"));
  EXPECT_THAT(StatusTexts(), ElementsAre("Stopping dependent services of: SNMP ...",
                                         "Stopping dependent services of : SNMP service...",
                                         "Stopping service: Alpha display ...", "Stopping service: Gamma display ...",
                                         "Stopping service: SNMP..."));
  // Each dependent is waited for; the service itself a second later.
  auto requests = services::Requests();
  EXPECT_EQ(1000u, requests[1].atMs);
  EXPECT_EQ(3500u, requests[2].atMs);
  EXPECT_EQ(5500u, velplat::clock::NowMs());
  EXPECT_TRUE(velplat::ui::Dialogs().empty()) << "every status window closed";
  EXPECT_TRUE(velplat::ui::MessageBoxes().empty());
  EXPECT_EQ("", Log());
}

TEST_F(ServiceStop, DependentHangingInStopPendingIsReportedOnceAndTheNextOneIsStillStopped) {
  Service("SNMP", SERVICE_RUNNING);
  Service("Alpha", SERVICE_RUNNING, {"SNMP"}, 0, 3600 * 1000);
  Service("Beta", SERVICE_RUNNING, {"SNMP"});

  // The service itself cannot stop while Alpha hangs; that refusal is
  // returned without a report.
  EXPECT_EQ(static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING), StopSnmp());

  EXPECT_EQ(kTimeoutLine, Log());
  EXPECT_THAT(BoxCaptions(), ElementsAre("Error"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), State("Alpha"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("Beta"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("SNMP"));
  auto requests = services::Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_GT(requests[1].atMs, 60000u) << "Beta waited for Alpha's time-out";
}

TEST_F(ServiceStop, DependentLoopEndsAtTheFirstFailureWithItsReport) {
  Service("SNMP", SERVICE_RUNNING);
  Service("Alpha", SERVICE_RUNNING, {"SNMP"});
  Service("Beta", SERVICE_RUNNING, {"SNMP"});
  // The second OpenServiceA is Alpha's, for stopping.
  velplat::faults::FailCall("OpenServiceA", ERROR_ACCESS_DENIED, 1, 1);
  EXPECT_EQ(static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING), StopSnmp());
  EXPECT_EQ("Failed: StopDependents(). Error code: 5    message:  Access is denied.\r\n.\r\n", Log());
  EXPECT_TRUE(Requests().empty()) << "Beta was not handled";

  // A dependent that refuses the stop control is reported by display name.
  velplat::World::Get().Reset();
  velplat::files::PutFile(kLogPath, "");
  Service("SNMP", SERVICE_RUNNING);
  services::ServiceConfig stubborn;
  stubborn.name = "Alpha";
  stubborn.displayName = "Stubborn Alpha";
  stubborn.dependencies = {"SNMP"};
  stubborn.initialState = SERVICE_RUNNING;
  stubborn.controlsAccepted = 0;
  services::Define(stubborn);
  EXPECT_EQ(static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING), StopSnmp());
  EXPECT_EQ(
      "Failed: Stubborn Alpha. Error code: 1052    message:  The requested control is not valid for this "
      "service.\r\n.\r\n",
      Log());
}

TEST_F(ServiceStop, QuietStopShowsNoWindowButReportsInTheLog) {
  Service("SNMP", SERVICE_RUNNING);
  Service("Alpha", SERVICE_RUNNING, {"SNMP"}, 0, 3600 * 1000);
  StopSnmp(true);
  EXPECT_TRUE(StatusTexts().empty());
  EXPECT_TRUE(velplat::ui::Dialogs().empty());
  for (const auto& event : velplat::ui::Events()) EXPECT_EQ(velplat::ui::EventKind::MessageBox, event.kind);
  EXPECT_EQ(kTimeoutLine, Log());
}

TEST_F(ServiceStop, ServiceThatCannotBeOpenedIsReportedByTheConstructorAndByStop) {
  DWORD result = 0;
  Driven([&] {
    CService missing("NoSuchService");
    EXPECT_EQ(nullptr, missing.m_hService);
    result = missing.Stop(true);
  });
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), result);
  EXPECT_EQ(
      "Failed: CService::CService(). Error code: 1060    message:  The specified service does not exist as an "
      "installed service.\r\n.\r\n"
      "Failed: Stop(). Error code: 6    message:  The handle is invalid.\r\n.\r\n",
      Log());
}

TEST_F(ServiceStop, PendingWaitPollsEveryQuarterOfTheWaitHintUntilTheTarget) {
  Service("SNMP", SERVICE_RUNNING);
  // Stopped after 7 s, seen at the fourth poll of 2 s.
  services::SetPending("SNMP", SERVICE_STOP_PENDING, 7000ms, 8000);
  DWORD result = 0xDEAD;
  Driven([&] {
    CService snmp("SNMP");
    QueryServiceStatus(snmp.m_hService, &snmp.m_status);
    result = snmp.WaitForStatusPending(snmp.m_status, SERVICE_STOP_PENDING, snmp.m_hService, kPendingTimeoutMs);
  });
  EXPECT_EQ(0u, result);
  EXPECT_EQ(8000u, velplat::clock::NowMs());
  EXPECT_EQ("", Log());
}

TEST_F(ServiceStop, WaitHintZeroPollsWithoutPauseUntilTheTimeOut) {
  Service("SNMP", SERVICE_RUNNING);
  services::SetPending("SNMP", SERVICE_STOP_PENDING, std::nullopt, 0);
  DWORD result = 0xDEAD;
  // Nothing waits on the clock, so it is moved on while the poll spins.
  tool::RunOnVirtualClock(
      [&] {
        CService snmp("SNMP");
        QueryServiceStatus(snmp.m_hService, &snmp.m_status);
        result = snmp.WaitForStatusPending(snmp.m_status, SERVICE_STOP_PENDING, snmp.m_hService, kPendingTimeoutMs);
      },
      tool::DriveSettings{1ms, 1000ms});
  EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), result);
  EXPECT_GT(velplat::clock::NowMs(), 60000u);
  EXPECT_EQ(0u, velplat::clock::BlockedCount());
  EXPECT_EQ(kTimeoutLine, Log());
}

}  // namespace
}  // namespace velsetup::test

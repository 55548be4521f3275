// Failure paths of the service controller that the behaviour tests do not
// reach: a status query refused at each step of Start and Stop, the manager
// connection refused, the dependents' listing refused, each step of the
// dependents' start loop refused, and a stop control refused for the service
// itself (returned, never reported).
#include "setup/service.h"
#include "setup/support/setup_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/faults.h>
#include <velplat/files.h>
#include <velplat/world.h>

#include <regex>

namespace velsetup::test {
namespace {

using ::testing::ElementsAre;
using velplat::faults::FailCall;

class ServiceControlFailures : public SetupTest {
 protected:
  static DWORD Run(bool start, bool quiet = true) {
    DWORD result = 0xDEAD;
    Driven([&] {
      CService snmp("SNMP");
      snmp.SetQuiet(quiet);
      result = start ? snmp.Start(true) : snmp.Stop(true);
    });
    return result;
  }
  // "operation:code" of every line of the setup log, in order.
  static std::vector<std::string> Reports() {
    std::vector<std::string> reports;
    const std::string log = Log();
    const std::regex line(R"(Failed: (.*?)\. Error code: (\d+)    message:  )");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
      reports.push_back((*it)[1].str() + ":" + (*it)[2].str());
    return reports;
  }
  static void Fresh() {
    velplat::World::Get().Reset();
    velplat::files::PutFile(kLogPath, "");
    velplat::faults::Clear();
  }
};

TEST_F(ServiceControlFailures, RefusedStatusQueriesAreReportedByTheStepThatAsked) {
  // Stop: the first query is the service's own.
  Service("SNMP", SERVICE_RUNNING);
  FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), Run(false));
  EXPECT_THAT(Reports(), ElementsAre("Stop():5"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("SNMP"));

  // Stop with a dependent: the dependent's query ends the dependents' loop,
  // and the service itself is still stopped.
  Fresh();
  Service("SNMP", SERVICE_RUNNING);
  Service("Relay", SERVICE_RUNNING, {"SNMP"});
  FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED, 1, 1);
  // The service's own stop is refused while Relay runs: returned, not reported.
  EXPECT_EQ(static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING), Run(false));
  EXPECT_THAT(Reports(), ElementsAre("StopDependents():5"));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("Relay"));

  // Start: the query before the start request ...
  Fresh();
  Service("SNMP", SERVICE_STOPPED);
  FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), Run(true));
  EXPECT_THAT(Reports(), ElementsAre("Start():5"));
  EXPECT_TRUE(Requests().empty());

  // ... and the one after it.
  Fresh();
  Service("SNMP", SERVICE_STOPPED);
  Service("Relay", SERVICE_STOPPED, {"SNMP"});
  FailCall("QueryServiceStatus", ERROR_INVALID_HANDLE, 1, 1);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), Run(true));
  EXPECT_THAT(Reports(), ElementsAre("Start():6"));
  EXPECT_THAT(Requests(), ElementsAre("start SNMP")) << "the dependents are not reached";

  // A query refused while a start is pending ends the wait with its report.
  Fresh();
  Service("SNMP", SERVICE_STOPPED, {}, 4000);
  FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED, 1, 2);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), Run(true));
  EXPECT_THAT(Reports(), ElementsAre("WaitForStatusPending():5"));
}

TEST_F(ServiceControlFailures, WithoutAManagerConnectionEveryLaterStepFailsAndIsReported) {
  Service("SNMP", SERVICE_RUNNING);
  FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
  const DWORD result = Run(false);
  EXPECT_NE(0u, result);
  // The connection, then the query on the service handle that was never opened.
  ASSERT_EQ(2u, Reports().size());
  EXPECT_EQ("OpenSCManager():5", Reports()[0]);
  EXPECT_EQ("Stop():" + std::to_string(result), Reports()[1]);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("SNMP"));
}

TEST_F(ServiceControlFailures, RefusedListingOfDependentsIsReportedAndTheServiceIsStillHandled) {
  // The sizing call refused with something other than "more data".
  Service("SNMP", SERVICE_RUNNING);
  Service("Relay", SERVICE_RUNNING, {"SNMP"});
  FailCall("EnumDependentServicesA", ERROR_ACCESS_DENIED);
  // No dependent list, so Relay is not stopped and the manager refuses to
  // stop SNMP under it: that refusal is returned, not reported.
  EXPECT_EQ(static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING), Run(false));
  EXPECT_THAT(Reports(), ElementsAre("EnumDependencies():5"));
  EXPECT_TRUE(Requests().empty());

  // The listing call itself refused after a successful sizing call.
  Fresh();
  Service("SNMP", SERVICE_STOPPED);
  Service("Relay", SERVICE_STOPPED, {"SNMP"});
  FailCall("EnumDependentServicesA", ERROR_ACCESS_DENIED, 1, 1);
  EXPECT_EQ(0u, Run(true));
  EXPECT_THAT(Reports(), ElementsAre("EnumDependencies():5"));
  EXPECT_THAT(Requests(), ElementsAre("start SNMP"));
  EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("Relay"));

  // A refused listing drops the list an earlier listing made: neither loop
  // walks a half-filled one.
  Fresh();
  Service("SNMP", SERVICE_RUNNING);
  Service("Relay", SERVICE_RUNNING, {"SNMP"});
  Driven([] {
    CService snmp("SNMP");
    snmp.SetQuiet(true);
    ASSERT_EQ(0u, snmp.EnumDependencies(SERVICE_ACTIVE));
    ASSERT_THAT(snmp.m_dependentNames, ElementsAre("Relay"));
    FailCall("EnumDependentServicesA", ERROR_ACCESS_DENIED, 1, 1);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), snmp.EnumDependencies(SERVICE_ACTIVE));
    EXPECT_TRUE(snmp.m_dependentNames.empty());
    EXPECT_EQ(-1, snmp.StopDependents());
    EXPECT_EQ(-1, snmp.StartDependents());
  });
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("Relay"));
}

TEST_F(ServiceControlFailures, DependentsStartLoopEndsAtEachRefusedStepWithItsReport) {
  struct Step {
    const char* function;
    unsigned skip;  // calls of `function` that succeed first
    const char* report;
  };
  // OpenServiceA: SNMP's own open comes first. QueryServiceStatus: SNMP is
  // queried twice before the loop queries Alpha twice.
  const Step steps[] = {
      {"OpenServiceA", 1, "StartDependents():5"},
      {"QueryServiceStatus", 2, "StartDependents():5"},
      {"StartServiceA", 1, "Alpha display:5"},
      {"QueryServiceStatus", 3, "StartDependents():5"},
  };
  for (const Step& step : steps) {
    Fresh();
    Service("SNMP", SERVICE_STOPPED);
    Service("Alpha", SERVICE_STOPPED, {"SNMP"});
    Service("Beta", SERVICE_STOPPED, {"SNMP"});
    FailCall(step.function, ERROR_ACCESS_DENIED, 1, step.skip);
    EXPECT_EQ(0u, Run(true)) << step.function << " " << step.skip << ": the dependents' result is not returned";
    EXPECT_THAT(Reports(), ElementsAre(step.report)) << step.function << " " << step.skip;
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), State("Beta")) << "the loop ended before the next dependent";
  }
}

TEST_F(ServiceControlFailures, RefusedStopControlOfTheServiceItselfIsReturnedWithoutAReport) {
  Service("SNMP", SERVICE_RUNNING);
  FailCall("ControlService", ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL), Run(false, false));
  EXPECT_EQ("", Log());
  EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), State("SNMP"));
  EXPECT_TRUE(BoxCaptions().empty());
}

}  // namespace
}  // namespace velsetup::test

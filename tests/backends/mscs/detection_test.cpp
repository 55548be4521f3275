// MSCS detection on the virtual clock (the service poll and every way out of
// it) and the MSCS attribute operations answered from the cluster.
#include "agent/cluster_attributes.h"
#include "backends/mscs/attributes.h"
#include "backends/mscs/cluster_api.h"
#include "backends/mscs/cluster_model.h"
#include "backends/mscs/detection.h"
#include "backends/mscs/support/mscs_world.h"
#include "discovery/member_table.h"

#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace velmon::mscs {
namespace {

using namespace std::chrono_literals;
namespace cluster = velplat::cluster;

std::string Text(Status (*operation)(AttrString*, UINT*, const RowIndex*), Status* status = nullptr) {
  char buffer[kTextBufferSize];
  AttrString value{-1, buffer};
  UINT scratch = 0;
  Status result = operation(&value, &scratch, nullptr);
  if (status) *status = result;
  return std::string(buffer, static_cast<size_t>(std::max(value.length, 0)));
}

INT Number(Status (*operation)(INT*, UINT*, const RowIndex*), Status* status = nullptr) {
  INT value = -1;
  UINT scratch = 0;
  Status result = operation(&value, &scratch, nullptr);
  if (status) *status = result;
  return value;
}

// Runs detection on its own thread and steps the virtual clock from one
// sleep to the next until it returns; the clock readings at which it slept
// out are the poll times after the first.
std::vector<std::uint64_t> PollTimesUntilDetected(LONG* result, std::uint64_t giveUpMs) {
  std::atomic<bool> done{false};
  std::thread detection([&] {
    *result = DetectMscsCluster();
    done = true;
  });
  std::vector<std::uint64_t> polls;
  while (!done && velplat::clock::NowMs() < giveUpMs) {
    if (!velplat::clock::WaitForBlocked(1, 100ms)) continue;
    if (velplat::clock::AdvanceToNextDeadline()) polls.push_back(velplat::clock::NowMs());
  }
  if (!done) {
    velplat::services::SetState("ClusSvc", SERVICE_RUNNING);
    while (!done) velplat::clock::AdvanceToNextDeadline();
  }
  detection.join();
  return polls;
}

TEST(MscsDetection, LateServiceIsSeenByThePollAtThirtySeconds) {
  velplat::clock::VirtualTimeScope virtualTime;
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::services::SetPending("ClusSvc", SERVICE_START_PENDING, 25s, 30000);
  LONG result = -1;
  std::vector<std::uint64_t> polls = PollTimesUntilDetected(&result, 60000);
  EXPECT_EQ((std::vector<std::uint64_t>{1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000, 30000}),
            polls);
  EXPECT_EQ(2, result);
  EXPECT_EQ(kVendorMscs, ClusterVendor.load());
}

TEST(MscsDetection, ServiceThatNeverStartsIsPolledEveryTenSecondsWithoutLimit) {
  velplat::clock::VirtualTimeScope virtualTime;
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::services::SetState("ClusSvc", SERVICE_STOPPED);
  LONG result = -1;
  std::vector<std::uint64_t> polls = PollTimesUntilDetected(&result, 100000);
  ASSERT_EQ(19u, polls.size());  // ten at one second, then 20 s ... 100 s
  EXPECT_EQ(10000u, polls[9]);
  EXPECT_EQ(100000u, polls.back());
  EXPECT_EQ(2, result);  // once it runs after all
}

TEST(MscsDetection, RefusedStatusQueriesCountAsNotRunningAndThePollGoesOn) {
  velplat::clock::VirtualTimeScope virtualTime;
  test::InstallCluster(test::ThreeNodeCluster());  // ClusSvc running all along
  velplat::faults::FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED, 12);
  LONG result = -1;
  std::vector<std::uint64_t> polls = PollTimesUntilDetected(&result, 60000);
  EXPECT_EQ((std::vector<std::uint64_t>{1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000, 30000}),
            polls);
  EXPECT_EQ(2, result);
}

struct Outcome {
  const char* name;
  LONG expected;
};

void PrintTo(const Outcome& outcome, std::ostream* os) { *os << outcome.name; }

class MscsDetectionOutcome : public testing::TestWithParam<Outcome> {};

TEST_P(MscsDetectionOutcome, ReturnsWithoutSettingTheVendor) {
  const std::string name = GetParam().name;
  if (name == "serviceKeyOnly") {
    velplat::registry::CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Services\\ClusSvc");
  } else if (name == "serviceWithoutLibrary") {
    velplat::services::ServiceConfig config;
    config.name = "ClusSvc";
    config.initialState = SERVICE_RUNNING;
    velplat::services::Define(config);
  } else if (name != "nothing") {
    test::InstallCluster(test::ThreeNodeCluster());
    if (name == "managerRefused") velplat::faults::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
    if (name == "clusterSilent") cluster::SetAnswering(velplat::World::Get().Local(), false);
    if (name == "noNameBuffer") velplat::faults::FailNext(velplat::faults::Point::HeapAlloc);
    if (name == "informationFails") velplat::faults::FailCall("GetClusterInformation", RPC_S_SERVER_UNAVAILABLE);
  }
  EXPECT_EQ(GetParam().expected, DetectMscsCluster());
  EXPECT_EQ(kVendorNone, ClusterVendor.load());
  EXPECT_EQ(0u, cluster::OpenHandleCount());
  EXPECT_EQ(0u, velplat::services::OpenHandleCount());
}

INSTANTIATE_TEST_SUITE_P(Every, MscsDetectionOutcome,
                         testing::Values(Outcome{"nothing", 0}, Outcome{"serviceKeyOnly", 0},
                                         Outcome{"managerRefused", 0}, Outcome{"serviceWithoutLibrary", 5},
                                         Outcome{"clusterSilent", 5}, Outcome{"noNameBuffer", 5},
                                         Outcome{"informationFails", 0}),
                         [](const auto& outcome) { return std::string(outcome.param.name); });

TEST(MscsAttributes, AnswerTheVersionRecordAndTheClusterName) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.name = std::string(254, 'N');  // the longest name the 255 characters announced hold
  shape.vendorId = std::string(64, 'V');  // fills the record's field
  test::InstallCluster(shape);
  ASSERT_EQ(2, DetectMscsCluster());
  EXPECT_EQ("1.0 Build Number 224", Text(&GetMscsSoftwareVersion));
  EXPECT_EQ(std::string(63, 'V'), Text(&GetMscsVendorName));
  Status status = -1;
  EXPECT_EQ(std::string(254, 'N'), Text(&GetMscsClusterName, &status));
  EXPECT_EQ(kNoError, status);
  shape.name += "NN";  // does not fit: no name, still no error
  cluster::Install(shape);
  EXPECT_EQ("", Text(&GetMscsClusterName, &status));
  EXPECT_EQ(kNoError, status);
  EXPECT_EQ(23201, Number(&GetMscsSoftwareType));
  EXPECT_EQ(6, Number(&GetMscsServiceStatus, &status));
  EXPECT_EQ(kNoError, status);
  EXPECT_EQ(0u, cluster::OpenHandleCount());
}

TEST(MscsAttributes, ServiceStatusTellsClusterGroupAndServiceApart) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  test::InstallCluster(shape);
  ASSERT_EQ(2, DetectMscsCluster());
  Status status = -1;

  velplat::services::SetState("ClusSvc", SERVICE_STOPPED);  // the cluster still opens
  EXPECT_EQ(4, Number(&GetMscsServiceStatus, &status));
  EXPECT_EQ(kNoError, status);
  velplat::services::SetState("ClusSvc", SERVICE_RUNNING);
  velplat::faults::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(4, Number(&GetMscsServiceStatus));

  cluster::SetAnswering(velplat::World::Get().Local(), false);  // the cluster does not open
  EXPECT_EQ(3, Number(&GetMscsServiceStatus, &status));
  EXPECT_EQ(kGenErr, status);
  EXPECT_EQ("", Text(&GetMscsVendorName, &status));
  EXPECT_EQ(kNoError, status);
  EXPECT_EQ("", Text(&GetMscsSoftwareVersion));
  EXPECT_EQ("", Text(&GetMscsClusterName));
  cluster::SetAnswering(velplat::World::Get().Local(), true);

  velplat::faults::FailCall("ClusterOpenEnum", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(3, Number(&GetMscsServiceStatus, &status));
  EXPECT_EQ(kNoError, status);

  shape.groups = {{"Locked Group", false}};  // a first group that cannot be opened
  cluster::Install(shape);
  EXPECT_EQ(4, Number(&GetMscsServiceStatus));
  shape.groups.clear();
  cluster::Install(shape);
  EXPECT_EQ(4, Number(&GetMscsServiceStatus));
  EXPECT_EQ(0u, cluster::OpenHandleCount());
}

TEST(MscsAttributes, LocalNodeIndexIsTheFirstMemberWithTheSameFirstCharacter) {
  cluster::ClusterSpec shape = test::ThreeNodeCluster();
  shape.nodes = {{"NODE2", "2"}, {"NODE1", "1"}, {"NODE12", "12"}};
  test::InstallCluster(shape, "NODE12");
  ASSERT_EQ(2, DetectMscsCluster());
  EXPECT_EQ(1, Number(&GetMscsLocalNodeIndex));  // no identifier yet: matches the empty record 0
  FillMscsMemberTable();
  ReadLocalNodeId();
  EXPECT_STREQ("1", LocalNodeId);
  EXPECT_EQ(2, Number(&GetMscsLocalNodeIndex));  // identifier 12 reads as 1: NODE1's record

  velplat::faults::FailCall("GetClusterNodeId", ERROR_CLUSTER_NODE_NOT_MEMBER);
  ReadLocalNodeId();
  EXPECT_STREQ("1", LocalNodeId);  // unchanged
  {
    auto lock = LockMemberTable();
    LocalNodeId[0] = '\0';
  }
  EXPECT_EQ(4, Number(&GetMscsLocalNodeIndex));  // the record after the last member
}

}  // namespace
}  // namespace velmon::mscs

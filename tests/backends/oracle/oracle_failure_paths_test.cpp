// Failure paths of the Oracle RAC back-end that the scenario tests do not
// reach: watch entries and the registry watcher thread that cannot be
// started during the first fill, the registry watcher's retries and its end
// on a failed wait, and the software version when the executable's path or
// version block cannot be had.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/watch_table_rows.h"
#include "backends/oracle/attributes.h"
#include "backends/oracle/host_resolution.h"
#include "backends/oracle/member_state.h"
#include "backends/oracle/node_lists.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/eventlog.h>
#include <velplat/faults.h>
#include <velplat/registry.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using velplat::faults::FailCall;
using velplat::faults::FailNext;
using velplat::faults::Point;

const std::vector<test::OracleMember> kTwoMembers = {
    {"node1", "priv1", "192.0.2.1", SERVICE_RUNNING},
    {"node2", "priv2", "192.0.2.2", SERVICE_RUNNING},
};

std::vector<std::string> Rows(bool nodes) { return nodes ? test::NodeNameRows() : test::AddressNameRows(); }

std::vector<std::string> Insertions(DWORD id) {
  std::vector<std::string> texts;
  for (auto& e : test::EventsWithId(id)) texts.push_back(e.strings.empty() ? "" : e.strings[0]);
  return texts;
}

// The member table read from the cluster-manager key, as configuration
// leaves it before the first fill. The watcher started by a fill blocks on
// the key until the process ends.
void ReadMembers() {
  test::RegisterAgentEventSource();
  test::MakeOracleMembers(kTwoMembers);
  test::WriteClusterManagerKey(kTwoMembers);
  ASSERT_EQ(0, oracle::ReadOracleNodeNames());
  oracle::ResolvePublicAddresses(0);
}

TEST(OracleNodeListFailures, MissingKeyAndAListOfAnotherTypeChangeNothing) {
  test::MakeOracleMembers(kTwoMembers);
  EXPECT_EQ(-1, oracle::ReadOracleNodeNames());  // no cluster-manager key yet
  test::WriteClusterManagerKey(kTwoMembers);
  ASSERT_EQ(0, oracle::ReadOracleNodeNames());
  velplat::registry::SetString(test::kClusterManagerKeyPath, "PublicNodeNames", "node9");
  EXPECT_EQ(-1, oracle::ReadOracleNodeNames());
  auto lock = LockMemberTable();
  EXPECT_STREQ("node1", MemberTable[0].publicName);
}

// Watcher threads in start order: node1, node2 node entries; node1, node2
// address entries; the cluster address entry; the registry watcher.
TEST(OracleFillFailures, NodeEntryThatCannotBeAddedIsReportedAndEndsOnlyTheNodeLoop) {
  ReadMembers();
  FailNext(Point::ThreadStart, 1, 1);  // node2's node entry
  oracle::FillOracleWatchTables(0);
  EXPECT_THAT(Rows(true), ElementsAre("1:node1"));
  EXPECT_THAT(Rows(false), ElementsAre("1:node1", "2:node2"));
  EXPECT_THAT(Insertions(VELMON_ENTRY_NOT_CREATED), ElementsAre("node2"));
  EXPECT_TRUE(Insertions(VELMON_INIT_FAILED).empty());
  EXPECT_EQ(1, WatchTablesReady.load());
  EXPECT_EQ(3, oracle::SavedNextNodeIndex.load()) << "after the address rows too";
  EXPECT_EQ(1, NextNodeIndex.load());
  // The watcher's re-fill numbers node3 after every row the first fill made.
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kClusterManagerKeyPath, 1, 10s));
  test::SetPublicNames({"node1", "node3"});
  ASSERT_TRUE(test::Eventually([] { return Rows(false).size() == 3; }));
  EXPECT_THAT(Rows(false), ElementsAre("1:node1", "2:node2", "3:node3"));
  EXPECT_THAT(Rows(true), ElementsAre("1:node1", "3:node3"));
}

TEST(OracleFillFailures, AddressEntryThatCannotBeAddedIsReportedAndEndsTheAddressLoop) {
  ReadMembers();
  FailNext(Point::ThreadStart, 1, 2);  // node1's address entry
  oracle::FillOracleWatchTables(0);
  EXPECT_THAT(Rows(true), ElementsAre("1:node1", "2:node2"));
  EXPECT_TRUE(Rows(false).empty()) << "node2's address is not tried after node1's failed";
  EXPECT_THAT(Insertions(VELMON_ENTRY_NOT_CREATED), ElementsAre("node1"));
  auto lock = LockWatchTables();
  ASSERT_NE(ClusterAddressTable, nullptr) << "the cluster address entry is still added";
}

TEST(OracleFillFailures, ClusterAddressEntryAndWatcherThreadFailuresAreReportedAndTheFillCompletes) {
  ReadMembers();
  FailNext(Point::ThreadStart, 2, 4);  // the cluster address entry, then the registry watcher
  oracle::FillOracleWatchTables(0);
  EXPECT_THAT(Insertions(VELMON_ENTRY_NOT_CREATED), ElementsAre("Cluster IP Address"));
  EXPECT_THAT(Insertions(VELMON_INIT_FAILED), ElementsAre("Was unable to create the trap thread."));
  EXPECT_EQ(2, NextClusterAddressIndex.load()) << "advanced although the entry failed";
  EXPECT_EQ(1, WatchTablesReady.load()) << "the tables count as ready without a watcher";
  {
    auto lock = LockWatchTables();
    EXPECT_EQ(ClusterAddressTable, nullptr);
  }
  EXPECT_THAT(Rows(true), ElementsAre("1:node1", "2:node2"));
  EXPECT_THAT(Rows(false), ElementsAre("1:node1", "2:node2"));
  // No watcher: a changed node list is not followed.
  test::SetPublicNames({"node1", "node3"});
  std::this_thread::sleep_for(50ms);
  EXPECT_THAT(Rows(true), ElementsAre("1:node1", "2:node2"));
}

TEST(OracleRegistryWatcherFailures, RetriesMissingKeyEventAndNotificationThenStopsOnAFailedWait) {
  velplat::clock::VirtualTimeScope virtualTime;
  FailNext(Point::EventCreate);                                 // the second pass
  FailCall("RegNotifyChangeKeyValue", ERROR_ACCESS_DENIED);     // the third pass
  FailCall("WaitForSingleObject", ERROR_INVALID_HANDLE);        // the fourth pass
  testing::internal::CaptureStdout();
  std::thread watcher(&oracle::OracleRegistryWatcher, nullptr);

  // First pass: no cluster-manager key; the watcher pauses and tries again.
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 10s));
  test::WriteClusterManagerKey(kTwoMembers);
  velplat::clock::Advance(1000ms);
  // Second and third pass: no event, then no notification; each pauses.
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 10s)) << "a failed event creation ended the watcher";
  velplat::clock::Advance(1000ms);
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 10s)) << "a refused notification ended the watcher";
  velplat::clock::Advance(1000ms);
  // Fourth pass: the wait fails; the diagnostic goes to standard output and
  // the watcher ends.
  watcher.join();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error in WaitForSingleObject.\n");
  EXPECT_EQ(velplat::clock::NowMs(), 3000u);
}

TEST(OracleVersionFailures, PathOrVersionBlockThatCannotBeHadGivesEmptyTextOrGenErr) {
  char buffer[256];
  AttrString value{255, buffer};
  UINT scratch = 0;
  UINT arc = 0;
  RowIndex row{1, &arc};
  auto version = [&] {
    value.length = 255;
    return oracle::GetClusterSoftwareVersion(&value, &scratch, &row);
  };

  // No service key: empty text, no error.
  EXPECT_EQ(kNoError, version());
  EXPECT_EQ(0, value.length);

  test::InstallClusterManagerExecutable(REG_SZ, "C:\\oracle\\bin\\oracm.exe", "9.2.0.1.0");
  ASSERT_EQ(kNoError, version());
  ASSERT_EQ(std::string(buffer, value.length), "9.2.0.1.0");

  FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED);  // ImagePath unreadable
  EXPECT_EQ(kNoError, version());
  EXPECT_EQ(0, value.length);

  FailNext(Point::HeapAlloc);  // the version block
  EXPECT_EQ(kGenErr, version());
  EXPECT_EQ(0, value.length);

  FailCall("GetFileVersionInfoA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(kGenErr, version());
  EXPECT_EQ(0, value.length);

  FailCall("VerQueryValueA", ERROR_NOT_ENOUGH_MEMORY);  // no FileVersion string
  EXPECT_EQ(kNoError, version());
  EXPECT_EQ(0, value.length);

  // An expandable path that expands beyond 255 bytes, and one whose
  // expansion fails.
  ASSERT_TRUE(SetEnvironmentVariableA("ORACLE_LONG_HOME", ("C:\\" + std::string(260, 'o')).c_str()));
  test::InstallClusterManagerExecutable(REG_EXPAND_SZ, "%ORACLE_LONG_HOME%\\oracm.exe", "");
  EXPECT_EQ(kGenErr, version());
  EXPECT_EQ(0, value.length);
  test::InstallClusterManagerExecutable(REG_EXPAND_SZ, "%SystemRoot%\\oracm.exe", "9.2.0.1.0");
  ASSERT_EQ(kNoError, version());
  FailCall("ExpandEnvironmentStringsA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(kGenErr, version());
  EXPECT_EQ(0, value.length);
}

TEST(OracleImpersonationFailures, RefusedRevertIsReturnedAndTheTokenIsStillReleased) {
  test::RegisterAgentEventSource();
  test::MakeOracleMembers(kTwoMembers);
  HANDLE token = nullptr;
  ASSERT_EQ(0u, oracle::BeginAgentImpersonation(&token));
  ASSERT_NE(token, nullptr);
  FailCall("RevertToSelf", ERROR_ACCESS_DENIED);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), oracle::EndAgentImpersonation(&token));
  EXPECT_EQ(token, nullptr) << "the token is closed although reverting failed";
  EXPECT_EQ(0u, oracle::EndAgentImpersonation(&token));
  EXPECT_TRUE(velplat::eventlog::Entries().empty()) << "ending the impersonation reports nothing";
}

}  // namespace
}  // namespace velmon

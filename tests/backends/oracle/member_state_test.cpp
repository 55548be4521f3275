// Member service state: logon as RACUSER, the local and remote service
// control managers, the reports of every failure, and the node-state column.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/snmp_request.h"
#include "backends/oracle/member_state.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/accounts.h>
#include <velplat/clock.h>
#include <velplat/faults.h>
#include <velplat/services.h>

namespace velmon {
namespace {

using oracle::QueryMemberServiceState;
using velplat::faults::FailCall;

// Each report: identifier and its one insertion string.
std::vector<std::pair<DWORD, std::string>> Reports() {
  std::vector<std::pair<DWORD, std::string>> reports;
  for (auto& e : velplat::eventlog::Entries()) reports.emplace_back(e.eventId, e.strings.empty() ? "" : e.strings[0]);
  return reports;
}

using Reported = std::vector<std::pair<DWORD, std::string>>;

TEST(MemberState, LocalServiceStatesMapToNodeStates) {
  test::MakeOracleMembers({{"node1", "p1", ""}});
  velplat::services::SetState("OracleCMService9I", SERVICE_RUNNING);
  EXPECT_EQ(QueryMemberServiceState("node1"), 4);
  EXPECT_EQ(QueryMemberServiceState(""), 4);  // empty: this machine
  velplat::services::SetState("OracleCMService9I", SERVICE_STOPPED);
  EXPECT_EQ(QueryMemberServiceState("NODE1"), 8);
  velplat::services::SetPending("OracleCMService9I", SERVICE_START_PENDING, std::nullopt, SERVICE_RUNNING);
  EXPECT_EQ(QueryMemberServiceState("node1"), 6);
  velplat::services::SetPending("OracleCMService9I", SERVICE_STOP_PENDING, std::nullopt, SERVICE_STOPPED);
  EXPECT_EQ(QueryMemberServiceState("node1"), 1);
  velplat::services::SetState("OracleCMService9I", SERVICE_PAUSED);
  EXPECT_EQ(QueryMemberServiceState("node1"), 1);
  EXPECT_TRUE(Reports().empty());
  EXPECT_EQ(velplat::services::OpenHandleCount(), 0u);
  EXPECT_EQ(velplat::accounts::LiveTokenCount(), 0u);
  EXPECT_FALSE(velplat::accounts::ImpersonatedUser().has_value());  // reverted completely
}

TEST(MemberState, RemoteMemberAnswersTheAgentAccount) {
  test::MakeOracleMembers({{"node1", "p1", ""}, {"node2", "p2", "", SERVICE_STOPPED}});
  EXPECT_EQ(QueryMemberServiceState("node2"), 8);
  EXPECT_TRUE(Reports().empty());
}

TEST(MemberState, RemoteMemberWithoutTheAccountRefusesAndIsReported) {
  test::MakeOracleMembers({{"node1", "p1", ""}, {"node2", "p2", "", SERVICE_RUNNING, false}});
  EXPECT_EQ(QueryMemberServiceState("node2"), 1);
  EXPECT_EQ(Reports(), (Reported{{ERROR_ACCESS_DENIED, "node2"}}));
  auto entries = velplat::eventlog::Entries();
  EXPECT_EQ(entries[0].type, EVENTLOG_SUCCESS);
}

TEST(MemberState, MissingAgentAccountReportsTheLogonThenTheRefusal) {
  test::MakeOracleMembers({{"node1", "p1", "", SERVICE_RUNNING, false}, {"node2", "p2", ""}});
  EXPECT_EQ(QueryMemberServiceState("node2"), 1);
  EXPECT_EQ(Reports(), (Reported{{ERROR_LOGON_FAILURE, "Logon User Failed."}, {ERROR_ACCESS_DENIED, "node2"}}));
}

TEST(MemberState, ServiceMissingOnTheMemberIsReported) {
  test::MakeOracleMembers({{"node1", "p1", ""}});
  velplat::services::Remove("OracleCMService9I");
  EXPECT_EQ(QueryMemberServiceState("node1"), 1);
  EXPECT_EQ(Reports(), (Reported{{ERROR_SERVICE_DOES_NOT_EXIST, "RAC member service status"}}));
}

TEST(MemberState, ManagerErrorsAreReportedByTheirTable) {
  test::MakeOracleMembers({{"node1", "p1", ""}});
  FailCall("OpenSCManagerA", ERROR_DATABASE_DOES_NOT_EXIST);
  EXPECT_EQ(QueryMemberServiceState("node1"), 1);
  FailCall("OpenSCManagerA", ERROR_INVALID_PARAMETER);
  EXPECT_EQ(QueryMemberServiceState("node1"), 1);
  EXPECT_EQ(QueryMemberServiceState("nosuchmachine"), 1);  // 1722: not reported
  FailCall("ImpersonateLoggedOnUser", ERROR_ACCESS_DENIED);
  EXPECT_EQ(QueryMemberServiceState("node1"), 4);  // goes on under the agent's own identity
  EXPECT_EQ(Reports(), (Reported{{ERROR_DATABASE_DOES_NOT_EXIST, "RAC_MEMBER_MANAGER_DATABASE_DOES_NOT_EXIST"},
                                 {ERROR_INVALID_PARAMETER, "RAC_MEMBER_MANAGER_ERROR_INVALID_PARAMETER"},
                                 {ERROR_ACCESS_DENIED, "ImpersonateLoggedOnUser Failed."}}));
  EXPECT_EQ(velplat::accounts::LiveTokenCount(), 0u);
}

TEST(MemberState, LongNodeNamesAreQueriedWhole) {
  test::MakeOracleMembers({{"node1", "p1", ""}, {"a-rather-long-node-name-02", "p2", "", SERVICE_STOPPED}});
  EXPECT_EQ(QueryMemberServiceState("a-rather-long-node-name-02"), 8);
}

TEST(MemberState, ImpersonationBracketKeepsNoTokenAlive) {
  test::MakeOracleMembers({{"node1", "p1", ""}});
  HANDLE token = nullptr;
  ASSERT_EQ(oracle::BeginAgentImpersonation(&token), 0u);
  EXPECT_EQ(velplat::accounts::ImpersonatedUser().value_or(""), "node1\\RACUSER");
  ASSERT_EQ(oracle::BeginAgentImpersonation(&token), 0u);  // the held token is closed, not leaked
  EXPECT_EQ(velplat::accounts::LiveTokenCount(), 1u);
  EXPECT_EQ(oracle::EndAgentImpersonation(&token), 0u);
  EXPECT_EQ(token, nullptr);
  EXPECT_EQ(velplat::accounts::LiveTokenCount(), 0u);
  FailCall("LogonUserA", ERROR_LOGON_FAILURE);
  EXPECT_EQ(oracle::BeginAgentImpersonation(&token), static_cast<DWORD>(ERROR_LOGON_FAILURE));
  EXPECT_EQ(token, nullptr);
  FailCall("ImpersonateLoggedOnUser", ERROR_ACCESS_DENIED);
  EXPECT_EQ(oracle::BeginAgentImpersonation(&token), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  oracle::EndAgentImpersonation(&token);
  EXPECT_EQ(Reports(), (Reported{{ERROR_LOGON_FAILURE, "Logon User Failed."},
                                 {ERROR_ACCESS_DENIED, "ImpersonateLoggedOnUser Failed."}}));
}

TEST(MemberState, NodeStateColumnQueriesTheRowsMember) {
  velplat::clock::VirtualTimeScope virtualTime;
  test::MakeOracleMembers({{"node1", "p1", ""}, {"node2", "p2", "", SERVICE_STOPPED}});
  ClusterVendor = kVendorOracle;
  ASSERT_EQ(AddNodeEntryWithState("", "node1", 1, 0), 1);
  ASSERT_EQ(AddNodeEntryWithState("", "node2", 2, 0), 1);
  WatchTablesReady = 1;
  EXPECT_EQ(test::Get("1.2.11.1.4.1").number, 4);
  EXPECT_EQ(test::Get("1.2.11.1.4.2").number, 8);
  velplat::services::SetState("OracleCMService9I", SERVICE_RUNNING, velplat::World::Get().Find("node2"));
  EXPECT_EQ(test::Get("1.2.11.1.4.2").number, 4);  // live, not cached
  // A row without an entry queries the local machine under an empty name.
  INT value = 0;
  UINT scratch = 0, arc = 9;
  RowIndex row{1, &arc};
  EXPECT_EQ(oracle::GetOracleNodeState(&value, &scratch, &row), 0);
  EXPECT_EQ(value, 4);
}

TEST(MemberState, BeforeTheFirstFillRowsNameMembersByPosition) {
  test::MakeOracleMembers({{"node1", "p1", ""}, {"node2", "p2", "", SERVICE_STOPPED}});
  {
    auto lock = LockMemberTable();
    StoreMemberName(MemberTable[0].publicName, "node1");
    StoreMemberName(MemberTable[1].publicName, "node2");
  }
  INT value = 0;
  UINT scratch = 0, arc = 2;
  RowIndex row{1, &arc};
  oracle::GetOracleNodeState(&value, &scratch, &row);
  EXPECT_EQ(value, 8);  // row 2 is the second member
}

}  // namespace
}  // namespace velmon

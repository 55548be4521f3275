// Member names of every length through the Oracle RAC back-end: the public
// and private names are stored cut to 31 characters, so the node table and
// the MIB answer 31 characters, HOSTS names are matched and the resolver and
// the members' services are asked by the cut names, and a change past the
// 31st character is no change.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/snmp_request.h"
#include "backends/oracle/member_state.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/registry.h>

#include <chrono>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using test::Get;

// A name of `length` characters whose first character tells it apart.
std::string LongName(char first, size_t length) { return first + std::string(length - 1, 'x'); }

std::vector<std::string> NodeNames() {
  auto lock = LockWatchTables();
  std::vector<std::string> names;
  for (NodeEntry* e = NodeTable; e; e = e->next) names.push_back(e->name);
  return names;
}

TEST(OracleLongNames, NamesAreCutTo31CharactersWhereverTheyAreStoredAndAnswered) {
  velplat::clock::VirtualTimeScope virtualTime;
  const size_t lengths[] = {31, 32, 255, 256, 4000};
  std::vector<test::OracleMember> members;
  std::string hosts;
  for (size_t i = 0; i < 5; ++i) {
    const std::string n = std::to_string(i + 1);
    members.push_back({LongName(static_cast<char>('a' + i), lengths[i]),
                       LongName(static_cast<char>('p' + i), lengths[i]), "192.0.2." + n, SERVICE_RUNNING});
    hosts += "10.0.0." + n + " " + members[i].privateName + "\n";
  }
  test::MakeOracleMembers(members);
  test::WriteHostsFile(hosts);
  test::WriteClusterManagerKey(members);
  test::RegisterAgentEventSource();
  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(test::Eventually([] { return ClusterVendor.load() == kVendorOracle && WatchTablesReady.load() == 1; }));

  {
    auto lock = LockMemberTable();
    for (size_t i = 0; i < 5; ++i) {
      SCOPED_TRACE(lengths[i]);
      EXPECT_EQ(static_cast<LONG>(i + 1), MemberTable[i].memberNumber);
      EXPECT_EQ(members[i].publicName.substr(0, 31), MemberTable[i].publicName);
      EXPECT_EQ(members[i].privateName.substr(0, 31), MemberTable[i].name);
      // A HOSTS name is looked up cut as it would have been stored, so every
      // private name finds its line; the resolver is asked for the cut public
      // name, which only the 31-character name still is.
      EXPECT_EQ(0x0000000Au | static_cast<DWORD>(i + 1) << 24, MemberTable[i].address);
      EXPECT_EQ(i == 0 ? 0x010200C0u : 0u, MemberTable[i].publicAddress);
    }
    EXPECT_EQ(0, MemberTable[5].memberNumber);
  }
  for (size_t i = 0; i < 5; ++i) {
    const std::string row = std::to_string(i + 1);
    EXPECT_EQ(members[i].publicName.substr(0, 31), Get("1.2.11.1.2." + row).bytes);
    // The member's service is asked for by the stored name: only the
    // 31-character name still names its machine.
    EXPECT_EQ(i == 0 ? oracle::kNodeRunning : oracle::kNodeUnknown, Get("1.2.11.1.4." + row).number) << row;
  }
  EXPECT_EQ(std::string("\xc0\x00\x02\x01", 4), Get("1.2.8.1.2.1").bytes);
  EXPECT_EQ(SNMP_ERRORSTATUS_NOSUCHNAME, Get("1.2.11.1.2.6").status);
  EXPECT_TRUE(test::EventsWithId(VELMON_ENTRY_NOT_CREATED).empty());

  // A public name that changes only past its 31st character is no change;
  // one that changes within them is appended, cut.
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kClusterManagerKeyPath, 1, 10s));
  std::vector<std::string> publics;
  for (const auto& m : members) publics.push_back(m.publicName);
  publics[2].back() = 'y';
  test::SetPublicNames(publics);
  ASSERT_TRUE(velplat::registry::WaitForPendingNotifications(test::kClusterManagerKeyPath, 1, 10s));
  EXPECT_EQ(5u, NodeNames().size());
  publics[4] = LongName('z', 4000);
  test::SetPublicNames(publics);
  ASSERT_TRUE(test::Eventually([] { return NodeNames().size() == 6; }));
  EXPECT_EQ(LongName('z', 31), NodeNames().back());
  EXPECT_EQ(LongName('z', 31), Get("1.2.11.1.2.6").bytes);
}

}  // namespace
}  // namespace velmon

// Node names of every length through the Brennic Clusters back-end: a node
// is a Nodes subkey, whose name the registry limits to 255 characters; the
// agent composes key paths in 256-byte buffers, so a node whose path does not
// fit is left alone (neither added nor pruned), one whose Global key path
// does not fit has no description, and every other name is kept and answered
// whole.
#include "agent/cluster_attributes.h"
#include "agent/support/event_log.h"
#include "agent/support/watch_table_rows.h"
#include "agent/support/snmp_request.h"
#include "backends/brennic/brennic_interface.h"
#include "backends/brennic/support/brennic_world.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <chrono>
#include <cstring>

namespace velmon {
namespace {

using namespace std::chrono_literals;
using test::Get;
using testing::ElementsAre;

// A name of `length` characters whose first character tells it apart (and
// sorts the subkeys in the order of the lengths below).
std::string LongName(char first, size_t length) { return first + std::string(length - 1, 'x'); }

// The longest node names whose Nodes path, and whose Global path, fit the
// 256-byte buffers (terminator included).
const size_t kLongestPath = 255 - std::strlen(brennic::kNodesKey) - 1;
const size_t kLongestGlobalPath = kLongestPath - std::strlen("\\Global");

bool WaitForChangeLoop() { return velplat::registry::WaitForPendingNotifications(test::kDatabasePath, 1, 10s); }

std::vector<std::string> Rows(bool nodes) { return nodes ? test::NodeNameRows() : test::AddressNameRows(); }

TEST(BrennicLongNames, NamesAreKeptWholeWhereTheirKeyPathsFitAndLeftAloneElsewhere) {
  velplat::clock::VirtualTimeScope virtualTime;
  velplat::World::Get().SetLocal("host");
  velplat::registry::CreateKey(std::string(test::kProductPath) + "\\CurrentVersion");
  test::DefineManagerService(SERVICE_RUNNING);
  test::RegisterAgentEventSource();
  ASSERT_EQ(200u, kLongestPath);
  const std::vector<std::string> names = {LongName('a', 31),
                                          LongName('b', 32),
                                          LongName('c', kLongestGlobalPath),
                                          LongName('d', kLongestGlobalPath + 1),
                                          LongName('e', kLongestPath),
                                          LongName('f', kLongestPath + 1),
                                          LongName('g', 255)};
  for (size_t i = 0; i < names.size(); ++i)
    test::AddNode({names[i], "comment " + std::to_string(i + 1), "192.0.2." + std::to_string(i + 1)});
  // Names the registry cannot hold: no key, nothing for the agent to see.
  EXPECT_NE(ERROR_SUCCESS, velplat::registry::CreateKey(std::string(test::kNodesPath) + "\\" + LongName('h', 256)));
  EXPECT_NE(ERROR_SUCCESS, velplat::registry::CreateKey(std::string(test::kNodesPath) + "\\" + LongName('i', 4000)));

  HANDLE event = nullptr;
  AsnObjectIdentifier view{0, nullptr};
  ASSERT_TRUE(SnmpExtensionInit(0, &event, &view));
  ASSERT_TRUE(WaitForChangeLoop());
  velplat::registry::SetString(test::kDatabasePath, "Touched", "1");
  ASSERT_TRUE(WaitForChangeLoop());
  ASSERT_EQ(kVendorBrennic, ClusterVendor.load());

  EXPECT_THAT(Rows(true), ElementsAre("1:" + names[0], "2:" + names[1], "3:" + names[2], "4:" + names[3],
                                      "5:" + names[4]));
  EXPECT_THAT(Rows(false), ElementsAre("1:" + names[0], "2:" + names[1], "3:" + names[2], "4:" + names[3],
                                       "5:" + names[4]));
  for (int row = 1; row <= 5; ++row) {
    SCOPED_TRACE(row);
    const std::string r = std::to_string(row);
    EXPECT_EQ(names[row - 1], Get("1.2.11.1.2." + r).bytes);
    // The Global key of the fourth and fifth node is past the buffer: no comment.
    EXPECT_EQ(row <= 3 ? "comment " + r : "", Get("1.2.11.1.3." + r).bytes);
    EXPECT_EQ(std::string("\xc0\x00\x02", 3) + static_cast<char>(row), Get("1.2.12.1.2." + r + ".1").bytes);
  }
  EXPECT_EQ(SNMP_ERRORSTATUS_NOSUCHNAME, Get("1.2.11.1.2.6").status);

  // Nodes left alone are not pruned either; deleting a kept one prunes it.
  test::DeleteNode(names[1]);
  ASSERT_TRUE(WaitForChangeLoop());
  EXPECT_EQ(4u, Rows(true).size());
  EXPECT_EQ(4u, Rows(false).size());
  EXPECT_EQ(SNMP_ERRORSTATUS_NOSUCHNAME, Get("1.2.11.1.2.2").status);
  EXPECT_TRUE(test::EventsWithId(VELMON_ENTRY_NOT_CREATED).empty());
}

}  // namespace
}  // namespace velmon

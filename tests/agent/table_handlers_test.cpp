// The three MIB tables answered from the watch tables through
// SnmpExtensionQuery: row stepping, the node-address sub-index rules, column
// values, and where .1.2.9.0 falls in a walk.
#include "agent/support/snmp_request.h"
#include "agent/table_columns.h"
#include "discovery/watch_tables.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/clock.h>

#include <cstring>
#include <string>

namespace velmon {
namespace {

using test::Get;
using test::GetNext;
using testing::ElementsAre;

DWORD Address(BYTE a, BYTE b, BYTE c, BYTE d) {
  DWORD value = 0;
  BYTE bytes[4] = {a, b, c, d};
  std::memcpy(&value, bytes, 4);
  return value;
}

class TableHandlersTest : public testing::Test {
 protected:
  velplat::clock::VirtualTimeScope virtualTime_;  // watchers sleep for free

  static void AddNodes(std::initializer_list<LONG> indexes) {
    for (LONG i : indexes) {
      std::string name = "node" + std::to_string(i);
      PendingNodeState = 10 + i;
      ASSERT_EQ(AddNodeEntry(("description of " + name).c_str(), name.c_str(), i), 1);
    }
  }
  static void AddAddresses(std::initializer_list<LONG> indexes) {
    for (LONG i : indexes) {
      PendingNodeAddress = Address(10, 0, 0, static_cast<BYTE>(i));
      ASSERT_EQ(AddAddressEntry(("node" + std::to_string(i)).c_str(), i), 1);
    }
  }
  static void AddClusterAddresses(std::initializer_list<LONG> indexes) {
    for (LONG i : indexes) {
      ClusterIpAddress = Address(192, 0, 2, static_cast<BYTE>(i));
      ASSERT_EQ(AddClusterAddressEntry("Cluster IP Address", i), 1);
    }
  }
};

TEST_F(TableHandlersTest, NodeColumnWalksExistingRowsThenMovesToTheNextColumn) {
  AddNodes({1, 2, 5});
  EXPECT_THAT(test::Walk("1.2.11.1.1", 4), ElementsAre("1.2.11.1.1.1", "1.2.11.1.1.2", "1.2.11.1.1.5", "1.2.11.1.2.1"));
  EXPECT_EQ(GetNext("1.2.11.1.1.2").number, 5);
  EXPECT_EQ(GetNext("1.2.11.1.1.3").name, "1.2.11.1.1.5");
  EXPECT_EQ(GetNext("1.2.11.1.3.2").bytes, "description of node5");
  EXPECT_EQ(GetNext("1.2.11.1.4.4294967295").name, test::kEndOfView);  // no row above the last arc
}

TEST_F(TableHandlersTest, SetOnExistingRowsAndOnTheTypeNameIsRefusedAtItsBinding) {
  AddNodes({1});
  AddAddresses({1});
  AddClusterAddresses({1});
  for (const char* target : {"1.2.9.0", "1.2.11.1.2.1", "1.2.12.1.2.1.1", "1.2.8.1.2.1"}) {
    ASSERT_EQ(Get(target).status, SNMP_ERRORSTATUS_NOERROR) << target;  // each one answers a Get
    test::Request request({test::Under(target), test::Under("1.1.1.0")});
    request[0].value.asnType = Get(target).type;  // the variable's own type: only access decides
    ASSERT_TRUE(request.Run(SNMP_PDU_SET));
    EXPECT_EQ(request.status, SNMP_ERRORSTATUS_NOSUCHNAME) << target;
    EXPECT_EQ(request.index, 1) << target;
    EXPECT_EQ(test::Relative(request[0].name), target);
    EXPECT_EQ(request[1].value.asnType, ASN_NULL) << "the binding after it is not looked at";
  }
}

TEST_F(TableHandlersTest, NodeColumnsAnswerTheEntry) {
  AddNodes({1, 2});
  EXPECT_EQ(Get("1.2.11.1.1.2").number, 2);
  EXPECT_EQ(Get("1.2.11.1.2.2").bytes, "node2");
  EXPECT_EQ(Get("1.2.11.1.3.1").bytes, "description of node1");
  EXPECT_EQ(Get("1.2.11.1.4.2").number, 12);
  EXPECT_EQ(Get("1.2.11.1.4.3").status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(Get("1.2.11.1.4.2.0").status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(Get("1.2.11.1.5.2").status, SNMP_ERRORSTATUS_NOSUCHNAME);
}

// A row removed between the parse of its name and the column's answer: each
// column answers its empty value with success.
TEST_F(TableHandlersTest, ColumnsOfARowThatIsGoneAnswerTheirEmptyValue) {
  AddNodes({1});
  AddAddresses({1});
  AddClusterAddresses({1});
  UINT arc = 7;
  const RowIndex gone{1, &arc};
  UINT scratch = 0;
  INT number = -1;
  DWORD address = 0xFFFFFFFF;
  char buffer[kTextBufferSize];
  AttrString text{-1, buffer};
  EXPECT_EQ(kNoError, GetNodeNumber(&number, &scratch, &gone));
  EXPECT_EQ(0, number);
  EXPECT_EQ(kNoError, GetNodeName(&text, &scratch, &gone));
  EXPECT_EQ(0, text.length);
  text.length = -1;
  EXPECT_EQ(kNoError, GetNodeDescription(&text, &scratch, &gone));
  EXPECT_EQ(0, text.length);
  EXPECT_EQ(kNoError, GetNodeState(&number, &scratch, &gone));
  EXPECT_EQ(1, number);
  EXPECT_EQ(kNoError, GetNodeAddressState(&number, &scratch, &gone));
  EXPECT_EQ(0, number);
  EXPECT_EQ(kNoError, GetNodeAddress(&address, &scratch, &gone));
  EXPECT_EQ(0u, address);
  address = 0xFFFFFFFF;
  EXPECT_EQ(kNoError, GetClusterAddress(&address, &scratch, &gone));
  EXPECT_EQ(0u, address);
  number = -1;
  EXPECT_EQ(kNoError, GetClusterAddressNumber(&number, &scratch, &gone));
  EXPECT_EQ(0, number);
}

TEST_F(TableHandlersTest, LongNodeNamesAreCutTo255Bytes) {
  std::string name(300, 'x');
  name[254] = 'y';
  ASSERT_EQ(AddNodeEntry(name.c_str(), name.c_str(), 1), 1);
  auto answer = Get("1.2.11.1.2.1");
  EXPECT_EQ(answer.bytes.size(), 255u);
  EXPECT_EQ(answer.bytes.back(), 'y');
  EXPECT_EQ(Get("1.2.11.1.3.1").bytes.size(), 255u);
}

TEST_F(TableHandlersTest, NodeAddressSubIndexRules) {
  AddAddresses({1, 2, 3});
  auto row3 = Get("1.2.12.1.2.3.1");
  EXPECT_EQ(row3.status, 0);
  EXPECT_EQ(row3.type, ASN_IPADDRESS);
  EXPECT_EQ(row3.bytes, std::string("\x0a\x00\x00\x03", 4));
  EXPECT_EQ(Get("1.2.12.1.2.3.2").status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(Get("1.2.12.1.2.3.4").status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(Get("1.2.12.1.2.3.0").status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(Get("1.2.12.1.2.3.3").bytes, std::string("\x0a\x00\x00\x03", 4));
  EXPECT_EQ(Get("1.2.12.1.1.3.3").number, 1);
  EXPECT_EQ(Get("1.2.12.1.2.4.1").status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(Get("1.2.12.1.2.3").status, SNMP_ERRORSTATUS_NOSUCHNAME);
}

TEST_F(TableHandlersTest, NodeAddressWalkStopsAtTheFirstMissingRow) {
  AddAddresses({1, 2, 4});
  EXPECT_THAT(test::Walk("1.2.12.1", 10),
              ElementsAre("1.2.12.1.1.1.1", "1.2.12.1.1.2.1", "1.2.12.1.2.1.1", "1.2.12.1.2.2.1"));
  // The sub-index restarts at 1 only where it would become 2.
  EXPECT_EQ(GetNext("1.2.12.1.1.2.5").name, "1.2.12.1.1.2.6");
  EXPECT_EQ(GetNext("1.2.12.1.1.2").name, "1.2.12.1.1.2.1");
  EXPECT_EQ(GetNext("1.2.12.1.2.2.1").name, test::kEndOfView);
}

TEST_F(TableHandlersTest, ClusterAddressTableIsWalkedColumnByColumnBeforeTheTypeName) {
  AddClusterAddresses({1, 2});
  AddNodes({1});
  EXPECT_THAT(test::Walk("1.2.7.0", 7), ElementsAre("1.2.8.1.1.1", "1.2.8.1.1.2", "1.2.8.1.2.1", "1.2.8.1.2.2",
                                                    "1.2.9.0", "1.2.11.1.1.1", "1.2.11.1.2.1"));
  EXPECT_EQ(GetNext("1.2.8").name, "1.2.8.1.1.1");
  EXPECT_EQ(GetNext("1.2.8.1.2.2").name, "1.2.9.0");
  EXPECT_EQ(GetNext("1.2.9").name, "1.2.9.0");
  EXPECT_EQ(GetNext("1.2.9.0").name, "1.2.11.1.1.1");
  EXPECT_EQ(GetNext("1.2.10").name, "1.2.11.1.1.1");
  EXPECT_EQ(GetNext("1.2.8.1.2.1").bytes, std::string("\xc0\x00\x02\x02", 4));
  EXPECT_EQ(Get("1.2.8.1.1.2").number, 2);
}

TEST_F(TableHandlersTest, TypeNameIsLastBeforeTheEndWhenTheNodeTablesAreEmpty) {
  AddClusterAddresses({1});
  EXPECT_EQ(GetNext("1.2.8.1.2.1").name, "1.2.9.0");
  EXPECT_EQ(GetNext("1.2.9.0").name, test::kEndOfView);
}

TEST_F(TableHandlersTest, EmptyNodeTableLeadsToTheNodeAddressTable) {
  AddAddresses({1});
  EXPECT_EQ(GetNext("1.2.9.0").name, "1.2.12.1.1.1.1");
  EXPECT_EQ(GetNext("1.2.11.1.4.7").name, "1.2.12.1.1.1.1");
}

}  // namespace
}  // namespace velmon

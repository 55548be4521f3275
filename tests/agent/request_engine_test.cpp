// Request processing through SnmpExtensionQuery with no cluster software and
// empty watch tables: the scalar groups, the walk past the empty tables, the
// end of the view, refused names and failure paths.
#include "agent/request_engine.h"
#include "agent/support/snmp_request.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <velplat/faults.h>

namespace velmon {
namespace {

using test::Answer;
using test::Arcs;
using test::GetNext;
using test::GetNextFull;
using test::kEndOfView;
using test::Request;
using test::Under;
using testing::ElementsAre;

AsnObjectIdentifier View(std::vector<UINT>& arcs) { return AsnObjectIdentifier{static_cast<UINT>(arcs.size()), arcs.data()}; }

TEST(FindGroup, PlacesNamesByDeepestMatchingGroupThenByPrefix) {
  struct Case {
    std::vector<UINT> name;
    bool found;
    UINT group;
  };
  const Case cases[] = {
      {Arcs("1.3.6.1.4.1.32473.2.18.22"), true, 0},  // a leading part of the view
      {Under(""), true, 0},                           // the view itself
      {Under("1.1.2.0"), true, 0},
      {Under("1.2.9.0"), true, 1},
      {Under("1.2.8.1.2.7"), true, 2},
      {Under("1.2.11"), true, 3},  // leading part of the node table's entry
      {Under("1.2.11.1.4.3"), true, 3},
      {Under("1.2.12.1.2.3.1"), true, 4},
      {Under("1.2.10"), false, 0},
      {Under("1.2.8.2"), false, 0},
      {Under("1.3"), false, 0},
      {Arcs("1.3.6.1.4.1.32473.2.18.22.4.2"), false, 0},
  };
  for (const Case& c : cases) {
    std::vector<UINT> arcs = c.name;
    UINT group = 99;
    EXPECT_EQ(FindGroup(View(arcs), &group), c.found) << test::Dotted(View(arcs));
    if (c.found) {
      EXPECT_EQ(group, c.group) << test::Dotted(View(arcs));
    }
  }
}

TEST(GetNext, WalkFromTheViewVisitsScalarsInMibOrderAndSkipsEmptyTables) {
  EXPECT_THAT(test::Walk(""), ElementsAre("1.1.1.0", "1.1.2.0", "1.2.1.0", "1.2.2.0", "1.2.3.0", "1.2.4.0", "1.2.5.0",
                                          "1.2.6.0", "1.2.7.0", "1.2.9.0"));
  Answer first = GetNext("");
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.name, "1.1.1.0");
  EXPECT_EQ(first.type, ASN_INTEGER);
  EXPECT_EQ(first.number, 2);
}

TEST(GetNext, StepsFromEveryScalarToTheNextInstance) {
  EXPECT_EQ(GetNext("1.1.1.0").name, "1.1.2.0");
  EXPECT_EQ(GetNext("1.1.2.0").name, "1.2.1.0");
  EXPECT_EQ(GetNext("1.1").name, "1.1.1.0");
  EXPECT_EQ(GetNext("1.1.0").name, "1.1.1.0");
  EXPECT_EQ(GetNext("1.2").name, "1.2.1.0");
  EXPECT_EQ(GetNext("1.2.6.0").name, "1.2.7.0");
  EXPECT_EQ(GetNext("1.2.6.0.7.7").name, "1.2.7.0");
  EXPECT_EQ(GetNext("1.2.7").name, "1.2.7.0");
}

TEST(GetNext, ClusterTypeNameFollowsTheEmptyClusterAddressTable) {
  EXPECT_EQ(GetNext("1.2.7.0").name, "1.2.9.0");
  EXPECT_EQ(GetNext("1.2.8").name, "1.2.9.0");
  EXPECT_EQ(GetNext("1.2.8.2").name, "1.2.9.0");
  EXPECT_EQ(GetNext("1.2.8.1.2.4").name, "1.2.9.0");
  EXPECT_EQ(GetNext("1.2.9").name, "1.2.9.0");
  EXPECT_EQ(GetNext("1.2.9").type, ASN_OCTETSTRING);
}

TEST(GetNext, PastTheLastInstanceAnswersTheNameAfterTheView) {
  for (const char* start : {"1.2.9.0", "1.2.10", "1.2.13", "1.2.12.1.2.9.1", "2", "1.3"}) {
    Request request({Under(start)});
    ASSERT_TRUE(request.Run(SNMP_PDU_GETNEXT));
    EXPECT_EQ(request.status, 0) << start;
    EXPECT_EQ(test::Dotted(request[0].name), kEndOfView) << start;
    EXPECT_EQ(request[0].value.asnType, ASN_NULL) << start;
    EXPECT_EQ(request.index, -7) << start;
  }
}

TEST(GetNext, NamesBeforeOrAroundTheView) {
  EXPECT_EQ(GetNextFull(Arcs("1.3.6.1.4.1.32473.2.18.22")).name, "1.1.1.0");
  EXPECT_EQ(GetNextFull(Arcs("1.3.6")).name, "1.1.1.0");
  EXPECT_EQ(GetNextFull(Arcs("1.3.6.1.4.1.32473.2.18.22.3")).name, kEndOfView);
  EXPECT_EQ(GetNextFull(Arcs("1.3.6.1.4.1.32473.2.18.22.4.2")).name, kEndOfView);
  EXPECT_EQ(GetNextFull(Arcs("1.3.6.1.4.1.32473.2.18.22.4.1.0")).name, "1.1.1.0");
  EXPECT_EQ(GetNextFull({}).name, "1.1.1.0");  // the empty name leads every name
}

TEST(GetNext, OverlongNamesEndTheWalkInsteadOfOverflowing) {
  std::vector<UINT> name = Under("1.2.11.1.1.1");
  name.resize(300, 7);
  Answer answer = GetNextFull(name);
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.name, kEndOfView);
}

TEST(Get, ScalarInstanceMustBeExactlyDotZero) {
  for (const char* name : {"1.2.1", "1.2.1.1", "1.2.1.0.0", "1.1.3.0", "1.1.0", "1.2.8.0", "1.2.10.0", "1.2", ""}) {
    Answer answer = test::Get(name);
    EXPECT_EQ(answer.status, SNMP_ERRORSTATUS_NOSUCHNAME) << name;
    EXPECT_EQ(answer.type, ASN_NULL) << name;
  }
  Answer typeName = test::Get("1.2.9.0");
  EXPECT_EQ(typeName.status, 0);
  EXPECT_EQ(typeName.type, ASN_OCTETSTRING);
  EXPECT_EQ(typeName.bytes, "");
}

TEST(Get, TableRowsThatDoNotExistAreNoSuchName) {
  for (const char* name : {"1.2.8.1.1.1", "1.2.11.1.2.1", "1.2.12.1.2.1.1", "1.2.11.1.5.1", "1.2.11.1.2"})
    EXPECT_EQ(test::Get(name).status, SNMP_ERRORSTATUS_NOSUCHNAME) << name;
}

TEST(Query, SetIsRefusedAtTheFirstBinding) {
  Request request({Under("1.1.1.0"), Under("1.2.3.0")});
  request[0].value.asnType = ASN_INTEGER;
  request[0].value.asnValue.number = 5;
  ASSERT_TRUE(request.Run(SNMP_PDU_SET));
  EXPECT_EQ(request.status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(request.index, 1);
  EXPECT_EQ(request[0].value.asnValue.number, 5);
}

TEST(Query, BadMiddleBindingStopsTheRequestThere) {
  Request request({Under("1.1.1.0"), Under("1.2.10.0"), Under("1.1.2.0")});
  ASSERT_TRUE(request.Run(SNMP_PDU_GET));
  EXPECT_EQ(request.status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(request.index, 2);
  EXPECT_EQ(request[0].value.asnType, ASN_INTEGER);
  EXPECT_EQ(request[0].value.asnValue.number, 2);
  EXPECT_EQ(request[2].value.asnType, ASN_NULL);
  EXPECT_EQ(test::Relative(request[2].name), "1.1.2.0");
}

TEST(Query, EmptyListLeavesStatusAndIndexUntouched) {
  Request request({});
  EXPECT_TRUE(request.Run(SNMP_PDU_GET));
  EXPECT_EQ(request.status, -7);
  EXPECT_EQ(request.index, -7);
}

TEST(Query, SuccessfulRequestsLeaveTheIndexUntouched) {
  Request request({Under("1.1.1.0"), Under("1.1.2.0")});
  ASSERT_TRUE(request.Run(SNMP_PDU_GET));
  EXPECT_EQ(request.status, 0);
  EXPECT_EQ(request.index, -7);
}

TEST(Query, UnknownRequestTypesAreGenErr) {
  Request request({Under("1.1.1.0")});
  ASSERT_TRUE(request.Run(SNMP_PDU_GETBULK));
  EXPECT_EQ(request.status, SNMP_ERRORSTATUS_GENERR);
  EXPECT_EQ(request.index, 1);
}

TEST(Query, AllocationFailuresGiveGenErrAndLeaveTheBindingAsItCame) {
  using velplat::faults::FailNext;
  using velplat::faults::Point;
  {
    Request request({Under("1.2.1.0")});
    FailNext(Point::SnmpAlloc);  // the string's value
    request.Run(SNMP_PDU_GET);
    EXPECT_EQ(request.status, SNMP_ERRORSTATUS_GENERR);
    EXPECT_EQ(request.index, 1);
    EXPECT_EQ(request[0].value.asnType, ASN_NULL);
  }
  {
    Request request({Under("")});
    FailNext(Point::SnmpAlloc);  // the new name
    request.Run(SNMP_PDU_GETNEXT);
    EXPECT_EQ(request.status, SNMP_ERRORSTATUS_GENERR);
    EXPECT_EQ(test::Dotted(request[0].name), "1.3.6.1.4.1.32473.2.18.22.4.1");
    EXPECT_EQ(request[0].value.asnType, ASN_NULL);
  }
  {
    Request request({Under("1.2.13")});
    FailNext(Point::SnmpAlloc);  // the end-of-view name
    request.Run(SNMP_PDU_GETNEXT);
    EXPECT_EQ(request.status, SNMP_ERRORSTATUS_GENERR);
    EXPECT_EQ(test::Relative(request[0].name), "1.2.13");
  }
  {
    Request request({Under("1.1.1.0")});
    FailNext(Point::HeapAlloc);  // the row context
    request.Run(SNMP_PDU_GET);
    EXPECT_EQ(request.status, SNMP_ERRORSTATUS_GENERR);
    EXPECT_EQ(request[0].value.asnType, ASN_NULL);
  }
  velplat::faults::Clear();
  EXPECT_EQ(test::Get("1.2.1.0").status, 0);
}

}  // namespace
}  // namespace velmon

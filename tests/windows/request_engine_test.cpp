// The request engine through velmon.dll's exports under Wine: exact Get
// answers, noSuchName for names outside the view and in its gaps, GetNext
// order across groups for names of different lengths (compared arc by arc,
// not length first as Wine's SnmpUtilOidCmp does), Set refused, and the
// error index of multi-binding requests. No cluster software is present,
// so the answers are the vendor-0 defaults.
#include "support/agent_dll.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wintest {
namespace {

const std::vector<UINT> kEndOfView = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 2};

class RequestEngine : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(StartedAgent().module, nullptr) << "velmon.dll did not load or start, error " << GetLastError();
  }
  const AgentDll& agent_ = StartedAgent();

  // The name GetNext answers for `start`, after checking the request succeeded.
  std::vector<UINT> NextName(const std::vector<UINT>& start) {
    Bindings request({start});
    EXPECT_TRUE(request.Run(agent_, SNMP_PDU_GETNEXT));
    EXPECT_EQ(request.status, SNMP_ERRORSTATUS_NOERROR);
    return Arcs(request[0].name);
  }
};

TEST_F(RequestEngine, GetAnswersScalarInstancesWithTheirTypesAndValues) {
  Bindings request({InView({1, 1, 1, 0}), InView({1, 1, 2, 0}), InView({1, 2, 1, 0}), InView({1, 2, 3, 0}),
                    InView({1, 2, 4, 0}), InView({1, 2, 5, 0}), InView({1, 2, 6, 0}), InView({1, 2, 9, 0})});
  ASSERT_TRUE(request.Run(agent_, SNMP_PDU_GET));
  EXPECT_EQ(request.status, SNMP_ERRORSTATUS_NOERROR);
  EXPECT_EQ(request.index, -7) << "a successful request leaves the index alone";
  EXPECT_EQ(request[0].value.asnType, ASN_INTEGER);
  EXPECT_EQ(request[0].value.asnValue.number, 2);
  EXPECT_EQ(request[1].value.asnType, ASN_INTEGER);
  EXPECT_EQ(request[1].value.asnValue.number, 0);
  EXPECT_EQ(request[2].value.asnType, ASN_OCTETSTRING);
  EXPECT_EQ(request[2].value.asnValue.string.length, 0u);
  EXPECT_EQ(request[3].value.asnValue.number, 3);
  EXPECT_EQ(request[4].value.asnValue.number, 1);
  ASSERT_EQ(request[5].value.asnType, ASN_OBJECTIDENTIFIER);
  EXPECT_EQ(Arcs(request[5].value.asnValue.object), kEndOfView);
  EXPECT_EQ(request[6].value.asnType, ASN_INTEGER);
  EXPECT_EQ(request[6].value.asnValue.number, 0);
  EXPECT_EQ(request[7].value.asnType, ASN_OCTETSTRING);
  // The names come back as they were asked.
  EXPECT_EQ(Arcs(request[7].name), InView({1, 2, 9, 0}));
}

TEST_F(RequestEngine, GetOfNamesInGapsOrOutsideTheViewIsNoSuchName) {
  const std::vector<std::vector<UINT>> names = {
      InView({1, 2, 1}),       InView({1, 2, 1, 1}),    InView({1, 2, 1, 0, 0}), InView({1, 1, 3, 0}),
      InView({1, 1, 0}),       InView({1, 2, 8, 0}),    InView({1, 2, 10, 0}),   InView({1, 2}),
      InView({}),              InView({1, 2, 8, 1, 1, 1}), InView({1, 2, 11, 1, 2, 1}),
      InView({1, 2, 12, 1, 2, 1, 1}), {1, 3, 6, 1, 2, 1, 1, 1, 0}, kEndOfView};
  for (const auto& name : names) {
    Bindings request({name});
    ASSERT_TRUE(request.Run(agent_, SNMP_PDU_GET));
    EXPECT_EQ(request.status, SNMP_ERRORSTATUS_NOSUCHNAME) << "name of " << name.size() << " arcs";
    EXPECT_EQ(request.index, 1);
    EXPECT_EQ(request[0].value.asnType, ASN_NULL);
  }
}

TEST_F(RequestEngine, GetNextOrdersNamesArcByArcWhateverTheirLength) {
  // Longer names that sort before shorter ones, and the reverse.
  EXPECT_EQ(NextName(InView({1, 1})), InView({1, 1, 1, 0}));
  EXPECT_EQ(NextName(InView({1, 1, 0})), InView({1, 1, 1, 0}));
  EXPECT_EQ(NextName(InView({1, 1, 2, 0})), InView({1, 2, 1, 0}));
  EXPECT_EQ(NextName(InView({1, 2, 6, 0, 7, 7})), InView({1, 2, 7, 0}));
  EXPECT_EQ(NextName(InView({1, 2, 7, 0})), InView({1, 2, 9, 0}));
  EXPECT_EQ(NextName(InView({1, 2, 8, 1, 2, 4})), InView({1, 2, 9, 0}));
  EXPECT_EQ(NextName(InView({1, 2, 9})), InView({1, 2, 9, 0}));
  // Names before, around and after the view, of every length.
  EXPECT_EQ(NextName({1, 3, 6}), InView({1, 1, 1, 0}));
  EXPECT_EQ(NextName({1, 3, 6, 1, 4, 1, 32473, 2, 18, 22}), InView({1, 1, 1, 0}));
  EXPECT_EQ(NextName(InView({0})), InView({1, 1, 1, 0}));
  EXPECT_EQ(NextName(InView({1, 1, 0, 5, 5, 5, 5})), InView({1, 1, 1, 0}));
  EXPECT_EQ(NextName(InView({1, 1, 1, 0, 0})), InView({1, 1, 2, 0}));
  for (const auto& start : {InView({1, 2, 9, 0}), InView({1, 2, 10}), InView({1, 2, 12, 1, 2, 9, 1}), InView({2}),
                            std::vector<UINT>{1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 3},
                            std::vector<UINT>{1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 3, 9, 9, 9, 9, 9}, kEndOfView}) {
    Bindings request({start});
    ASSERT_TRUE(request.Run(agent_, SNMP_PDU_GETNEXT));
    EXPECT_EQ(request.status, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(Arcs(request[0].name), kEndOfView) << "from a name of " << start.size() << " arcs";
    EXPECT_EQ(request[0].value.asnType, ASN_NULL);
  }
}

TEST_F(RequestEngine, SetIsRefusedAtTheFirstBindingAndTheValueKept) {
  Bindings request({InView({1, 1, 1, 0}), InView({1, 2, 3, 0})});
  request[0].value.asnType = ASN_INTEGER;
  request[0].value.asnValue.number = 5;
  ASSERT_TRUE(request.Run(agent_, SNMP_PDU_SET));
  EXPECT_EQ(request.status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(request.index, 1);
  EXPECT_EQ(request[0].value.asnType, ASN_INTEGER);
  EXPECT_EQ(request[0].value.asnValue.number, 5);
  // The scalar is unchanged.
  Bindings check({InView({1, 1, 1, 0})});
  ASSERT_TRUE(check.Run(agent_, SNMP_PDU_GET));
  EXPECT_EQ(check[0].value.asnValue.number, 2);
}

TEST_F(RequestEngine, ErrorIndexPointsAtTheFailingBindingOfSeveral) {
  Bindings get({InView({1, 1, 1, 0}), InView({1, 1, 2, 0}), InView({1, 2, 10, 0}), InView({1, 2, 3, 0})});
  ASSERT_TRUE(get.Run(agent_, SNMP_PDU_GET));
  EXPECT_EQ(get.status, SNMP_ERRORSTATUS_NOSUCHNAME);
  EXPECT_EQ(get.index, 3);
  EXPECT_EQ(get[0].value.asnType, ASN_INTEGER);
  EXPECT_EQ(get[0].value.asnValue.number, 2);
  // Bindings after the failing one are not answered.
  EXPECT_EQ(get[3].value.asnType, ASN_NULL);
  EXPECT_EQ(Arcs(get[3].name), InView({1, 2, 3, 0}));

  // GetNext answers every binding independently in one request.
  Bindings next({InView({1, 1, 1, 0}), InView({1, 2, 6, 0, 7, 7}), InView({1, 1})});
  ASSERT_TRUE(next.Run(agent_, SNMP_PDU_GETNEXT));
  EXPECT_EQ(next.status, SNMP_ERRORSTATUS_NOERROR);
  EXPECT_EQ(Arcs(next[0].name), InView({1, 1, 2, 0}));
  EXPECT_EQ(Arcs(next[1].name), InView({1, 2, 7, 0}));
  EXPECT_EQ(Arcs(next[2].name), InView({1, 1, 1, 0}));

  Bindings bulk({InView({1, 1, 1, 0})});
  ASSERT_TRUE(bulk.Run(agent_, SNMP_PDU_GETBULK));
  EXPECT_EQ(bulk.status, SNMP_ERRORSTATUS_GENERR);
  EXPECT_EQ(bulk.index, 1);
}

}  // namespace
}  // namespace wintest

// The cluster attributes of group .1.2 and the MIB revision of group .1.1
// while no back-end answers for the vendor.
#include "agent/cluster_attributes.h"
#include "agent/support/snmp_request.h"

#include <gtest/gtest.h>
#include <velplat/faults.h>

namespace velmon {
namespace {

using test::Get;

TEST(ClusterAttributes, DefaultsWhileNoClusterSoftwareIsKnown) {
  ASSERT_EQ(ClusterVendor.load(), kVendorNone);
  for (const char* name : {"1.2.1.0", "1.2.2.0", "1.2.7.0", "1.2.9.0"}) {
    auto answer = Get(name);
    EXPECT_EQ(answer.status, 0) << name;
    EXPECT_EQ(answer.type, ASN_OCTETSTRING) << name;
    EXPECT_EQ(answer.bytes, "") << name;
  }
  EXPECT_EQ(Get("1.2.3.0").number, 3);
  EXPECT_EQ(Get("1.2.4.0").number, 1);
  EXPECT_EQ(Get("1.2.6.0").number, 0);
  EXPECT_EQ(Get("1.2.6.0").type, ASN_INTEGER);
  auto mib = Get("1.2.5.0");
  EXPECT_EQ(mib.type, ASN_OBJECTIDENTIFIER);
  EXPECT_EQ(mib.oid, "1.3.6.1.4.1.32473.2.18.22.4.2");
  EXPECT_EQ(Get("1.1.1.0").number, 2);
  EXPECT_EQ(Get("1.1.2.0").number, 0);
}

TEST(ClusterAttributes, TypeNameFollowsTheVendor) {
  ClusterVendor = kVendorMscs;
  EXPECT_EQ(Get("1.2.9.0").bytes, "MSCS");
  ClusterVendor = kVendorOracle;
  auto oracle = Get("1.2.9.0");
  EXPECT_EQ(oracle.bytes.size(), 19u);
  EXPECT_EQ(oracle.bytes, "Oracle RAC Cluster ");
  ClusterVendor = kVendorBrennic;
  EXPECT_EQ(Get("1.2.9.0").bytes, "");
  ClusterVendor = 77;
  EXPECT_EQ(Get("1.2.9.0").bytes, "");
  EXPECT_EQ(Get("1.2.3.0").number, 3);  // unknown vendors answer the defaults
}

TEST(ClusterAttributes, HandlerErrorLeavesTheValueAsThePduCarriedIt) {
  // The row context is the first heap block; the identifier's text buffer
  // the second.
  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc, 1, 1);
  test::Request request({test::Under("1.2.5.0")});
  request[0].value.asnType = ASN_INTEGER;
  request[0].value.asnValue.number = 41;
  request.Run(SNMP_PDU_GET);
  EXPECT_EQ(request.status, SNMP_ERRORSTATUS_GENERR);
  EXPECT_EQ(request.index, 1);
  EXPECT_EQ(request[0].value.asnType, ASN_INTEGER);
  EXPECT_EQ(request[0].value.asnValue.number, 41);
}

}  // namespace
}  // namespace velmon

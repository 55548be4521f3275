// Failure paths of value marshalling that the request tests do not reach:
// the SNMP allocator failing for an object identifier (its conversion, with
// the fallback identifier 0.0, and its copy into the binding), for an
// address value, and for the name GetNext places at the cluster type name.
#include "agent/support/snmp_request.h"
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/faults.h>
#include <winsock.h>

#include <memory>
#include <string>
#include <vector>

namespace velmon {
namespace {

using test::Request;
using test::Under;
using velplat::faults::FailNext;
using velplat::faults::Point;

// Runs one Get of `relative` whose binding arrives carrying INTEGER 41; the
// failures are armed after the binding list exists, so that they reach the
// agent and not the test's own allocations.
std::unique_ptr<Request> GetCarrying41(const std::string& relative, unsigned count = 0, unsigned skip = 0) {
  auto request = std::make_unique<Request>(std::vector<std::vector<UINT>>{Under(relative)});
  (*request)[0].value.asnType = ASN_INTEGER;
  (*request)[0].value.asnValue.number = 41;
  if (count) FailNext(Point::SnmpAlloc, count, skip);
  request->Run(SNMP_PDU_GET);
  velplat::faults::Clear();
  return request;
}

TEST(MarshallingFailures, MibIdentifierFallsBackToZeroZeroThenFailsWithGenErr) {
  // The first conversion cannot allocate its arcs: the fallback text answers.
  auto fallback = GetCarrying41("1.2.5.0", 1);
  EXPECT_EQ(fallback->status, SNMP_ERRORSTATUS_NOERROR);
  EXPECT_EQ((*fallback)[0].value.asnType, ASN_OBJECTIDENTIFIER);
  EXPECT_EQ(test::Dotted((*fallback)[0].value.asnValue.object), "0.0");

  // Neither conversion can allocate: genErr, the binding as it came.
  auto neither = GetCarrying41("1.2.5.0", 2);
  EXPECT_EQ(neither->status, SNMP_ERRORSTATUS_GENERR);
  EXPECT_EQ(neither->index, 1);
  EXPECT_EQ((*neither)[0].value.asnType, ASN_INTEGER);
  EXPECT_EQ((*neither)[0].value.asnValue.number, 41);

  // The conversion succeeds but its copy into the binding cannot allocate.
  auto copy = GetCarrying41("1.2.5.0", 1, 1);
  EXPECT_EQ(copy->status, SNMP_ERRORSTATUS_GENERR);
  EXPECT_EQ((*copy)[0].value.asnType, ASN_INTEGER);
  EXPECT_EQ((*copy)[0].value.asnValue.number, 41);

  EXPECT_EQ(test::Get("1.2.5.0").oid, "1.3.6.1.4.1.32473.2.18.22.4.2");
}

TEST(MarshallingFailures, AddressValueAndTypeNamePlacementFailWithGenErr) {
  ASSERT_EQ(1, AddClusterAddressEntryWithAddress("Cluster IP Address", 1, inet_addr("10.0.0.1")));

  auto address = GetCarrying41("1.2.8.1.2.1", 1);  // the four address bytes
  EXPECT_EQ(address->status, SNMP_ERRORSTATUS_GENERR);
  EXPECT_EQ(address->index, 1);
  EXPECT_EQ((*address)[0].value.asnType, ASN_INTEGER);
  EXPECT_EQ(test::Get("1.2.8.1.2.1").bytes, std::string("\x0a\x00\x00\x01", 4));

  // GetNext from the last cluster address row places the cluster type name;
  // without memory for its value (the first allocation) or for the name
  // itself (the second) the binding keeps the name it came with.
  for (unsigned skip : {0u, 1u}) {
    Request next({Under("1.2.8.1.2.1")});
    FailNext(Point::SnmpAlloc, 1, skip);
    next.Run(SNMP_PDU_GETNEXT);
    EXPECT_EQ(next.status, SNMP_ERRORSTATUS_GENERR) << skip;
    EXPECT_EQ(test::Relative(next[0].name), "1.2.8.1.2.1") << skip;
    velplat::faults::Clear();
  }
  EXPECT_EQ(test::GetNext("1.2.8.1.2.1").name, "1.2.9.0");
}

}  // namespace
}  // namespace velmon

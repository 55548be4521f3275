// The Brennic Clusters cluster attributes as the MIB answers them while
// ClusterVendor is 1.
#include "agent/cluster_attributes.h"
#include "agent/support/snmp_request.h"
#include "backends/brennic/support/brennic_world.h"

#include <gtest/gtest.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/services.h>

#include <string>

namespace velmon {
namespace {

using test::Get;

class BrennicAttributes : public testing::Test {
 protected:
  void SetUp() override { ClusterVendor = kVendorBrennic; }
};

TEST_F(BrennicAttributes, VendorTypeAndDefaultsOfTheOtherVariables) {
  auto vendor = Get("1.2.1.0");
  EXPECT_EQ(vendor.type, ASN_OCTETSTRING);
  EXPECT_EQ(vendor.bytes, "Brennicorp");
  EXPECT_EQ(Get("1.2.4.0").number, 3);
  EXPECT_EQ(Get("1.2.5.0").oid, "1.3.6.1.4.1.32473.2.18.22.4.2");
  EXPECT_EQ(Get("1.2.9.0").bytes, "");
}

TEST_F(BrennicAttributes, VersionIsTheProductKeysFirstSubkey) {
  EXPECT_EQ(Get("1.2.2.0").status, 0);
  EXPECT_EQ(Get("1.2.2.0").bytes, "");  // no product key
  velplat::registry::CreateKey(test::kProductPath);
  EXPECT_EQ(Get("1.2.2.0").bytes, "");  // no subkey
  EXPECT_EQ(Get("1.2.2.0").status, 0);
  velplat::registry::CreateKey(std::string(test::kProductPath) + "\\currentVERSION");
  EXPECT_EQ(Get("1.2.2.0").bytes, "1.1 SP3");
  velplat::registry::CreateKey(std::string(test::kProductPath) + "\\2.0");  // enumerates first
  EXPECT_EQ(Get("1.2.2.0").bytes, "2.0");
  velplat::registry::DeleteKeyTree(std::string(test::kProductPath) + "\\2.0");
  std::string longest = "1" + std::string(253, 'v');  // enumerates first; the most a 255-byte read holds
  velplat::registry::CreateKey(std::string(test::kProductPath) + "\\" + longest);
  EXPECT_EQ(Get("1.2.2.0").bytes, longest);
}

TEST_F(BrennicAttributes, ServiceStatusTellsDatabaseAndManagerState) {
  EXPECT_EQ(Get("1.2.3.0").number, 3);  // no failover database
  velplat::registry::CreateKey(test::kDatabasePath);
  test::DefineManagerService(SERVICE_RUNNING);
  EXPECT_EQ(Get("1.2.3.0").number, 4);  // a database that lists nothing
  velplat::registry::CreateKey(test::kNodesPath);
  EXPECT_EQ(Get("1.2.3.0").number, 6);
  for (DWORD state : {SERVICE_START_PENDING, SERVICE_STOP_PENDING, SERVICE_PAUSED}) {
    velplat::services::SetState("Kestavar", state);
    EXPECT_EQ(Get("1.2.3.0").number, 6) << state;
  }
  velplat::services::SetState("Kestavar", SERVICE_STOPPED);
  EXPECT_EQ(Get("1.2.3.0").number, 4);
  velplat::services::SetState("Kestavar", SERVICE_RUNNING);
  velplat::faults::FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get("1.2.3.0").number, 4);  // a manager that cannot be asked
  velplat::faults::FailCall("OpenSCManagerA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get("1.2.3.0").number, 4);
  velplat::services::Remove("Kestavar");
  EXPECT_EQ(Get("1.2.3.0").number, 4);
}

TEST_F(BrennicAttributes, LocalNodeIndexIsTheComputersZeroBasedPosition) {
  velplat::registry::SetString(test::kComputerNamePath, "ComputerName", "NODEB");
  EXPECT_EQ(Get("1.2.6.0").number, 0);  // no Nodes key
  test::AddNode({"nodea", std::nullopt, ""});
  test::AddNode({"nodeb", std::nullopt, ""});
  test::AddNode({"nodec", std::nullopt, ""});
  EXPECT_EQ(Get("1.2.6.0").number, 1);
  velplat::registry::SetString(test::kComputerNamePath, "ComputerName", "nodec");
  EXPECT_EQ(Get("1.2.6.0").number, 2);
  velplat::registry::SetString(test::kComputerNamePath, "ComputerName", "nodeb2");  // not a prefix match
  EXPECT_EQ(Get("1.2.6.0").number, 0);
  velplat::registry::DeleteValue(test::kComputerNamePath, "ComputerName");
  EXPECT_EQ(Get("1.2.6.0").number, 0);
}

TEST_F(BrennicAttributes, ClusterNameCountsItsTerminatingZero) {
  EXPECT_EQ(Get("1.2.7.0").bytes, "");  // no parameters key
  EXPECT_EQ(Get("1.2.7.0").status, 0);
  velplat::registry::CreateKey(test::kParametersPath);
  EXPECT_EQ(Get("1.2.7.0").bytes, "");  // no value
  EXPECT_EQ(Get("1.2.7.0").status, 0);
  velplat::registry::SetString(test::kParametersPath, "ClusterName", "alpha");
  auto name = Get("1.2.7.0");
  EXPECT_EQ(name.status, 0);
  EXPECT_EQ(name.bytes, std::string("alpha\0", 6));
  // A value the 255-byte read cannot hold is not answered.
  velplat::registry::SetString(test::kParametersPath, "ClusterName", std::string(255, 'c'));
  EXPECT_EQ(Get("1.2.7.0").bytes, "");
  velplat::registry::SetString(test::kParametersPath, "ClusterName", std::string(254, 'c'));
  EXPECT_EQ(Get("1.2.7.0").bytes, std::string(254, 'c') + '\0');
}

}  // namespace
}  // namespace velmon

// Failure paths of the MSCS attribute operations that the detection tests do
// not reach: a cluster that answers but whose information call fails, and
// buffers or conversions that cannot be allocated (empty texts, status 0),
// and a first group that cannot be listed or opened (service status 3 or 4).
// Every handle taken is released on each of these paths.
#include "backends/mscs/attributes.h"
#include "backends/mscs/cluster_api.h"
#include "backends/mscs/support/mscs_world.h"

#include <gtest/gtest.h>
#include <velplat/cluster.h>
#include <velplat/faults.h>

#include <string>

namespace velmon::mscs {
namespace {

using velplat::faults::FailCall;
using velplat::faults::FailNext;
using velplat::faults::Point;
namespace cluster = velplat::cluster;

using TextOperation = Status (*)(AttrString*, UINT*, const RowIndex*);

struct TextAnswer {
  Status status;
  std::string text;
};

TextAnswer Text(TextOperation operation) {
  char buffer[256] = {};
  AttrString value{0, buffer};
  UINT scratch = 0;
  UINT arc = 0;
  RowIndex row{1, &arc};
  Status status = operation(&value, &scratch, &row);
  return {status, std::string(buffer, value.length)};
}

INT ServiceStatus(Status* status) {
  INT value = -1;
  UINT scratch = 0;
  UINT arc = 0;
  RowIndex row{1, &arc};
  *status = GetMscsServiceStatus(&value, &scratch, &row);
  return value;
}

class MscsAttributeFailures : public testing::Test {
 protected:
  void SetUp() override {
    test::InstallCluster(test::ThreeNodeCluster());
    ASSERT_EQ(1, BindClusterApi());
  }
};

TEST_F(MscsAttributeFailures, TextsAreEmptyWithStatusZeroWhenTheInformationCannotBeHad) {
  struct Operation {
    const char* name;
    TextOperation call;
    bool converts;  // the version is composed, not converted
  };
  const Operation operations[] = {{"vendor", &GetMscsVendorName, true},
                                  {"version", &GetMscsSoftwareVersion, false},
                                  {"cluster name", &GetMscsClusterName, true}};
  for (const Operation& op : operations) {
    ASSERT_FALSE(Text(op.call).text.empty()) << op.name << " answers while nothing fails";

    FailCall("GetClusterInformation", RPC_S_SERVER_UNAVAILABLE);
    TextAnswer refused = Text(op.call);
    EXPECT_EQ(kNoError, refused.status) << op.name;
    EXPECT_EQ("", refused.text) << op.name;

    FailNext(Point::HeapAlloc);  // the name buffer
    TextAnswer noBuffer = Text(op.call);
    EXPECT_EQ(kNoError, noBuffer.status) << op.name;
    EXPECT_EQ("", noBuffer.text) << op.name;

    if (op.converts) {
      FailNext(Point::HeapAlloc, 1, 1);  // the converted text
      TextAnswer noCopy = Text(op.call);
      EXPECT_EQ(kNoError, noCopy.status) << op.name;
      EXPECT_EQ("", noCopy.text) << op.name;
    }
    velplat::faults::Clear();
    EXPECT_EQ(0u, cluster::OpenHandleCount()) << op.name;
  }
}

TEST_F(MscsAttributeFailures, ServiceStatusTellsAnUnlistableClusterFromAnUnopenableGroup) {
  Status status = -1;
  ASSERT_EQ(6, ServiceStatus(&status));

  FailNext(Point::HeapAlloc);  // the group name buffer: the cluster cannot be read
  EXPECT_EQ(3, ServiceStatus(&status));
  EXPECT_EQ(kNoError, status);

  FailCall("ClusterEnum", ERROR_NO_MORE_ITEMS);  // no first group
  EXPECT_EQ(4, ServiceStatus(&status));
  EXPECT_EQ(kNoError, status);

  FailCall("OpenClusterGroup", ERROR_GROUP_NOT_FOUND);
  EXPECT_EQ(4, ServiceStatus(&status));
  EXPECT_EQ(kNoError, status);

  FailCall("OpenCluster", RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(3, ServiceStatus(&status));
  EXPECT_EQ(kGenErr, status);

  EXPECT_EQ(0u, cluster::OpenHandleCount());
  EXPECT_EQ(6, ServiceStatus(&status));
}

}  // namespace
}  // namespace velmon::mscs

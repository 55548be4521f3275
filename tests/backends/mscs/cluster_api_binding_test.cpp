// Binding the cluster library at run time: rows in storage order, the
// library missing, and exports missing one at a time, each replaced by a
// fallback that leaves its caller as a call that did nothing would.
#include "backends/mscs/cluster_address.h"
#include "backends/mscs/cluster_api.h"
#include "backends/mscs/cluster_objects.h"
#include "backends/mscs/cluster_model.h"
#include "backends/mscs/detection.h"
#include "backends/mscs/support/mscs_world.h"
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/faults.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velmon::mscs {
namespace {

const std::vector<std::string> kStorageOrder = {
    "ClusterRegCloseKey",     "ClusterRegOpenKey",      "ClusterRegEnumKey",     "GetClusterResourceKey",
    "GetClusterGroupKey",     "GetClusterKey",          "GetClusterNetworkKey",  "OpenCluster",
    "CreateClusterNotifyPort", "OpenClusterNetwork",    "ClusterOpenEnum",       "ClusterGroupOpenEnum",
    "GetClusterGroupState",   "GetClusterNodeState",    "GetClusterResourceState", "OpenClusterNode",
    "OpenClusterGroup",       "OpenClusterResource",    "CloseCluster",          "CloseClusterGroup",
    "CloseClusterNode",       "CloseClusterResource",   "CloseClusterNetwork",   "CloseClusterNotifyPort",
    "GetClusterInformation",  "ClusterEnum",            "ClusterCloseEnum",      "GetClusterNodeId",
    "ClusterGroupCloseEnum",  "ClusterGroupEnum",       "ClusterRegEnumValue",   "GetClusterNotify",
};

std::string NodeName(UINT row) {
  char buffer[kTextBufferSize] = {};
  AttrString value{0, buffer};
  UINT scratch = 0;
  RowIndex index{1, &row};
  GetMscsNodeName(&value, &scratch, &index);
  return std::string(buffer, static_cast<size_t>(value.length));
}

TEST(ClusterApiBinding, EveryRowGetsTheLibraryEntryPointInStorageOrder) {
  test::InstallCluster(test::ThreeNodeCluster());
  ASSERT_EQ(1, BindClusterApi());
  HMODULE library = LoadLibraryA("CLUSAPI");
  for (size_t row = 0; row < kClusterApiRows; ++row) {
    EXPECT_EQ(kStorageOrder[row], ClusterApiTable[row].name);
    EXPECT_EQ(GetProcAddress(library, ClusterApiTable[row].name), ClusterApiTable[row].address) << row;
    EXPECT_TRUE(ClusterApiExported(static_cast<ClusterFn>(row))) << row;
  }
  EXPECT_EQ("NODE2", NodeName(1));
}

TEST(ClusterApiBinding, MissingLibraryLeavesEveryRowNull) {
  EXPECT_EQ(0, BindClusterApi());  // no cluster software on this machine
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::faults::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(0, BindClusterApi());
  for (const ClusterApiRow& row : ClusterApiTable) EXPECT_EQ(nullptr, row.address) << row.name;
  // Unbound rows answer like the fallback: nothing found, nothing opened.
  EXPECT_EQ("", NodeName(0));
  EXPECT_EQ(nullptr, CallCluster<ClusterFn::OpenCluster>(nullptr));
}

TEST(ClusterApiBinding, MissingBoundOnlyExportChangesNoBehaviour) {
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::faults::FailCall("GetProcAddress:ClusterGroupEnum", ERROR_PROC_NOT_FOUND);
  ASSERT_EQ(1, BindClusterApi());
  EXPECT_FALSE(ClusterApiExported(ClusterFn::ClusterGroupEnum));
  EXPECT_NE(nullptr, ClusterApiTable[static_cast<size_t>(ClusterFn::ClusterGroupEnum)].address);
  DWORD type = 77, length = 5;
  WCHAR name[4] = {u'x', 0, 0, 0};
  EXPECT_EQ(0u, CallCluster<ClusterFn::ClusterGroupEnum>(static_cast<HGROUPENUM>(nullptr), DWORD{0}, &type, name,
                                                           &length));
  EXPECT_EQ(77u, type);  // nothing written
  EXPECT_EQ(5u, length);
  EXPECT_EQ(u'x', name[0]);
  EXPECT_EQ("NODE3", NodeName(2));
  EXPECT_EQ(2, DetectMscsCluster());
}

class FirstRowsMissing : public testing::TestWithParam<int> {};

TEST_P(FirstRowsMissing, EachFallsBackAloneAndReadsAsSuccess) {
  const int missing = GetParam();
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::faults::FailCall(std::string("GetProcAddress:") + kStorageOrder[missing], ERROR_PROC_NOT_FOUND);
  ASSERT_EQ(1, BindClusterApi());
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(row != missing, ClusterApiExported(static_cast<ClusterFn>(row))) << kStorageOrder[row];

  HKEY untouched = reinterpret_cast<HKEY>(0x1234);
  WCHAR name[8] = {};
  DWORD length = 8;
  const LONG close = CallCluster<ClusterFn::ClusterRegCloseKey>(static_cast<HKEY>(nullptr));
  const LONG open = CallCluster<ClusterFn::ClusterRegOpenKey>(static_cast<HKEY>(nullptr), u"Parameters",
                                                              static_cast<REGSAM>(KEY_READ), &untouched);
  const LONG enumerate = CallCluster<ClusterFn::ClusterRegEnumKey>(static_cast<HKEY>(nullptr), DWORD{0}, name,
                                                                   &length, static_cast<PFILETIME>(nullptr));
  // The library rejects the null key; the fallback reports success and
  // writes nothing.
  EXPECT_EQ(missing == 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE, close);
  EXPECT_EQ(missing == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE, open);
  EXPECT_EQ(missing == 2 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE, enumerate);
  EXPECT_EQ(reinterpret_cast<HKEY>(0x1234), untouched);
}

INSTANTIATE_TEST_SUITE_P(Rows1To3, FirstRowsMissing, testing::Values(0, 1, 2),
                         [](const auto& row) { return kStorageOrder[static_cast<size_t>(row.param)]; });

TEST(ClusterApiBinding, LibraryWithoutOpenClusterBindsAndDetectionFindsNoCluster) {
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::faults::FailCall("GetProcAddress:OpenCluster", ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(5, DetectMscsCluster());
  EXPECT_FALSE(ClusterApiExported(ClusterFn::OpenCluster));
  EXPECT_TRUE(ClusterApiExported(ClusterFn::CloseCluster));
  EXPECT_EQ(nullptr, CallCluster<ClusterFn::OpenCluster>(nullptr));
}

TEST(ClusterApiBinding, LibraryWithoutClusterEnumEndsEveryScanFindingNothing) {
  test::InstallCluster(test::ThreeNodeCluster());
  velplat::faults::FailCall("GetProcAddress:ClusterEnum", ERROR_PROC_NOT_FOUND);
  ASSERT_EQ(1, BindClusterApi());
  ClusterIpAddress.store(0x04030201);
  // Guard: a scan that never ends would hold the test for ever, so it runs
  // on a thread of its own and the process ends when it outlasts the wait.
  std::packaged_task<std::optional<DWORD>()> scan([] {
    SetMscsClusterAddress();
    char name[kTextBufferSize] = {};
    EXPECT_EQ(0, FindClusterObjectAt(CLUSTER_ENUM_NODE, 0, name));
    return FindClusterObjectByName(CLUSTER_ENUM_GROUP, "Cluster Group");
  });
  std::future<std::optional<DWORD>> found = scan.get_future();
  std::thread(std::move(scan)).detach();
  if (found.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    std::fprintf(stderr, "the resource scan did not end without ClusterEnum\n");
    std::_Exit(1);
  }
  EXPECT_EQ(std::nullopt, found.get());
  EXPECT_EQ(0x04030201u, ClusterIpAddress.load());  // no cluster address resource was found
  EXPECT_EQ("", NodeName(0));
}

}  // namespace
}  // namespace velmon::mscs

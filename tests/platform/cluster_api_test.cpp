// The cluster library as programs meet it: loaded by name only where the
// cluster is installed, its exports, enumerations and objects by name, the
// version record, node identifiers, and the cluster database keys that agree
// with the registry of the member machine.
#include <clusapi.h>
#include <windows.h>

#include <velplat/cluster.h>
#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace cluster = velplat::cluster;

std::u16string W(const std::string& text) { return std::u16string(text.begin(), text.end()); }
std::string N(const WCHAR* text) {
  std::string narrow;
  for (; *text; ++text) narrow.push_back(static_cast<char>(*text));
  return narrow;
}

cluster::ClusterSpec ThreeNodes() {
  cluster::ClusterSpec shape;
  shape.name = "ALPHA";
  shape.buildNumber = 224;
  shape.vendorId = "Vendor Text";
  shape.nodes = {{"NODE1", "", ClusterNodeUp}, {"NODE2", "", ClusterNodeDown}, {"NODE12", "12", ClusterNodeUp}};
  shape.groups = {{"Cluster Group"}, {"Hidden Group", false}};
  shape.resources = {
      {"Cluster IP Address", "IP Address", "Cluster Group",
       {{"Address", std::string("10.0.0.100")}, {"SubnetMask", std::string("255.255.255.0")}, {"EnableNetBIOS", DWORD{1}}}},
      {"Broken Disk", "Physical Disk", "Cluster Group", {}, false},
      {"Cluster Name", "Network Name", "Cluster Group", {{"Name", std::string("ALPHA")}}},
  };
  shape.networks = {{"Public", "10.0.0.0", "255.255.255.0"}};
  shape.interfaces = {{"1", "Public", "10.0.0.1"}, {"2", "Public", "10.0.0.2"}};
  return shape;
}

class ClusterApi : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    velplat::World::Get().SetLocal("NODE1");
  }
  void TearDown() override {
    for (auto close : closers_) close();
    EXPECT_EQ(0u, cluster::OpenHandleCount());
  }
  HCLUSTER Open() {
    HCLUSTER handle = OpenCluster(nullptr);
    EXPECT_NE(nullptr, handle);
    closers_.push_back([handle] { CloseCluster(handle); });
    return handle;
  }
  // Every name of an enumeration, read with a roomy buffer.
  static std::vector<std::string> Names(HCLUSTER handle, DWORD types) {
    std::vector<std::string> names;
    HCLUSENUM list = ClusterOpenEnum(handle, types);
    WCHAR name[64];
    for (DWORD i = 0;; ++i) {
      DWORD length = 64, type = 0;
      if (ClusterEnum(list, i, &type, name, &length) != ERROR_SUCCESS) break;
      names.push_back(std::to_string(type) + ":" + N(name));
    }
    ClusterCloseEnum(list);
    return names;
  }
  std::vector<std::function<void()>> closers_;
};

TEST_F(ClusterApi, LibraryLoadsOnlyOnMembersAndCanWithholdAnExport) {
  EXPECT_EQ(nullptr, LoadLibraryA("CLUSAPI"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());

  cluster::Install(ThreeNodes());
  HMODULE library = LoadLibraryA("CLUSAPI");
  ASSERT_NE(nullptr, library);
  EXPECT_EQ(library, LoadLibraryA("clusapi.dll"));
  EXPECT_EQ(reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&OpenCluster)),
            GetProcAddress(library, "OpenCluster"));
  EXPECT_EQ(nullptr, GetProcAddress(library, "opencluster"));  // export names keep their case
  EXPECT_EQ(nullptr, GetProcAddress(library, "EvictClusterNode"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());

  velplat::faults::FailCall("GetProcAddress:GetClusterNotify", ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(nullptr, GetProcAddress(library, "GetClusterNotify"));
  EXPECT_NE(nullptr, GetProcAddress(library, "GetClusterNotify"));
  EXPECT_TRUE(FreeLibrary(library));
  EXPECT_NE(nullptr, GetProcAddress(library, "ClusterEnum"));  // stays loaded

  velplat::World::Get().SetLocal("OUTSIDER");
  EXPECT_EQ(nullptr, LoadLibraryA("CLUSAPI"));
}

TEST_F(ClusterApi, EnumerationsFollowTheDescriptionAndAnnounceLengths) {
  cluster::Install(ThreeNodes());
  HCLUSTER handle = Open();
  EXPECT_EQ((std::vector<std::string>{"1:NODE1", "1:NODE2", "1:NODE12", "8:Cluster Group", "8:Hidden Group"}),
            Names(handle, CLUSTER_ENUM_GROUP | CLUSTER_ENUM_NODE));

  HCLUSENUM list = ClusterOpenEnum(handle, CLUSTER_ENUM_RESOURCE);
  cluster::AddNode("ALPHA", {"NODE3"});  // an open enumeration keeps its snapshot
  WCHAR name[64];
  DWORD length = 18;  // "Cluster IP Address" without room for its terminator
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), ClusterEnum(list, 0, nullptr, name, &length));
  EXPECT_EQ(18u, length);
  length = 19;
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), ClusterEnum(list, 0, nullptr, name, &length));
  EXPECT_EQ("Cluster IP Address", N(name));
  EXPECT_EQ(18u, length);
  length = 64;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), ClusterEnum(list, 3, nullptr, name, &length));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), ClusterCloseEnum(list));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), ClusterCloseEnum(list));
  EXPECT_EQ(4u, Names(handle, CLUSTER_ENUM_NODE).size());

  HGROUP group = OpenClusterGroup(handle, W("cluster group").c_str());
  ASSERT_NE(nullptr, group);
  HGROUPENUM contents = ClusterGroupOpenEnum(group, CLUSTER_GROUP_ENUM_CONTAINS);
  length = 64;
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), ClusterGroupEnum(contents, 2, nullptr, name, &length));
  EXPECT_EQ("Cluster Name", N(name));
  ClusterGroupCloseEnum(contents);
  CloseClusterGroup(group);
}

TEST_F(ClusterApi, ObjectsOpenByNameUnlessDescribedAsUnopenable) {
  cluster::Install(ThreeNodes());
  HCLUSTER handle = Open();
  EXPECT_EQ(nullptr, OpenClusterResource(handle, W("Broken Disk").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NOT_FOUND), GetLastError());
  EXPECT_EQ(nullptr, OpenClusterGroup(handle, W("Hidden Group").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_GROUP_NOT_FOUND), GetLastError());
  EXPECT_EQ(nullptr, OpenClusterNode(handle, W("NODE9").c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLUSTER_NODE_NOT_FOUND), GetLastError());

  HNODE node = OpenClusterNode(handle, W("node2").c_str());
  ASSERT_NE(nullptr, node);
  EXPECT_EQ(ClusterNodeDown, GetClusterNodeState(node));
  WCHAR id[4];
  DWORD length = 4;
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetClusterNodeId(node, id, &length));
  EXPECT_EQ("2", N(id));
  HNODE twelve = OpenClusterNode(handle, W("NODE12").c_str());
  length = 2;
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), GetClusterNodeId(twelve, id, &length));
  EXPECT_EQ(2u, length);
  length = 4;
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetClusterNodeId(nullptr, id, &length));  // the local node
  EXPECT_EQ("1", N(id));

  cluster::RemoveNode("ALPHA", "NODE2");
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLUSTER_NODE_NOT_FOUND), GetClusterNodeId(node, id, &length));
  EXPECT_TRUE(CloseClusterNode(node));
  EXPECT_FALSE(CloseClusterNode(node));
  EXPECT_TRUE(CloseClusterNode(twelve));
  EXPECT_EQ(ClusterNodeStateUnknown, GetClusterNodeState(node));

  velplat::World::Get().SetLocal("NODE2");  // evicted: no cluster, no identifier
  EXPECT_EQ(nullptr, OpenCluster(nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CLUSTER_NODE_NOT_MEMBER), GetClusterNodeId(nullptr, id, &length));
}

TEST_F(ClusterApi, InformationFillsTheFirstReleaseVersionRecord) {
  cluster::Install(ThreeNodes());
  HCLUSTER handle = Open();
  // Either record may be passed: the later one is the larger, and only the
  // bytes the size field announces are written.
  CLUSTERVERSIONINFO version;
  std::memset(&version, 0xAB, sizeof version);
  version.dwVersionInfoSize = sizeof(CLUSTERVERSIONINFO_NT4);
  WCHAR name[6];
  DWORD length = 6;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetClusterInformation(handle, name, &length, &version));
  EXPECT_EQ("ALPHA", N(name));
  EXPECT_EQ(5u, length);
  EXPECT_EQ(268u, version.dwVersionInfoSize);
  EXPECT_EQ(1, version.MajorVersion);
  EXPECT_EQ(0, version.MinorVersion);
  EXPECT_EQ(224, version.BuildNumber);
  EXPECT_EQ("Vendor Text", N(version.szVendorId));
  EXPECT_EQ(0, version.szCSDVersion[0]);
  EXPECT_EQ(0xABABABABu, version.dwClusterHighestVersion) << "past the first release's record";
  EXPECT_EQ(0xABABABABu, version.dwReserved);

  version.dwVersionInfoSize = sizeof version;
  length = 6;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetClusterInformation(handle, name, &length, &version));
  EXPECT_EQ(static_cast<DWORD>(CLUSTER_MAKE_VERSION(1, 224)), version.dwClusterHighestVersion);
  EXPECT_EQ(version.dwClusterHighestVersion, version.dwClusterLowestVersion);
  EXPECT_EQ(0u, version.dwFlags);

  length = 5;
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), GetClusterInformation(handle, name, &length, nullptr));
  version.dwVersionInfoSize = sizeof(CLUSTERVERSIONINFO_NT4) - 4;
  length = 6;
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetClusterInformation(handle, name, &length, &version));
  EXPECT_EQ((std::vector<DWORD>{268, 284, 264}), cluster::VersionRecordSizes("alpha"));

  // A member whose cluster service does not answer refuses new handles only.
  cluster::SetAnswering(velplat::World::Get().Local(), false);
  EXPECT_EQ(nullptr, OpenCluster(nullptr));
  EXPECT_EQ(static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE), GetLastError());
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetClusterInformation(handle, name, &length, nullptr));
  HCLUSTER byName = OpenCluster(W("alpha").c_str());  // another member answers for the cluster
  EXPECT_NE(nullptr, byName);
  CloseCluster(byName);
}

TEST_F(ClusterApi, DatabaseKeysAgreeWithTheMembersRegistry) {
  cluster::Install(ThreeNodes());
  HCLUSTER handle = Open();
  HRESOURCE resource = OpenClusterResource(handle, W("Cluster IP Address").c_str());
  HKEY key = GetClusterResourceKey(resource, KEY_READ);
  ASSERT_NE(nullptr, key);
  HKEY parameters = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, ClusterRegOpenKey(key, W("Parameters").c_str(), KEY_READ, &parameters));

  WCHAR valueName[32];
  BYTE data[64];
  DWORD nameLength = 32, size = sizeof data, type = 0;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            ClusterRegEnumValue(parameters, 0, valueName, &nameLength, &type, data, &size));
  EXPECT_EQ("Address", N(valueName));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(22u, size);  // "10.0.0.100" as wide text with its terminator
  EXPECT_EQ("10.0.0.100", N(reinterpret_cast<WCHAR*>(data)));
  nameLength = 32, size = 4;
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA),
            ClusterRegEnumValue(parameters, 1, valueName, &nameLength, &type, data, &size));
  EXPECT_EQ(28u, size);
  nameLength = 32, size = sizeof data;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            ClusterRegEnumValue(parameters, 2, valueName, &nameLength, &type, data, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(4u, size);
  nameLength = 32, size = sizeof data;
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS),
            ClusterRegEnumValue(parameters, 3, valueName, &nameLength, &type, data, &size));

  // The same entries through the ordinary registry of this member; an edit
  // there shows through the cluster key.
  const auto subkeys = velplat::registry::SubkeyNames("HKLM\\Cluster\\Resources");
  ASSERT_EQ(3u, subkeys.size());
  const std::string path = "HKLM\\Cluster\\Resources\\" + subkeys[0];
  EXPECT_EQ("Cluster IP Address", std::string(reinterpret_cast<const char*>(
                                      velplat::registry::GetValue(path, "Name")->data.data())));
  velplat::registry::SetString(path + "\\Parameters", "Address", "10.0.0.200");
  nameLength = 32, size = sizeof data;
  ClusterRegEnumValue(parameters, 0, valueName, &nameLength, &type, data, &size);
  EXPECT_EQ("10.0.0.200", N(reinterpret_cast<WCHAR*>(data)));
  const auto interfaces = velplat::registry::SubkeyNames("HKLM\\Cluster\\NetworkInterfaces");
  const auto networks = velplat::registry::SubkeyNames("HKLM\\Cluster\\Networks");
  ASSERT_EQ(2u, interfaces.size());
  EXPECT_EQ(networks[0], std::string(reinterpret_cast<const char*>(
                             velplat::registry::GetValue("HKLM\\Cluster\\NetworkInterfaces\\" + interfaces[1], "Network")
                                 ->data.data())));

  // Deleting the Parameters key on this member hides it from the cluster key.
  velplat::registry::DeleteKeyTree(path + "\\Parameters");
  HKEY missing = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, ClusterRegOpenKey(key, W("Parameters").c_str(), KEY_READ, &missing));
  EXPECT_EQ(nullptr, missing);

  HKEY root = GetClusterKey(handle, KEY_READ);
  WCHAR subkey[32];
  DWORD subkeyLength = 32;
  EXPECT_EQ(ERROR_SUCCESS, ClusterRegEnumKey(root, 0, subkey, &subkeyLength, nullptr));
  EXPECT_EQ("Groups", N(subkey));
  for (HKEY open : {root, parameters, key}) EXPECT_EQ(ERROR_SUCCESS, ClusterRegCloseKey(open));
  CloseClusterResource(resource);
}

TEST_F(ClusterApi, MembershipFollowsNodesJoiningAndLeaving) {
  cluster::Install(ThreeNodes());
  EXPECT_TRUE(velplat::services::Get("ClusSvc").has_value());
  cluster::AddNode("ALPHA", {"NODE3"});
  EXPECT_EQ("13", cluster::Describe("ALPHA").nodes.back().id);  // after the highest identifier
  velplat::Machine* joined = velplat::World::Get().Find("NODE3");
  ASSERT_NE(nullptr, joined);
  EXPECT_TRUE(velplat::registry::KeyExists("HKLM\\Cluster\\Resources", joined));
  EXPECT_TRUE(velplat::registry::KeyExists("HKLM\\Cluster\\Nodes\\13"));  // on the other members too
  EXPECT_EQ(SERVICE_RUNNING, velplat::services::Get("ClusSvc", joined)->status.dwCurrentState);

  EXPECT_TRUE(cluster::RemoveNode("ALPHA", "node3"));
  EXPECT_FALSE(cluster::RemoveNode("ALPHA", "NODE3"));
  EXPECT_FALSE(velplat::registry::KeyExists("HKLM\\Cluster\\Nodes\\13"));
  EXPECT_FALSE(velplat::registry::KeyExists("HKLM\\Cluster", joined));
  EXPECT_FALSE(velplat::services::Get("ClusSvc", joined).has_value());  // as on a machine that never joined
  EXPECT_EQ(3u, cluster::Describe("ALPHA").nodes.size());
}

}  // namespace

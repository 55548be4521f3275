// Edits of a running cluster: groups, resources, networks and the version
// change in the description and in every member's database, each raising
// its notification, and keys generated for added objects never collide
// with keys in use.
#include <clusapi.h>
#include <windows.h>

#include <velplat/cluster.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace cluster = velplat::cluster;
namespace reg = velplat::registry;

class ClusterEdits : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::World::Get().SetLocal("NODE1");
    cluster::ClusterSpec shape;
    shape.name = "ALPHA";
    shape.nodes = {{"NODE1"}, {"NODE2"}};
    shape.networks = {{"Public", "10.0.0.0", "255.255.255.0"}, {"Private", "10.1.0.0", "255.255.255.0"}};
    cluster::Install(shape);
    handle_ = OpenCluster(nullptr);
    ASSERT_NE(nullptr, handle_);
    port_ = CreateClusterNotifyPort(static_cast<HCHANGE>(INVALID_HANDLE_VALUE), handle_, 0xFFFFFFFF, 1);
    ASSERT_NE(nullptr, port_);
  }
  void TearDown() override {
    EXPECT_EQ(1u, cluster::OpenPortCount("ALPHA"));
    CloseClusterNotifyPort(port_);
    CloseCluster(handle_);
  }
  // The next queued notification as "TYPE name"; "" when none.
  std::string Next() {
    WCHAR name[64] = {};
    DWORD length = 63, type = 0;
    DWORD_PTR key = 0;
    if (GetClusterNotify(port_, &key, &type, name, &length, 0) != ERROR_SUCCESS) return "";
    std::string text = std::to_string(type) + " ";
    for (WCHAR* c = name; *c; ++c) text.push_back(static_cast<char>(*c));
    return text;
  }
  static std::string Event(DWORD type, const std::string& name) { return std::to_string(type) + " " + name; }
  static bool OnEveryMember(const std::string& path) {
    return reg::KeyExists(path, velplat::World::Get().Find("NODE1")) &&
           reg::KeyExists(path, velplat::World::Get().Find("NODE2"));
  }

  HCLUSTER handle_ = nullptr;
  HCHANGE port_ = nullptr;
};

TEST_F(ClusterEdits, GroupsResourcesAndNetworksComeAndGoOnEveryMemberWithTheirNotifications) {
  cluster::GroupSpec group;
  group.name = "Disk Group";
  ASSERT_TRUE(cluster::AddGroup("ALPHA", group));
  EXPECT_EQ(Next(), Event(CLUSTER_CHANGE_GROUP_ADDED, "Disk Group"));
  cluster::ResourceSpec disk;
  disk.name = "Disk Q:";
  disk.type = "Physical Disk";
  disk.group = "Disk Group";
  disk.parameters = {{"Signature", DWORD{0x1234}}};
  ASSERT_TRUE(cluster::AddResource("ALPHA", disk));
  EXPECT_EQ(Next(), Event(CLUSTER_CHANGE_RESOURCE_ADDED, "Disk Q:"));
  const cluster::ClusterSpec added = cluster::Describe("ALPHA");
  const std::string resourceKey = "Cluster\\Resources\\" + added.resources.at(0).key;
  EXPECT_TRUE(OnEveryMember(resourceKey + "\\Parameters"));
  EXPECT_TRUE(OnEveryMember("Cluster\\Groups\\" + added.groups.at(0).key));

  ASSERT_TRUE(cluster::RemoveResource("ALPHA", "disk q:"));
  EXPECT_EQ(Next(), Event(CLUSTER_CHANGE_RESOURCE_DELETED, "Disk Q:"));
  ASSERT_TRUE(cluster::RemoveGroup("ALPHA", "Disk Group"));
  EXPECT_EQ(Next(), Event(CLUSTER_CHANGE_GROUP_DELETED, "Disk Group"));
  EXPECT_FALSE(reg::KeyExists(resourceKey));
  EXPECT_FALSE(cluster::RemoveGroup("ALPHA", "Disk Group"));
  EXPECT_EQ(Next(), "");

  // The first network leaves; one added then gets a key of its own, not the
  // second network's (which a count of the networks would give it).
  const std::string privateKey = added.networks.at(1).key;
  ASSERT_TRUE(cluster::RemoveNetwork("ALPHA", "Public"));
  EXPECT_EQ(Next(), Event(CLUSTER_CHANGE_NETWORK_DELETED, "Public"));
  ASSERT_TRUE(cluster::AddNetwork("ALPHA", {"Backup", "10.2.0.0", "255.255.0.0"}));
  EXPECT_EQ(Next(), Event(CLUSTER_CHANGE_NETWORK_ADDED, "Backup"));
  const cluster::ClusterSpec now = cluster::Describe("ALPHA");
  ASSERT_EQ(now.networks.size(), 2u);
  EXPECT_NE(now.networks[1].key, privateKey);
  auto privateName = reg::GetValue("Cluster\\Networks\\" + privateKey, "Name", velplat::World::Get().Find("NODE2"));
  ASSERT_TRUE(privateName);
  EXPECT_EQ(std::string(privateName->data.begin(), privateName->data.end() - 1), "Private");
}

TEST_F(ClusterEdits, ANewVersionIsWhatGetClusterInformationAnswersNext) {
  ASSERT_TRUE(cluster::SetVersion("ALPHA", 5, 1, 2600, "Vendor X", "SP2"));
  EXPECT_EQ(Next(), Event(CLUSTER_CHANGE_CLUSTER_PROPERTY, "ALPHA"));
  CLUSTERVERSIONINFO version{};
  version.dwVersionInfoSize = sizeof version;
  WCHAR name[64] = {};
  DWORD length = 63;
  ASSERT_EQ(GetClusterInformation(handle_, name, &length, &version), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(version.MajorVersion, 5);
  EXPECT_EQ(version.BuildNumber, 2600);
  EXPECT_FALSE(cluster::SetVersion("NOSUCH", 5, 1, 2600, "", ""));
}

}  // namespace

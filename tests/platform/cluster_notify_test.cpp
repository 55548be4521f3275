// Cluster notification ports on the virtual clock: which changes reach a
// port and in what order, the timed wait, a name that does not fit, and a
// port that the cluster invalidates under a waiting reader.
#include <clusapi.h>
#include <windows.h>

#include <velplat/clock.h>
#include <velplat/cluster.h>
#include <velplat/faults.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace cluster = velplat::cluster;
using namespace std::chrono_literals;

struct Event {
  DWORD result;
  DWORD type;
  std::string name;
};

class ClusterNotify : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::World::Get().SetLocal("NODE1");
    cluster::ClusterSpec shape;
    shape.name = "ALPHA";
    shape.nodes = {{"NODE1"}, {"NODE2"}};
    cluster::Install(shape);
    handle_ = OpenCluster(nullptr);
    ASSERT_NE(nullptr, handle_);
    port_ = CreateClusterNotifyPort(static_cast<HCHANGE>(INVALID_HANDLE_VALUE), handle_, 0xF, 1);
    ASSERT_NE(nullptr, port_);
  }
  void TearDown() override {
    CloseClusterNotifyPort(port_);
    CloseCluster(handle_);
    EXPECT_EQ(0u, cluster::OpenHandleCount());
  }
  Event Next(DWORD waitMs, DWORD room = 64) {
    WCHAR name[64] = {};
    DWORD length = room, type = 0;
    DWORD_PTR key = 0;
    Event event{GetClusterNotify(port_, &key, &type, name, &length, waitMs), type, ""};
    if (event.result == ERROR_SUCCESS) {
      EXPECT_EQ(1u, key);
      EXPECT_EQ(length, std::u16string(name).size());
      for (WCHAR* c = name; *c; ++c) event.name.push_back(static_cast<char>(*c));
    }
    return event;
  }
  HCLUSTER handle_ = nullptr;
  HCHANGE port_ = nullptr;
};

TEST_F(ClusterNotify, NodeChangesArriveInOrderThroughTheFilter) {
  EXPECT_EQ(1u, cluster::OpenPortCount("ALPHA"));
  cluster::SetNodeState("ALPHA", "node2", ClusterNodeDown);
  cluster::Post("ALPHA", CLUSTER_CHANGE_GROUP_STATE, "Cluster Group");  // outside the filter
  cluster::AddNode("ALPHA", {"NODE3"});
  cluster::Post("ALPHA", CLUSTER_CHANGE_NODE_PROPERTY, "NODE1");
  cluster::Post("ALPHA", CLUSTER_CHANGE_RESOURCE_STATE, "Disk", cluster::Delivery::AnyFilter);
  cluster::RemoveNode("ALPHA", "NODE3");

  std::vector<std::string> seen;
  for (Event event = Next(0); event.result == ERROR_SUCCESS; event = Next(0))
    seen.push_back(std::to_string(event.type) + ":" + event.name);
  EXPECT_EQ((std::vector<std::string>{"1:NODE2", "4:NODE3", "8:NODE1", "256:Disk", "2:NODE3"}), seen);

  // An existing port widens its filter.
  EXPECT_EQ(port_, CreateClusterNotifyPort(port_, handle_, CLUSTER_CHANGE_GROUP_STATE, 1));
  cluster::Post("ALPHA", CLUSTER_CHANGE_GROUP_STATE, "Cluster Group");
  EXPECT_EQ(static_cast<DWORD>(CLUSTER_CHANGE_GROUP_STATE), Next(0).type);
}

TEST_F(ClusterNotify, WaitEndsAtItsTimeoutOrAtTheNextEvent) {
  velplat::clock::VirtualTimeScope virtualTime;
  std::atomic<int> done{0};
  std::vector<Event> events(2);
  std::thread reader([&] {
    events[0] = Next(1000);
    done = 1;
    events[1] = Next(1000);
    done = 2;
  });
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 5s));
  velplat::clock::Advance(999ms);
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 5s));
  EXPECT_EQ(0, done.load());
  velplat::clock::Advance(1ms);
  ASSERT_TRUE(velplat::clock::WaitForBlocked(1, 5s));  // the second wait
  EXPECT_EQ(1, done.load());
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), events[0].result);
  ASSERT_TRUE(cluster::WaitForIdlePorts("ALPHA", 5s));
  cluster::SetNodeState("ALPHA", "NODE1", ClusterNodePaused);  // wakes the reader without the clock
  reader.join();
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), events[1].result);
  EXPECT_EQ("NODE1", events[1].name);
  EXPECT_EQ(1000u, velplat::clock::NowMs());
}

TEST_F(ClusterNotify, NameThatDoesNotFitStaysQueued) {
  cluster::AddNode("ALPHA", {"NODE-WITH-LONG-NAME"});
  Event tooSmall = Next(0, 19);
  EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), tooSmall.result);
  Event taken = Next(0, 20);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), taken.result);
  EXPECT_EQ("NODE-WITH-LONG-NAME", taken.name);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), Next(0).result);
}

TEST_F(ClusterNotify, InvalidatedPortWakesItsReaderWithInvalidHandle) {
  std::atomic<DWORD> result{0};
  std::thread reader([&] { result = Next(INFINITE).result; });
  ASSERT_TRUE(cluster::WaitForIdlePorts("ALPHA", 5s));
  cluster::InvalidatePorts("ALPHA");
  reader.join();
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), result.load());
  cluster::SetNodeState("ALPHA", "NODE2", ClusterNodeDown);  // no longer queued
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), Next(0).result);
  EXPECT_EQ(0u, cluster::OpenPortCount("ALPHA"));
  EXPECT_FALSE(cluster::WaitForIdlePorts("ALPHA", 10ms));
  velplat::faults::FailCall("CreateClusterNotifyPort", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(nullptr, CreateClusterNotifyPort(static_cast<HCHANGE>(INVALID_HANDLE_VALUE), handle_, 0xF, 1));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
}

}  // namespace

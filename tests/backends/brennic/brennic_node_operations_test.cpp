// The Brennic node operations: descriptions from the nodes' comments, node
// positions, node addresses through the resolver, and key paths that do not
// fit the agent's buffers.
#include "backends/brennic/node_key_path.h"
#include "backends/brennic/node_operations.h"
#include "backends/brennic/support/brennic_world.h"
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/faults.h>
#include <velplat/network.h>
#include <velplat/registry.h>
#include <winsock.h>

#include <cstring>
#include <string>

namespace velmon {
namespace {

using brennic::FindBrennicNodePosition;
using brennic::LoadNodeDescription;
using brennic::ResolveBrennicNodeAddress;

constexpr DWORD Address(BYTE a, BYTE b, BYTE c, BYTE d) {
  return static_cast<DWORD>(a) | static_cast<DWORD>(b) << 8 | static_cast<DWORD>(c) << 16 | static_cast<DWORD>(d) << 24;
}

TEST(BrennicNodes, DescriptionIsTheNodesCommentAndEveryStateIsOne) {
  test::AddNode({"alpha", "rack 4, left", ""});
  test::AddNode({"bravo", std::nullopt, ""});                                 // Global key without a comment
  velplat::registry::CreateKey(std::string(test::kNodesPath) + "\\charlie");  // no Global key
  char description[kTextBufferSize];
  for (int position : {1, 2, 3}) {
    std::memset(description, 'x', sizeof description);
    PendingNodeState = 0;
    EXPECT_EQ(LoadNodeDescription(description, position), 1) << position;
    EXPECT_EQ(PendingNodeState.load(), 1) << position;
    EXPECT_STREQ(description, "") << position;  // 3: no such node
  }
  EXPECT_EQ(LoadNodeDescription(description, 0), 1);
  EXPECT_STREQ(description, "rack 4, left");

  // The operation copies what the registry reports, terminator included, up
  // to the length it is given.
  char buffer[kTextBufferSize] = {};
  AttrString value{255, buffer};
  UINT scratch = 0;
  UINT arc = 0;
  RowIndex row{1, &arc};
  EXPECT_EQ(brennic::GetBrennicNodeComment(&value, &scratch, &row), 0);
  EXPECT_EQ(value.length, 13);
  value.length = 4;
  std::memset(buffer, 0, sizeof buffer);
  brennic::GetBrennicNodeComment(&value, &scratch, &row);
  EXPECT_EQ(value.length, 4);
  EXPECT_STREQ(buffer, "rack");
  arc = 1;
  value.length = 77;
  EXPECT_EQ(brennic::GetBrennicNodeComment(&value, &scratch, &row), 0);
  EXPECT_EQ(value.length, 77);  // nothing found: left alone
}

TEST(BrennicNodes, LongCommentIsCutToTheBufferAndTerminated) {
  test::AddNode({"alpha", std::string(254, 'c'), ""});
  char description[kTextBufferSize];
  std::memset(description, 'x', sizeof description);
  LoadNodeDescription(description, 0);
  EXPECT_EQ(std::string(description), std::string(254, 'c'));
  test::AddNode({"alpha", std::string(300, 'c'), ""});  // more than a read takes: no comment
  LoadNodeDescription(description, 0);
  EXPECT_STREQ(description, "");
}

TEST(BrennicNodes, PositionsAreZeroBasedAndCaseBlind) {
  EXPECT_EQ(FindBrennicNodePosition("nodea"), -1);  // no Nodes key
  test::AddNode({"nodeb", std::nullopt, ""});
  test::AddNode({"NodeA", std::nullopt, ""});
  EXPECT_EQ(FindBrennicNodePosition("nodea"), 0);
  EXPECT_EQ(FindBrennicNodePosition("NODEB"), 1);
  EXPECT_EQ(FindBrennicNodePosition("node"), -1);
  EXPECT_EQ(FindBrennicNodePosition("nodeb.example"), -1);
}

TEST(BrennicNodes, AddressesComeFromTheResolver) {
  test::AddNode({"nodea", std::nullopt, "192.0.2.10"});
  test::AddNode({"node1", std::nullopt, "192.0.2.1"});
  test::AddNode({"node12", std::nullopt, "192.0.2.12"});
  test::AddNode({"ghost", std::nullopt, ""});  // unknown to the resolver
  PendingNodeAddress = 0x55555555;
  EXPECT_EQ(ResolveBrennicNodeAddress("nodea"), Address(192, 0, 2, 10));
  EXPECT_EQ(PendingNodeAddress.load(), Address(192, 0, 2, 10));
  EXPECT_EQ(ResolveBrennicNodeAddress("NODEA"), Address(192, 0, 2, 10));
  // The subkey that equals the name wins over one that begins it.
  EXPECT_EQ(ResolveBrennicNodeAddress("node12"), Address(192, 0, 2, 12));
  EXPECT_EQ(ResolveBrennicNodeAddress("node1"), Address(192, 0, 2, 1));
  // A longer name resolves the subkey it begins with.
  EXPECT_EQ(ResolveBrennicNodeAddress("nodea.cluster.example"), Address(192, 0, 2, 10));
  PendingNodeAddress = 0x55555555;
  EXPECT_EQ(ResolveBrennicNodeAddress("ghost"), 0u);
  EXPECT_EQ(PendingNodeAddress.load(), 0u);
  PendingNodeAddress = 0x55555555;
  EXPECT_EQ(ResolveBrennicNodeAddress("gone"), 0u);  // no subkey names it
  EXPECT_EQ(PendingNodeAddress.load(), 0u);
  EXPECT_EQ(velplat::network::WinsockStartups(), 0);
}

TEST(BrennicNodes, AddressStaysWhenNothingCanBeResolved) {
  test::AddNode({"nodea", std::nullopt, "192.0.2.10"});
  test::AddNode({"empty", std::nullopt, ""});
  velplat::network::SetHostEntry("empty", {});
  PendingNodeAddress = 0x55555555;
  EXPECT_EQ(ResolveBrennicNodeAddress("empty"), 0x55555555u);  // an entry without address
  velplat::faults::FailCall("WSAStartup", WSASYSNOTREADY);
  EXPECT_EQ(ResolveBrennicNodeAddress("nodea"), 0x55555555u);
  EXPECT_EQ(PendingNodeAddress.load(), 0x55555555u);
  EXPECT_EQ(velplat::network::WinsockStartups(), 0);
}

TEST(BrennicNodes, WithoutNodesKeyTheLocalHostIsResolved) {
  velplat::network::SetMachineAddresses({"198.51.100.7"});
  EXPECT_EQ(ResolveBrennicNodeAddress("nodea"), Address(198, 51, 100, 7));
}

TEST(BrennicNodes, KeyPathsThatDoNotFitAreRefused) {
  char path[kTextBufferSize];
  ASSERT_TRUE(brennic::ComposeNodeKeyPath(path, "nodea", "Global"));
  EXPECT_STREQ(path, "SYSTEM\\CurrentControlSet\\Services\\Kestd\\Database\\Nodes\\nodea\\Global");
  // The Nodes path has 54 characters: a name of 200 fills the buffer to its
  // last byte, one more does not fit.
  std::string fits(200, 'n');
  EXPECT_TRUE(brennic::ComposeNodeKeyPath(path, fits.c_str()));
  EXPECT_EQ(std::strlen(path), 255u);
  EXPECT_FALSE(brennic::NodeKeyPathFits((fits + "n").c_str()));
  EXPECT_FALSE(brennic::ComposeNodeKeyPath(path, fits.c_str(), "Global"));
  EXPECT_STREQ(path, "");
  // A node whose Global key cannot be named has no comment.
  test::AddNode({fits, "unreachable", ""});
  char description[kTextBufferSize];
  std::memset(description, 'x', sizeof description);
  EXPECT_EQ(LoadNodeDescription(description, 0), 1);
  EXPECT_STREQ(description, "");
}

}  // namespace
}  // namespace velmon

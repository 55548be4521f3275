// Finding machines by name: case is ignored the way Windows ignores it
// (ASCII letters only), the hashed index follows machines added later and
// the world's reset, and the name order of the machine list is unchanged.
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using velplat::World;

class WorldLookup : public ::testing::Test {
 protected:
  void SetUp() override { World::Get().Reset(); }
  void TearDown() override { World::Get().Reset(); }
};

TEST_F(WorldLookup, FindIgnoresCaseAndSeesMachinesAddedLater) {
  World& world = World::Get();
  EXPECT_EQ(world.Find("RacNode7"), nullptr);
  velplat::Machine& added = world.Add("RacNode7");
  EXPECT_EQ(world.Find("racnode7"), &added);
  EXPECT_EQ(world.Find("\\\\RACNODE7"), &added);
  EXPECT_EQ(&world.Add("RACNODE7"), &added);  // the same machine, its first spelling kept
  EXPECT_EQ(added.Name(), "RacNode7");
  EXPECT_EQ(world.Find("racnode"), nullptr);
  EXPECT_EQ(world.Find("racnode77"), nullptr);
  EXPECT_EQ(world.Find(""), &world.Local());
  EXPECT_EQ(world.Find("\\\\"), &world.Local());

  velplat::Machine& local = world.SetLocal("racnode7");
  EXPECT_EQ(&local, &added);
  EXPECT_EQ(&world.Local(), &added);
  EXPECT_EQ(world.Find(""), &added);

  world.Reset();
  EXPECT_EQ(world.Find("RacNode7"), nullptr);
  EXPECT_NE(world.Find(world.Local().Name()), nullptr);
}

TEST_F(WorldLookup, OnlyAsciiLettersFoldAndTheOrderFollowsTheFoldedBytes) {
  using velplat::EqualsNoCase;
  EXPECT_TRUE(EqualsNoCase("Node-A_1", "nODE-a_1"));
  EXPECT_FALSE(EqualsNoCase("[", "{"));  // 0x5B and 0x7B differ by the case bit but are not letters
  EXPECT_FALSE(EqualsNoCase("@", "`"));
  EXPECT_FALSE(EqualsNoCase("node", "node1"));
  EXPECT_FALSE(EqualsNoCase("\xC4", "\xE4"));  // no folding beyond ASCII

  velplat::NoCaseLess less;
  EXPECT_TRUE(less("a_", "AB"));  // '_' sorts before the folded 'b'
  EXPECT_FALSE(less("AB", "a_"));
  EXPECT_TRUE(less("node", "NODE1"));
  EXPECT_FALSE(less("NODE", "node"));
  EXPECT_FALSE(less("node", "NODE"));

  velplat::NoCaseHash hash;
  EXPECT_EQ(hash("RacNode12"), hash("racnode12"));

  World& world = World::Get();
  for (const char* name : {"node_b", "NODEA", "Node-C", "nodeb"}) world.Add(name);
  std::vector<std::string> names = world.MachineNames();
  std::erase(names, world.Local().Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Node-C", "node_b", "NODEA", "nodeb"}));  // '-' < '_' < 'a'
  EXPECT_EQ(world.Find("NODE_B")->Name(), "node_b");
  EXPECT_EQ(world.Find("NodeB")->Name(), "nodeb");
}

}  // namespace

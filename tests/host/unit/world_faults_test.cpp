// The [[faults]] tables of a world file: what they arm, when an edit arms
// them again, and the errors that name file, line and reason.
#include <gtest/gtest.h>
#include <velplat/faults.h>

#include <string>
#include <vector>

#include "host/world/world_apply.h"
#include "host/world/world_parse.h"

namespace velmond {
namespace {

const std::string kMachine = "[machine.host1]\n";

WorldModel Load(const std::string& faults) {
  ParsedWorld parsed = ParseWorldText(faults + kMachine, "w.toml", ".");
  EXPECT_TRUE(parsed.world) << parsed.error;
  return parsed.world ? *parsed.world : WorldModel{};
}

TEST(WorldFaults, CallsAndPointsAreArmedWithTheirErrorCountSkipAndThread) {
  velplat::faults::Clear();
  WorldModel world = Load(R"([[faults]]
call = "RegOpenKeyExA"
error = "ERROR_ACCESS_DENIED"
count = 2
skip = 1
thread = "MainTrapThread"
[[faults]]
call = "CreateFileA"
error = 1722
[[faults]]
point = "event_create"
)");
  PrepareLocalMachine(world);
  ApplyWorld(nullptr, world);
  EXPECT_EQ(velplat::faults::Armed(),
            (std::vector<std::string>{"point EventCreate fails 1 call(s) after 0, on any thread",
                                      "call CreateFileA fails with 1722, 1 call(s) after 0, on any thread",
                                      "call RegOpenKeyExA fails with 5, 2 call(s) after 1, on threads named MainTrapThread"}));
  // This test's thread has no name: the thread-limited arming lets it by.
  EXPECT_FALSE(velplat::faults::ConsumeCall("RegOpenKeyExA"));
  EXPECT_EQ(velplat::faults::ConsumeCall("CreateFileA"), 1722u);
  EXPECT_TRUE(velplat::faults::Consume(velplat::faults::Point::EventCreate));
  velplat::faults::Clear();
}

TEST(WorldFaults, OnlyAnEditThatChangesTheFaultsArmsThemAgain) {
  velplat::faults::Clear();
  const std::string faults = "[[faults]]\ncall = \"RegCloseKey\"\nerror = 6\n";
  WorldModel first = Load(faults);
  PrepareLocalMachine(first);
  ApplyWorld(nullptr, first);
  ASSERT_EQ(velplat::faults::ConsumeCall("RegCloseKey"), 6u);  // fired: nothing left

  WorldModel unrelated = Load(faults + "[machine.host1.environment]\nX = \"1\"\n");
  ApplyWorld(&first, unrelated);
  EXPECT_TRUE(velplat::faults::Armed().empty());

  WorldModel more = Load(faults + "count = 3\n[machine.host1.environment]\nX = \"1\"\n");
  ApplyWorld(&unrelated, more);
  ASSERT_EQ(velplat::faults::Armed().size(), 1u);
  EXPECT_NE(velplat::faults::Armed()[0].find("3 call(s)"), std::string::npos);

  WorldModel none = Load("");
  ApplyWorld(&more, none);
  EXPECT_TRUE(velplat::faults::Armed().empty());
}

TEST(WorldFaults, BadFaultsNameTheLineAndTheReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"[[faults]]\npoint = \"alloc\"\n", "w.toml:2: fault: unknown point \"alloc\" (allocation, snmp_allocation"},
      {"[[faults]]\ncall = \"RegOpenKeyExA\"\nerror = \"ERROR_NOPE\"\n",
       "w.toml:3: fault of RegOpenKeyExA: unknown error name \"ERROR_NOPE\""},
      {"[[faults]]\ncall = \"RegOpenKeyExA\"\nerror = 5\ncount = -1\n",
       "w.toml:4: fault of RegOpenKeyExA: count must be a whole number, 0 or more"},
      {"[[faults]]\npoint = \"allocation\"\nskip = -2\n", "w.toml:3: fault at allocation: skip must be"},
      {"[[faults]]\ncall = \"RegOpenKeyExA\"\n", "w.toml:1: fault of RegOpenKeyExA: error is missing"},
      {"[[faults]]\ncall = \"RegOpenKeyExA\"\nerror = 0\n", "w.toml:3: fault of RegOpenKeyExA: error must be"},
      {"[[faults]]\ncall = \"Reg Open\"\nerror = 5\n", "w.toml:2: fault: \"Reg Open\" is not a Win32 function name"},
      {"[[faults]]\npoint = \"allocation\"\ncall = \"HeapAlloc\"\n", "w.toml:1: a fault names either a call or a point"},
      {"[[faults]]\npoint = \"allocation\"\nerror = 8\n", "w.toml:3: fault at allocation: a point fails as"},
      {"[[faults]]\npoint = \"allocation\"\n[[faults]]\npoint = \"allocation\"\ncount = 2\n",
       "w.toml:3: fault at allocation is armed twice"},
      {"[[faults]]\npoint = \"allocation\"\ncolour = 1\n", "w.toml:3: unknown key \"colour\" in fault"},
      {"faults = 3\n", "w.toml:1: faults must be written as [[faults]] tables"},
  };
  for (const auto& [text, error] : cases) {
    ParsedWorld parsed = ParseWorldText(std::string(text) + kMachine, "w.toml", ".");
    EXPECT_FALSE(parsed.world) << text;
    EXPECT_EQ(parsed.error.rfind(error, 0), 0u) << text << "\n" << parsed.error;
  }
}

TEST(WorldLocal, ServeAsLocalMovesTheLocalMachineAndRefusesAnUnknownName) {
  ParsedWorld parsed = ParseWorldText("[machine.a]\nlocal = true\n[machine.b]\n", "w.toml", ".");
  ASSERT_TRUE(parsed.world) << parsed.error;
  std::string error;
  EXPECT_FALSE(ServeAsLocal(*parsed.world, "c", error));
  EXPECT_EQ(error, "--local names \"c\", which is no machine of the world");
  EXPECT_EQ(parsed.world->local, "a");
  ASSERT_TRUE(ServeAsLocal(*parsed.world, "B", error));
  EXPECT_EQ(parsed.world->local, "b");
  EXPECT_TRUE(parsed.world->machines.at("b").local);
  EXPECT_FALSE(parsed.world->machines.at("a").local);
}

}  // namespace
}  // namespace velmond

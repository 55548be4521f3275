// The SNMPv3 engine state at its edges: boots at their maximum, a damaged
// file refused rather than replaced. (Restarts and crashes are in
// velmond_access_test.)
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/snmp/engine_state.h"

namespace velmond {
namespace {

class EngineStateFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = (std::filesystem::temp_directory_path() / ("velmond-engine-" + std::to_string(getpid()))).string();
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& text) { std::ofstream(EngineStateFile(dir_)) << text; }
  std::string dir_;
};

TEST_F(EngineStateFolder, BootsStopAtTheirMaximum) {
  std::filesystem::create_directories(dir_);
  Write("engine-id 0x80007ed90501\nboots 2147483647\n");
  EngineState state;
  std::string error;
  ASSERT_TRUE(AdvanceEngineState(dir_, state, error)) << error;
  EXPECT_EQ(state.boots, 2147483647u);
  EXPECT_EQ(HexEngineId(state.engineId), "0x80007ed90501");
}

TEST_F(EngineStateFolder, DamagedStateIsRefusedWithItsLine) {
  std::filesystem::create_directories(dir_);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"engine-id 0x80007ed90501\nboots many\n", "engine:2:"},
      {"engine-id 0x8000\nboots 1\n", "engine:1:"},
      {"engine-id 0x80007ed90501\n", "incomplete engine state"},
      {"engine-id 0x80007ed9050g\nboots 1\n", "engine:1:"},
  };
  for (const auto& [text, message] : cases) {
    Write(text);
    EngineState state;
    std::string error;
    EXPECT_FALSE(AdvanceEngineState(dir_, state, error)) << text;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    // The damaged file is left for the operator to look at.
    std::ifstream in(EngineStateFile(dir_));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
  }
}

TEST_F(EngineStateFolder, AStateFolderThatIsAFileIsRefused) {
  std::ofstream(dir_) << "not a folder";
  EngineState state;
  std::string error;
  EXPECT_FALSE(AdvanceEngineState(dir_, state, error));
  EXPECT_EQ(error.rfind(dir_ + ": cannot make the state folder", 0), 0u) << error;
  std::filesystem::remove(dir_);
}

}  // namespace
}  // namespace velmond

// The running watcher sees every way an editor writes a world file at once,
// from file-system notification: well before its once-a-second look could.
// ReloadNow loads an edit without waiting for it to settle.
#include <gtest/gtest.h>
#include <unistd.h>
#include <velplat/registry.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/world/world_apply.h"
#include "host/world/world_parse.h"
#include "host/world/world_watch.h"

namespace velmond {
namespace {

namespace fs = std::filesystem;

class WatchNotify : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("velmond-notify-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "reg");
    world_ = (dir_ / "world.toml").string();
    Write(dir_ / "reg" / "extra.reg", Reg("1"));
    Write(world_, World("0"));
    ParsedWorld parsed = ParseWorldFile(world_);
    ASSERT_TRUE(parsed.world) << parsed.error;
    PrepareLocalMachine(*parsed.world);
    ApplyWorld(nullptr, *parsed.world);
    watcher_ = std::make_unique<WorldWatcher>(world_, *parsed.world, parsed.sources);
  }
  void TearDown() override {
    watcher_.reset();
    fs::remove_all(dir_);
  }

  static std::string World(const std::string& mark) {
    return "[machine.host1]\nreg_files = ['reg/extra.reg']\n[machine.host1.registry.'HKLM\\SOFTWARE\\Mark']\nV = \"" +
           mark + "\"\n";
  }
  static std::string Reg(const std::string& mark) {
    return "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Extra]\n\"W\"=\"" + mark + "\"\n";
  }
  static void Write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::trunc) << text; }

  // True when `key` holds `mark` within well under the watcher's look. The
  // thread sanitizer slows the watcher's thread by an order of magnitude:
  // there the bound only shows that the edit arrives at all.
#if defined(__SANITIZE_THREAD__)
  static constexpr std::chrono::milliseconds kSeenWithin{3000};
#else
  static constexpr std::chrono::milliseconds kSeenWithin{900};
#endif
  static bool Shows(const std::string& key, const std::string& value, const std::string& mark) {
    auto until = std::chrono::steady_clock::now() + kSeenWithin;
    while (std::chrono::steady_clock::now() < until) {
      auto now = velplat::registry::GetValue(key, value);
      if (now && std::string(now->data.begin(), now->data.end()) == mark + '\0') return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  fs::path dir_;
  std::string world_;
  std::unique_ptr<WorldWatcher> watcher_;
};

TEST_F(WatchNotify, InPlaceAtomicReplaceRenameBackRecreationAndRegFilesAreSeenAtOnce) {
  watcher_->Start();
  Write(world_, World("in place"));
  EXPECT_TRUE(Shows("HKLM\\SOFTWARE\\Mark", "V", "in place"));

  Write(world_ + ".tmp", World("replaced"));
  fs::rename(world_ + ".tmp", world_);
  EXPECT_TRUE(Shows("HKLM\\SOFTWARE\\Mark", "V", "replaced"));

  fs::rename(world_, world_ + ".away");
  Write(world_ + ".away", World("back"));
  fs::rename(world_ + ".away", world_);
  EXPECT_TRUE(Shows("HKLM\\SOFTWARE\\Mark", "V", "back"));

  testing::internal::CaptureStderr();
  fs::remove(world_);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Write(world_, World("recreated"));
  EXPECT_TRUE(Shows("HKLM\\SOFTWARE\\Mark", "V", "recreated"));
  // The moment without a file is not reported as a broken edit.
  EXPECT_EQ(testing::internal::GetCapturedStderr().find("ignored"), std::string::npos);

  Write(dir_ / "reg" / "extra.reg", Reg("2"));
  EXPECT_TRUE(Shows("HKLM\\SOFTWARE\\Extra", "W", "2"));
  watcher_->Stop();
}

TEST_F(WatchNotify, ReloadNowAppliesAnEditWithoutWaitingForItToSettle) {
  EXPECT_EQ(watcher_->ReloadNow(), WorldWatcher::Step::Unchanged);
  Write(world_, World("now"));
  EXPECT_EQ(watcher_->ReloadNow(), WorldWatcher::Step::Applied);
  auto value = velplat::registry::GetValue("HKLM\\SOFTWARE\\Mark", "V");
  ASSERT_TRUE(value);
  EXPECT_EQ(std::string(value->data.begin(), value->data.end()), std::string("now", 4));
  EXPECT_EQ(watcher_->ReloadNow(), WorldWatcher::Step::Unchanged);
}

}  // namespace
}  // namespace velmond

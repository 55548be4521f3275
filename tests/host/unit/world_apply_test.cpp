// Applying worlds to the platform: a whole world, then only the difference,
// so that watchers of unchanged keys are not woken; and the watcher that
// applies good edits and keeps the world on broken ones.
#include <gtest/gtest.h>
#include <velplat/accounts.h>
#include <velplat/files.h>
#include <velplat/registry.h>
#include <velplat/services.h>
#include <velplat/world.h>
#include <windows.h>
#include <winsock.h>

#include <filesystem>
#include <fstream>

#include "host/world/world_apply.h"
#include "host/world/world_parse.h"
#include "host/world/world_watch.h"

namespace velmond {
namespace {

namespace reg = velplat::registry;

WorldModel World(const std::string& text) {
  ParsedWorld parsed = ParseWorldText(text, "w.toml", ".");
  EXPECT_TRUE(parsed.world) << parsed.error;
  return parsed.world ? *parsed.world : WorldModel{};
}

const char* kBase = R"(
[hosts]
vip = "192.0.2.100"
[machine.node1]
local = true
addresses = ["192.0.2.11"]
[machine.node1.registry.'HKLM\SOFTWARE\Oracle\osd9i\CM']
PublicNodeNames = ["node1", "node2"]
HostName = "node1"
[machine.node1.registry.'HKLM\SOFTWARE\Quiet']
Stay = 1
[machine.node1.files]
'C:\WINNT\System32\drivers\etc\hosts' = "10.0.0.1 priv1\n"
[machine.node1.services.OracleCMService9i]
image_path = 'C:\oracle\cm.exe'
state = "running"
[machine.node1.accounts.RACUSER]
password = "secret"
groups = ["Administrators"]
[machine.node2]
addresses = ["192.0.2.12"]
[machine.node2.services.OracleCMService9i]
state = "stopped"
)";

std::string Text(const reg::Value& value) {
  return std::string(value.data.begin(), value.data.end());
}

TEST(WorldApply, AWholeWorldBuildsMachinesRegistryFilesServicesAccountsAndNames) {
  WorldModel world = World(kBase);
  PrepareLocalMachine(world);
  ApplyReport report = ApplyWorld(nullptr, world);
  EXPECT_TRUE(report.problems.empty()) << report.problems.front();
  EXPECT_EQ(velplat::World::Get().Local().Name(), "node1");
  auto names = reg::GetValue("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "PublicNodeNames");
  ASSERT_TRUE(names);
  EXPECT_EQ(names->type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(Text(*names), std::string("node1\0node2\0\0", 13));
  EXPECT_EQ(velplat::files::FileContents("C:\\WINNT\\System32\\drivers\\etc\\hosts"), "10.0.0.1 priv1\n");
  // Defining the service writes its key with the image path, as the agent reads it.
  auto image = reg::GetValue("HKLM\\SYSTEM\\CurrentControlSet\\Services\\OracleCMService9i", "ImagePath");
  ASSERT_TRUE(image);
  EXPECT_NE(Text(*image).find("C:\\oracle\\cm.exe"), std::string::npos);
  velplat::Machine* node2 = velplat::World::Get().Find("NODE2");
  ASSERT_NE(node2, nullptr);
  EXPECT_EQ(velplat::services::Get("OracleCMService9I", node2)->status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(velplat::services::Get("OracleCMService9I")->status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(velplat::accounts::GetUser("racuser")->password, "secret");
  auto members = velplat::accounts::GroupMembers("Administrators");
  ASSERT_TRUE(members);
  EXPECT_NE(std::find(members->begin(), members->end(), "RACUSER"), members->end());
  // Both the machine's own name and the extra host name resolve.
  WSADATA data;
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  hostent* node2Entry = gethostbyname("node2");
  ASSERT_NE(node2Entry, nullptr);
  EXPECT_EQ(std::vector<unsigned char>(node2Entry->h_addr_list[0], node2Entry->h_addr_list[0] + 4),
            (std::vector<unsigned char>{192, 0, 2, 12}));
  EXPECT_NE(gethostbyname("vip"), nullptr);
  WSACleanup();
}

// Arms a change notification on `path` (its values and subkeys).
HANDLE Watch(const char* path, HKEY* key) {
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key), ERROR_SUCCESS);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(RegNotifyChangeKeyValue(*key, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event, TRUE),
            ERROR_SUCCESS);
  return event;
}

TEST(WorldApply, TheDifferenceWakesOnlyWatchersOfWhatChanged) {
  WorldModel before = World(kBase);
  PrepareLocalMachine(before);
  ApplyWorld(nullptr, before);
  HKEY cmKey = nullptr;
  HKEY quietKey = nullptr;
  HANDLE cmChanged = Watch("SOFTWARE\\Oracle\\osd9i\\CM", &cmKey);
  HANDLE quietChanged = Watch("SOFTWARE\\Quiet", &quietKey);

  std::string edited = kBase;
  edited.replace(edited.find("[\"node1\", \"node2\"]"), 18, "[\"node1\", \"node3\"]");
  edited.replace(edited.find("state = \"stopped\""), 17, "state = \"running\"");
  edited.replace(edited.find("password = \"secret\""), 19, "password = \"changed\"");
  edited += "[machine.node3]\naddresses = [\"192.0.2.13\"]\n";
  WorldModel after = World(edited);
  ApplyReport report = ApplyWorld(&before, after);
  EXPECT_TRUE(report.problems.empty());

  EXPECT_EQ(WaitForSingleObject(cmChanged, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(quietChanged, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(Text(*reg::GetValue("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "PublicNodeNames")),
            std::string("node1\0node3\0\0", 13));
  EXPECT_EQ(velplat::services::Get("OracleCMService9i", velplat::World::Get().Find("node2"))->status.dwCurrentState,
            static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(velplat::accounts::GetUser("RACUSER")->password, "changed");
  EXPECT_NE(velplat::World::Get().Find("node3"), nullptr);
  // Applying the same world again changes nothing at all.
  EXPECT_EQ(ApplyWorld(&after, after).changes, 0);
  for (HANDLE h : {cmChanged, quietChanged}) CloseHandle(h);
  RegCloseKey(cmKey);
  RegCloseKey(quietKey);
}

TEST(WorldApply, WhatTheWorldNoLongerNamesIsRemoved) {
  WorldModel before = World(kBase);
  PrepareLocalMachine(before);
  ApplyWorld(nullptr, before);
  std::string edited = kBase;
  edited.erase(edited.find("[machine.node1.registry.'HKLM\\SOFTWARE\\Quiet']"),
               std::string("[machine.node1.registry.'HKLM\\SOFTWARE\\Quiet']\nStay = 1\n").size());
  edited.erase(edited.find("HostName = \"node1\"\n"), std::string("HostName = \"node1\"\n").size());
  edited.erase(edited.find("[machine.node1.accounts.RACUSER]"));
  edited.erase(edited.find("[hosts]\nvip = \"192.0.2.100\"\n"), std::string("[hosts]\nvip = \"192.0.2.100\"\n").size());
  WorldModel after = World(edited);
  ApplyReport report = ApplyWorld(&before, after);
  EXPECT_TRUE(report.problems.empty()) << report.problems.front();
  EXPECT_FALSE(reg::KeyExists("HKLM\\SOFTWARE\\Quiet"));
  EXPECT_FALSE(reg::GetValue("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "HostName"));
  EXPECT_TRUE(reg::GetValue("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "PublicNodeNames"));
  EXPECT_FALSE(velplat::accounts::GetUser("RACUSER"));
  // node2 is gone from the world file: it leaves the world, as after a fresh load.
  EXPECT_EQ(velplat::World::Get().Find("node2"), nullptr);
  WSADATA data;
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(gethostbyname("vip"), nullptr);
  EXPECT_EQ(gethostbyname("node2"), nullptr);
  WSACleanup();
}

TEST(WorldWatch, GoodEditsAreAppliedOnceSettledAndBrokenOnesLeaveTheLastGoodWorld) {
  auto dir = std::filesystem::temp_directory_path() / ("velmond-watch-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "world.toml").string();
  auto write = [&](const std::string& text) { std::ofstream(path, std::ios::trunc) << text; };
  write(kBase);
  ParsedWorld parsed = ParseWorldFile(path);
  ASSERT_TRUE(parsed.world) << parsed.error;
  PrepareLocalMachine(*parsed.world);
  ApplyWorld(nullptr, *parsed.world);
  WorldWatcher watcher(path, *parsed.world, parsed.sources);
  EXPECT_EQ(watcher.Poll(), WorldWatcher::Step::Unchanged);

  std::string renamed = kBase;
  renamed.replace(renamed.find("HostName = \"node1\""), 18, "HostName = \"node9\"");
  write(renamed);
  EXPECT_EQ(watcher.Poll(), WorldWatcher::Step::Settling);
  EXPECT_EQ(Text(*reg::GetValue("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "HostName")), std::string("node1\0", 6));
  EXPECT_EQ(watcher.Poll(), WorldWatcher::Step::Applied);
  EXPECT_EQ(Text(*reg::GetValue("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "HostName")), std::string("node9\0", 6));

  testing::internal::CaptureStderr();
  write(renamed + "[machine.node1.services.Broken]\nstate = 4\n");
  EXPECT_EQ(watcher.Poll(), WorldWatcher::Step::Settling);
  EXPECT_EQ(watcher.Poll(), WorldWatcher::Step::Rejected);
  EXPECT_EQ(watcher.Poll(), WorldWatcher::Step::Unchanged);  // reported once
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("world edit ignored"), std::string::npos) << said;
  EXPECT_NE(said.find("world.toml:" + std::to_string(std::count(renamed.begin(), renamed.end(), '\n') + 2)),
            std::string::npos)
      << said;
  EXPECT_FALSE(velplat::services::Get("Broken"));
  EXPECT_EQ(Text(*reg::GetValue("HKLM\\SOFTWARE\\Oracle\\osd9i\\CM", "HostName")), std::string("node9\0", 6));

  // The local machine stays what it was.
  std::string moved = renamed;
  moved.replace(moved.find("local = true\n"), 13, "");
  moved += "[machine.node2b]\nlocal = true\n";
  write(moved);
  watcher.Poll();
  EXPECT_EQ(watcher.Poll(), WorldWatcher::Step::Rejected);
  EXPECT_EQ(watcher.Current().local, "node1");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velmond

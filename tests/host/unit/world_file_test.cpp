// Loading world files: value forms, .reg files, the local machine, and
// errors that say where and what.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/world/world_parse.h"

namespace velmond {
namespace {

ParsedWorld Parse(const std::string& text, const std::string& baseDir = ".") {
  return ParseWorldText(text, "w.toml", baseDir);
}

const RegValue* ValueOf(const WorldModel& world, const std::string& machine, const std::string& key,
                        const std::string& name) {
  const auto& registry = world.machines.at(machine).registry;
  auto found = registry.find(key);
  if (found == registry.end()) return nullptr;
  for (const RegValue& v : found->second.values) {
    if (v.name == name) return &v;
  }
  return nullptr;
}

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(WorldFile, RegistryValueFormsBecomeTheirTypesAndKeepTheWrittenOrder) {
  ParsedWorld parsed = Parse(R"(
[machine.host1.registry.'HKLM\SOFTWARE\Test\']
Zeta = "text"
Count = 7
Names = ["a", "bc"]
Path = { expand = '%SystemRoot%\x' }
Big = { qword = 4294967296 }
Raw = { binary = "01 ff 2A" }
"@" = { sz = "default" }
Empty = { multi = [] }
[machine.host1.registry.'HKCU\Software\Other']
)");
  ASSERT_TRUE(parsed.world) << parsed.error;
  const WorldModel& world = *parsed.world;
  EXPECT_EQ(world.local, "host1");  // the only machine is the local one
  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Test";
  ASSERT_NE(ValueOf(world, "host1", key, "Zeta"), nullptr);
  EXPECT_EQ(ValueOf(world, "host1", key, "Zeta")->type, static_cast<std::uint32_t>(REG_SZ));
  EXPECT_EQ(ValueOf(world, "host1", key, "Zeta")->data, Bytes(std::string_view("text\0", 5)));
  EXPECT_EQ(ValueOf(world, "host1", key, "Count")->type, static_cast<std::uint32_t>(REG_DWORD));
  EXPECT_EQ(ValueOf(world, "host1", key, "Count")->data, (std::vector<std::uint8_t>{7, 0, 0, 0}));
  EXPECT_EQ(ValueOf(world, "host1", key, "Names")->type, static_cast<std::uint32_t>(REG_MULTI_SZ));
  EXPECT_EQ(ValueOf(world, "host1", key, "Names")->data, Bytes(std::string_view("a\0bc\0\0", 6)));
  EXPECT_EQ(ValueOf(world, "host1", key, "Path")->type, static_cast<std::uint32_t>(REG_EXPAND_SZ));
  EXPECT_EQ(ValueOf(world, "host1", key, "Big")->data, (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(ValueOf(world, "host1", key, "Raw")->data, (std::vector<std::uint8_t>{0x01, 0xFF, 0x2A}));
  EXPECT_EQ(ValueOf(world, "host1", key, "")->data, Bytes(std::string_view("default\0", 8)));
  EXPECT_EQ(ValueOf(world, "host1", key, "Empty")->data, (std::vector<std::uint8_t>{0}));
  std::vector<std::string> order;
  for (const RegValue& v : world.machines.at("host1").registry.at(key).values) order.push_back(v.name);
  EXPECT_EQ(order, (std::vector<std::string>{"Zeta", "Count", "Names", "Path", "Big", "Raw", "", "Empty"}));
  EXPECT_TRUE(world.machines.at("host1").registry.count("HKEY_CURRENT_USER\\Software\\Other"));
}

TEST(WorldFile, ServicesAccountsFilesNetworkAndHostsAreRead) {
  ParsedWorld parsed = Parse(R"(
local = "B"
[hosts]
vip = "192.0.2.100"
[machine.a]
reachable = false
connect_ms = 1500
[machine.b]
addresses = ["192.0.2.1", "192.0.2.2"]
process_identity = "administrator"
[machine.b.environment]
SystemRoot = 'D:\WIN'
[machine.b.files]
'C:\etc\hosts' = "10.0.0.1 priv1\n"
'C:\bin\cm.exe' = { version = "9.2.0.1.0", product_version = "9.2" }
[machine.b.services.CM]
state = "start_pending"
start_type = "auto"
depends_on = "Tcpip"
start_ms = 30000
[machine.b.accounts.RACUSER]
password = "{pw}"
groups = ["Administrators"]
disabled = true
)");
  ASSERT_TRUE(parsed.world) << parsed.error;
  const WorldModel& world = *parsed.world;
  EXPECT_EQ(world.local, "b");
  EXPECT_EQ(world.hosts.at("VIP"), (std::vector<std::string>{"192.0.2.100"}));
  EXPECT_FALSE(world.machines.at("A").network.reachable);
  EXPECT_EQ(world.machines.at("a").network.connectMs, 1500u);
  const MachineSpec& b = world.machines.at("b");
  EXPECT_EQ(b.network.processIdentity, ProcessIdentity::Administrator);
  EXPECT_EQ(b.network.addresses.size(), 2u);
  EXPECT_EQ(b.environment.at("systemroot"), "D:\\WIN");
  EXPECT_EQ(b.files.at("c:\\etc\\HOSTS").text, "10.0.0.1 priv1\n");
  EXPECT_TRUE(b.files.at("C:\\bin\\cm.exe").executable);
  EXPECT_EQ(b.files.at("C:\\bin\\cm.exe").productVersion, "9.2");
  const ServiceSpec& cm = b.services.at("cm");
  EXPECT_EQ(cm.state, static_cast<std::uint32_t>(SERVICE_START_PENDING));
  EXPECT_EQ(cm.startType, static_cast<std::uint32_t>(SERVICE_AUTO_START));
  EXPECT_EQ(cm.dependencies, (std::vector<std::string>{"Tcpip"}));
  EXPECT_EQ(cm.startMs, 30000u);
  EXPECT_TRUE(b.accounts.at("racuser").disabled);
  EXPECT_EQ(b.accounts.at("racuser").groups, (std::vector<std::string>{"Administrators"}));
}

TEST(WorldFile, ErrorsNameTheFileTheLineAndWhatIsWrong) {
  struct Case {
    const char* text;
    const char* where;
    const char* what;
  };
  const Case cases[] = {
      {"[machine.a]\nlocal = true\n[machine.a.registry.'HKLM\\X']\nv = = 1\n", "w.toml:4:", ""},
      {"[machine.a]\nlocal = true\ncolour = \"red\"\n", "w.toml:3:", "unknown key \"colour\""},
      {"[machine.a]\n[machine.a.services.S]\nstate = \"runing\"\n", "w.toml:3:", "unknown state \"runing\""},
      {"[machine.a]\n[machine.a.registry.'HKLM\\X']\nv = -1\n", "w.toml:3:", "REG_DWORD"},
      {"[machine.a]\n[machine.a.registry.'HKLM\\X']\nv = [1, 2]\n", "w.toml:3:", "strings only"},
      {"[machine.a]\n[machine.a.registry.'HKLM\\X']\nv = { hex = \"00\" }\n", "w.toml:3:", "unknown form \"hex\""},
      {"[machine.a]\naddresses = [\"192.0.2.300\"]\n", "w.toml:2:", "192.0.2.300"},
      {"[machine.a]\n[machine.b]\n", "w.toml:", "no machine is marked local"},
      {"local = \"c\"\n[machine.a]\n", "w.toml:1:", "no machine of the world"},
      {"[machine.a]\n[machine.a.files]\n'hosts' = \"x\"\n", "w.toml:3:", "absolute path"},
      {"title = \"x\"\n", "w.toml:1:", "unknown key \"title\""},
  };
  for (const Case& c : cases) {
    ParsedWorld parsed = Parse(c.text);
    EXPECT_FALSE(parsed.world) << c.text;
    EXPECT_EQ(parsed.error.rfind(c.where, 0), 0u) << parsed.error;
    EXPECT_NE(parsed.error.find(c.what), std::string::npos) << parsed.error;
  }
}

class RegFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("velmond-regfile-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::filesystem::path dir_;
};

// regedit's version 5 export: UTF-16LE with a byte-order mark, CR LF lines.
std::string Utf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

TEST_F(RegFiles, ExportsAreImportedAndInlineValuesOverrideThem) {
  Write("cm.reg", Utf16("Windows Registry Editor Version 5.00\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oracle\\osd9i\\CM]\r\n"
                        "\"HostName\"=\"fromfile\"\r\n"
                        "\"Nodes\"=dword:00000002\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oracle\\Empty]\r\n"));
  ParsedWorld parsed = Parse(R"(
[machine.a]
reg_files = ["cm.reg"]
[machine.a.registry.'HKLM\SOFTWARE\Oracle\osd9i\CM']
HostName = "inline"
)",
                             dir_.string());
  ASSERT_TRUE(parsed.world) << parsed.error;
  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Oracle\\osd9i\\CM";
  EXPECT_EQ(ValueOf(*parsed.world, "a", key, "HostName")->data, Bytes(std::string_view("inline\0", 7)));
  EXPECT_EQ(ValueOf(*parsed.world, "a", key, "Nodes")->data, (std::vector<std::uint8_t>{2, 0, 0, 0}));
  EXPECT_TRUE(parsed.world->machines.at("a").registry.count("HKEY_LOCAL_MACHINE\\SOFTWARE\\Oracle\\Empty"));
  ASSERT_EQ(parsed.sources.size(), 1u);
  EXPECT_NE(parsed.sources[0].find("cm.reg"), std::string::npos);
}

TEST_F(RegFiles, ABrokenOrMissingRegFileIsNamedInTheError) {
  Write("bad.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"v\"=nonsense\n");
  ParsedWorld broken = Parse("[machine.a]\nreg_files = [\"bad.reg\"]\n", dir_.string());
  ASSERT_FALSE(broken.world);
  EXPECT_NE(broken.error.find("bad.reg: line 4"), std::string::npos) << broken.error;
  ParsedWorld missing = Parse("[machine.a]\nreg_files = [\"none.reg\"]\n", dir_.string());
  ASSERT_FALSE(missing.world);
  EXPECT_EQ(missing.error.rfind("w.toml:2:", 0), 0u) << missing.error;
  EXPECT_NE(missing.error.find("none.reg"), std::string::npos);
}

TEST(WorldFile, ExampleWorldsLoad) {
  for (const char* name : {"oracle-rac-2.toml", "no-cluster.toml", "oracle-rac-256.toml"}) {
    ParsedWorld parsed = ParseWorldFile(std::string(VELMON_SOURCE_DIR) + "/examples/worlds/" + name);
    EXPECT_TRUE(parsed.world) << name << ": " << parsed.error;
  }
}

}  // namespace
}  // namespace velmond

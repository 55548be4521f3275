// The configuration file: every shared setting reaches its option, relative
// paths are taken from the file's folder, users are checked where they are
// written, and pass phrases stay out of every message.
#include <gtest/gtest.h>

#include "host/config/config_file.h"
#include "host/config/config_keys.h"

namespace velmond {
namespace {

bool Load(const std::string& text, Options& options, std::string& error) {
  return LoadConfigText(text, "v.toml", "/etc/velmond", options, error);
}

TEST(ConfigFile, EverySettingReachesItsOptionAndRelativePathsFollowTheFile) {
  Options options;
  std::string error;
  ASSERT_TRUE(Load("world = \"worlds/rac.toml\"\nagent-library = \"/opt/libvelmon.so\"\nlisten = \"udp:127.0.0.1:1\"\n"
                   "community = \"c1\"\ncommunity-source = [\"10.0.0.0/8\", \"::1\"]\nwrite-community = \"w\"\n"
                   "no-v1 = true\nno-v2c = false\nagentx = \"/run/ax\"\nstate-dir = \"state\"\ncontact = \"me\"\n"
                   "location = \"here\"\ntrap-sink = [\"udp:127.0.0.1:2\"]\ntrap-version = \"1\"\n",
                   options, error))
      << error;
  EXPECT_EQ(options.worldFile, "/etc/velmond/worlds/rac.toml");
  EXPECT_EQ(options.agentLibrary, "/opt/libvelmon.so");
  EXPECT_EQ(options.server.stateDir, "/etc/velmond/state");
  EXPECT_EQ(options.server.listen, "udp:127.0.0.1:1");
  EXPECT_EQ(options.server.communitySources, (std::vector<std::string>{"10.0.0.0/8", "::1"}));
  EXPECT_EQ(options.server.writeCommunity, "w");
  EXPECT_TRUE(options.server.noV1);
  EXPECT_FALSE(options.server.noV2c);
  EXPECT_EQ(options.server.agentxSocket, "/run/ax");
  EXPECT_EQ(options.server.sysContact, "me");
  EXPECT_EQ(options.server.sysLocation, "here");
  EXPECT_EQ(options.server.trapSinks, (std::vector<std::string>{"udp:127.0.0.1:2"}));
  EXPECT_EQ(options.trapVersion, "1");
}

TEST(ConfigFile, EveryKeyOfTheTableIsAcceptedWithItsType) {
  for (const ConfigKey& key : ConfigKeys()) {
    std::string value = std::holds_alternative<FlagField>(key.field)   ? "true"
                        : std::holds_alternative<ListField>(key.field) ? "[\"x\"]"
                                                                       : "\"x\"";
    Options options;
    std::string error;
    EXPECT_TRUE(Load(std::string(key.name) + " = " + value + "\n", options, error)) << error;
    EXPECT_FALSE(Load(std::string(key.name) + " = 1.5\n", options, error)) << key.name;
    EXPECT_EQ(error.rfind("v.toml:1: \"" + std::string(key.name) + "\" must be", 0), 0u) << error;
  }
}

TEST(ConfigFile, CommunitySourcesAreAddressesOrNetworksOnly) {
  Options options;
  std::string error;
  options.server.communitySources = {"default", "10.1.0.0/16", "10.1.0.0/255.255.0.0", "::1", "fd00::/8"};
  EXPECT_TRUE(CheckMergedOptions(options, error)) << error;
  for (const char* bad : {"racnode1", "10.1.0.0/33", "::1/129", "10.1.0.0/", "10.1.0/8", "10.0.0.0/-1"}) {
    options.server.communitySources = {bad};
    EXPECT_FALSE(CheckMergedOptions(options, error)) << bad;
    EXPECT_NE(error.find(std::string("\"") + bad + "\" is not an address or network"), std::string::npos) << error;
  }
}

// TOML's \u0000 escape puts a NUL in a string; net-snmp and the file system
// would read only what precedes it, so what was checked is not what is used.
TEST(ConfigFile, ANulCharacterInAnyTextIsRefusedWhereItIsWritten) {
  for (const char* setting : {"community-source = [\"127.0.0.1\\u0000 tail\"]", "contact = \"ops\\u0000x\"",
                              "\n[[user]]\nname = \"a\\u0000b\"", "world = \"w.toml\\u0000.txt\""}) {
    Options options;
    std::string error;
    EXPECT_FALSE(Load(std::string("state-dir = \"/s\"\n") + setting + "\n", options, error)) << setting;
    EXPECT_NE(error.find("contains a NUL character"), std::string::npos) << error;
    EXPECT_EQ(error.rfind("v.toml:", 0), 0u) << error;
  }
}

TEST(ConfigFile, ErrorsNameTheLineAndTheReasonButNeverThePassPhrase) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"listen = 5\n", "v.toml:1: \"listen\" must be a string"},
      {"\n\ntrap-sink = \"x\"\n", "v.toml:3: \"trap-sink\" must be an array of strings"},
      {"[[user]]\nname = \"a\"\nauth = \"SHA\"\nauth-password = \"secret7\"\n", "v.toml:4: auth-password is shorter"},
      {"[[user]]\nname = \"a\"\nauth = \"SHA\"\nauth-password = \"secret78\"\n",
       "v.toml:1: user \"a\": level authPriv needs priv"},
      {"[[user]]\nname = \"a\"\nlevel = \"authNoPriv\"\nauth = \"SHA\"\nauth-password = \"secret78\"\npriv = \"AES\"\n",
       "v.toml:1: user \"a\": level authNoPriv takes no priv settings"},
      {"[[user]]\nname = \"a\"\nlevel = \"noAuthNoPriv\"\n[[user]]\nname = \"a\"\nlevel = \"noAuthNoPriv\"\n",
       "v.toml:4: user \"a\" is defined twice"},
      {"[[user]]\nname = \"a\"\npassword = \"secret78\"\n", "v.toml:3: unknown key \"password\" in [[user]]"},
      {"user = \"a\"\n", "v.toml:1: users are written as [[user]] tables"},
      {"[[user]]\nlevel = \"noAuthNoPriv\"\n", "v.toml:1: a user needs a name"},
      {"[[user]]\nname = \"a\"\nauth-password-file = \"missing\"\n", "v.toml:3: auth-password-file: /etc/velmond/missing"},
  };
  for (const auto& [text, message] : cases) {
    Options options;
    std::string error;
    EXPECT_FALSE(Load(text, options, error)) << text;
    EXPECT_EQ(error.rfind(message, 0), 0u) << error;
    EXPECT_EQ(error.find("secret7"), std::string::npos) << error;
  }
}

TEST(ConfigFile, MergedOptionsNeedAStateFolderForUsersAndSomeWayIn) {
  Options options;
  std::string error;
  ASSERT_TRUE(Load("[[user]]\nname = \"a\"\nlevel = \"noAuthNoPriv\"\n", options, error));
  EXPECT_FALSE(CheckMergedOptions(options, error));
  EXPECT_EQ(error.rfind("v.toml:1: SNMPv3 user \"a\" needs a state folder", 0), 0u) << error;
  options.server.stateDir = "/s";
  options.server.noV1 = options.server.noV2c = true;
  EXPECT_TRUE(CheckMergedOptions(options, error)) << error;
  options.server.sysLocation = "row 4\nrack 2";
  EXPECT_FALSE(CheckMergedOptions(options, error));
  EXPECT_EQ(error, "location must be one line of at most 255 characters");
  options.server.sysLocation = std::string(256, 'x');
  EXPECT_FALSE(CheckMergedOptions(options, error));
  options.server.sysLocation.clear();
  options.server.users.clear();
  EXPECT_FALSE(CheckMergedOptions(options, error));
  EXPECT_NE(error.find("nobody could query"), std::string::npos);
}

TEST(ConfigFile, TheShippedExampleLoads) {
  Options options;
  std::string error;
  ASSERT_TRUE(LoadConfigFile(VELMON_SOURCE_DIR "/examples/velmond.toml", options, error)) << error;
  EXPECT_TRUE(CheckMergedOptions(options, error)) << error;
  EXPECT_EQ(options.worldFile, VELMON_SOURCE_DIR "/examples/worlds/oracle-rac-2.toml");
  EXPECT_EQ(options.server.users.size(), 2u);
}

}  // namespace
}  // namespace velmond

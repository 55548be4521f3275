// The shared settings table.
#include "host/config/config_keys.h"

namespace velmond {

const std::vector<ConfigKey>& ConfigKeys() {
  static const std::vector<ConfigKey> keys = {
      {"world", TextField{[](Options& o) -> std::string& { return o.worldFile; }}, true},
      {"local", TextField{[](Options& o) -> std::string& { return o.local; }}},
      {"agent-library", TextField{[](Options& o) -> std::string& { return o.agentLibrary; }}, true},
      {"listen", TextField{[](Options& o) -> std::string& { return o.server.listen; }}},
      {"community", TextField{[](Options& o) -> std::string& { return o.server.community; }}},
      {"community-source", ListField{[](Options& o) -> std::vector<std::string>& { return o.server.communitySources; }}},
      {"write-community", TextField{[](Options& o) -> std::string& { return o.server.writeCommunity; }}},
      {"no-v1", FlagField{[](Options& o) -> bool& { return o.server.noV1; }}},
      {"no-v2c", FlagField{[](Options& o) -> bool& { return o.server.noV2c; }}},
      {"agentx", TextField{[](Options& o) -> std::string& { return o.server.agentxSocket; }}},
      {"state-dir", TextField{[](Options& o) -> std::string& { return o.server.stateDir; }}, true},
      {"contact", TextField{[](Options& o) -> std::string& { return o.server.sysContact; }}},
      {"location", TextField{[](Options& o) -> std::string& { return o.server.sysLocation; }}},
      {"trap-sink", ListField{[](Options& o) -> std::vector<std::string>& { return o.server.trapSinks; }}},
      {"trap-version", TextField{[](Options& o) -> std::string& { return o.trapVersion; }}},
  };
  return keys;
}

void CopySetting(const ConfigKey& key, Options& from, Options& to) {
  std::visit([&](auto field) { field(to) = field(from); }, key.field);
}

}  // namespace velmond

// Command-line parsing with CLI11, over the configuration file's settings.
#include "host/options.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

#include "host/config/config_file.h"
#include "host/config/config_keys.h"

namespace velmond {

std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode) {
  Options options;
  CLI::App app{
      "velmond: serves an SNMP extension agent over SNMP (v1, v2c, v3) or AgentX, in a simulated world of "
      "Windows machines described by a world file.",
      "velmond"};
  app.set_version_flag("--version", "velmond " VELMON_VERSION);
  app.add_option("--config", options.configFile,
                 "Configuration file (TOML): every option below under its own name, plus SNMPv3 users; "
                 "options given here override it")
      ->check(CLI::ExistingFile);
  app.add_option("--world", options.worldFile,
                 "World file (TOML) to run in; watched for changes. Default: the embedded two-member "
                 "Oracle RAC world")
      ->check(CLI::ExistingFile);
  app.add_option("--local", options.local,
                 "Serve this machine of the world as the local one, whatever the world file marks local");
  app.add_option("--listen", options.server.listen, "net-snmp transport to serve on")->capture_default_str();
  app.add_option("--community", options.server.community, "Read-only community (v1 and v2c)")
      ->capture_default_str();
  app.add_option("--community-source", options.server.communitySources,
                 "Answer the communities only from this address or network, e.g. 10.1.0.0/16 (repeatable; "
                 "default: any)");
  app.add_option("--write-community", options.server.writeCommunity,
                 "A community whose Sets reach the agent (which refuses them); none by default");
  app.add_flag("--no-v1", options.server.noV1, "Refuse SNMPv1");
  app.add_flag("--no-v2c", options.server.noV2c, "Refuse SNMPv2c");
  app.add_option("--state-dir", options.server.stateDir,
                 "Folder for the SNMPv3 engine ID and boots counter; needed by SNMPv3 users");
  app.add_option("--contact", options.server.sysContact, "sysContact");
  app.add_option("--location", options.server.sysLocation, "sysLocation");
  auto* agentx = app.add_option("--agentx", options.server.agentxSocket,
                                "Run as an AgentX subagent of the snmpd whose master socket this is, "
                                "instead of listening");
  app.add_option("--agent-library", options.agentLibrary,
                 "Extension agent to load (default: libvelmon.so next to velmond)");
  app.add_option("--trap-sink", options.server.trapSinks,
                 "Send the agent's traps to this transport (repeatable), e.g. udp:127.0.0.1:1162");
  app.add_option("--trap-version", options.trapVersion, "Traps as v1 traps (1) or v2c notifications (2c)")
      ->check(CLI::IsMember({"1", "2c"}))
      ->capture_default_str();
  app.get_option("--listen")->excludes(agentx);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    exitCode = app.exit(e);
    return std::nullopt;
  }
  exitCode = 1;
  std::string error;
  if (!options.configFile.empty()) {
    Options merged;
    if (!LoadConfigFile(options.configFile, merged, error)) {
      std::cerr << "velmond: " << error << "\n";
      return std::nullopt;
    }
    for (const ConfigKey& key : ConfigKeys()) {
      const CLI::Option* given = app.get_option_no_throw(std::string("--") + key.name);
      if (given && given->count() > 0) CopySetting(key, options, merged);
    }
    merged.configFile = options.configFile;
    options = std::move(merged);
  }
  if (!CheckMergedOptions(options, error)) {
    std::cerr << "velmond: " << error << "\n";
    return std::nullopt;
  }
  options.server.trapVersion = options.trapVersion == "1" ? TrapVersion::V1 : TrapVersion::V2c;
  if (options.agentLibrary.empty()) options.agentLibrary = DefaultAgentLibrary();
  exitCode = 0;
  return options;
}

std::string DefaultAgentLibrary() {
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "libvelmon.so";
  return (self.parent_path() / "libvelmon.so").string();
}

}  // namespace velmond

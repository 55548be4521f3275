// Command-line parsing with CLI11.
#include "host/options.h"

#include <CLI/CLI.hpp>

#include <filesystem>

namespace velmond {

std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode) {
  Options options;
  std::string trapVersion = "2c";
  CLI::App app{
      "velmond: serves an SNMP extension agent over SNMP (v1, v2c) or AgentX, in a simulated world of "
      "Windows machines described by a world file.",
      "velmond"};
  app.set_version_flag("--version", "velmond 0.1.0");
  app.add_option("--world", options.worldFile,
                 "World file (TOML) to run in; watched for changes. Default: the embedded two-member "
                 "Oracle RAC world")
      ->check(CLI::ExistingFile);
  app.add_option("--listen", options.server.listen, "net-snmp transport to serve on")->capture_default_str();
  app.add_option("--community", options.server.community, "Read-only community (v1 and v2c)")
      ->capture_default_str();
  app.add_option("--write-community", options.server.writeCommunity,
                 "A community whose Sets reach the agent (which refuses them); none by default");
  auto* agentx = app.add_option("--agentx", options.server.agentxSocket,
                                "Run as an AgentX subagent of the snmpd whose master socket this is, "
                                "instead of listening");
  app.add_option("--agent-library", options.agentLibrary,
                 "Extension agent to load (default: libvelmon.so next to velmond)");
  app.add_option("--trap-sink", options.server.trapSinks,
                 "Send the agent's traps to this transport (repeatable), e.g. udp:127.0.0.1:1162");
  app.add_option("--trap-version", trapVersion, "Traps as v1 traps (1) or v2c notifications (2c)")
      ->check(CLI::IsMember({"1", "2c"}))
      ->capture_default_str();
  app.get_option("--listen")->excludes(agentx);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    exitCode = app.exit(e);
    return std::nullopt;
  }
  options.server.trapVersion = trapVersion == "1" ? TrapVersion::V1 : TrapVersion::V2c;
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

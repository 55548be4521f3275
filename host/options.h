// velmond's command line, merged over the configuration file it may name.
//
// Thread-safety: parsing runs once, on the main thread.
#ifndef VELMOND_OPTIONS_H
#define VELMOND_OPTIONS_H

#include <optional>
#include <string>

#include "host/snmp/snmp_server.h"

namespace velmond {

struct Options {
  std::string configFile;    // empty: none
  std::string worldFile;     // empty: the embedded default world
  std::string agentLibrary;  // empty: libvelmon.so next to the daemon
  std::string trapVersion = "2c";  // "1" or "2c"; becomes server.trapVersion
  std::string local;         // empty: the machine the world file marks local
  ServerConfig server;
};

// The options, or nullopt when the program should exit with `exitCode`
// (after --help, --version, a usage error or a configuration file error,
// each of which has been printed).
std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode);

// The agent library used when none is named: libvelmon.so in the daemon's
// own directory.
std::string DefaultAgentLibrary();

}  // namespace velmond

#endif
